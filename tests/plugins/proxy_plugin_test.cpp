// The proxy plug-in binding against the stand-in library: its two calls, their failures and the factory
// object's single release.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "log/ctrl_log.h"
#include "plugin_test_support.h"
#include "plugins/proxy_plugin.h"
#include "proxy_standin_control.h"
#include "support/log_reader.h"
#include "support/temp_dir.h"

namespace {

constexpr const char* kWMP = "QelVideoProxy_WMP.dll";

class ProxyPluginTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(standin.Loaded()); }

  IQelVideoProxy* Create(const StandInBehaviour& behaviour, LONG* result) {
    standin.Configure(behaviour);
    IQelVideoProxy* proxy = nullptr;
    *result = plugin.CreateProxy(&proxy);
    return proxy;
  }

  StandInLibrary standin{kWMP};
  CProxyPlugin plugin;
};

using Names = std::vector<std::string>;

}  // namespace

TEST_F(ProxyPluginTest, CallsBeforeALoadFailWithNotLoaded) {
  IQelVideoProxy* proxy = nullptr;
  EXPECT_EQ(plugin.CreateProxy(&proxy), 0);
  EXPECT_EQ(proxy, nullptr);
  EXPECT_STREQ(plugin.GetError(), "Plug-in is not loaded");
  EXPECT_EQ(plugin.GetStatus(), 0);

  plugin.ClearError();
  plugin.SetLogFile(nullptr, 1, nullptr);
  EXPECT_STREQ(plugin.GetError(), "Plug-in is not loaded");
  EXPECT_EQ(plugin.GetStatus(), 0);
  EXPECT_TRUE(standin.Calls().empty());
}

TEST_F(ProxyPluginTest, MissingEntryPointsRecordTheirPrefixAndTheSystemText) {
  ASSERT_EQ(plugin.Load("FakeVorlaLink.dll"), 1);
  IQelVideoProxy* proxy = nullptr;
  EXPECT_EQ(plugin.CreateProxy(&proxy), 0);
  EXPECT_EQ(plugin.GetError(), "Failed to call ProxyFactory method: " + QelSystemMessage(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(plugin.GetStatus(), 0);

  plugin.SetLogFile(nullptr, 1, nullptr);
  EXPECT_EQ(plugin.GetError(), "Failed to call ProxySetLogFile method: " + QelSystemMessage(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(plugin.GetStatus(), 0);
}

TEST_F(ProxyPluginTest, ACallThatReachesTheLibrarySetsTheStatusBackToOne) {
  IQelVideoProxy* proxy = nullptr;
  plugin.CreateProxy(&proxy);
  ASSERT_EQ(plugin.GetStatus(), 0);
  ASSERT_EQ(plugin.Load(kWMP), 1);
  StandInBehaviour refuses;
  refuses.factoryResult = 0;
  LONG result = -1;
  EXPECT_EQ(Create(refuses, &result), nullptr);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(plugin.GetStatus(), 1) << "a refusing factory was still reached";
  EXPECT_STREQ(plugin.GetError(), "Plug-in is not loaded") << "a refusing factory leaves the error text alone";
}

TEST_F(ProxyPluginTest, TheFactoryObjectIsReleasedExactlyOnceOnEveryPathThatGotOne) {
  ASSERT_EQ(plugin.Load(kWMP), 1);
  struct Case {
    const char* name;
    LONG factoryResult;
    LONG givesObject;
    LONG answersProxy;
    LONG expectedResult;
    bool expectsProxy;
    Names expectedCalls;
  };
  const Case cases[] = {
      {"success", 1, 1, 1, 1, true, {"ProxyFactory", "Factory::QueryInterface", "Factory::Release"}},
      {"factory's own result is passed on", 7, 1, 1, 7, true,
       {"ProxyFactory", "Factory::QueryInterface", "Factory::Release"}},
      {"no proxy interface", 1, 1, 0, 1, false, {"ProxyFactory", "Factory::QueryInterface", "Factory::Release"}},
      {"failure with an object", 0, 1, 1, 0, false, {"ProxyFactory", "Factory::Release"}},
      {"success without an object", 1, 0, 1, 0, false, {"ProxyFactory"}},
      {"failure without an object", 0, 0, 1, 0, false, {"ProxyFactory"}},
  };
  for (const Case& c : cases) {
    StandInBehaviour behaviour;
    behaviour.factoryResult = c.factoryResult;
    behaviour.factoryGivesObject = c.givesObject;
    behaviour.answersProxyInterface = c.answersProxy;
    LONG result = -1;
    IQelVideoProxy* proxy = Create(behaviour, &result);
    EXPECT_EQ(result, c.expectedResult) << c.name;
    EXPECT_EQ(proxy != nullptr, c.expectsProxy) << c.name;
    EXPECT_EQ(standin.CallNames(), c.expectedCalls) << c.name;
    EXPECT_EQ(standin.Counts().liveFactoryObjects, 0) << c.name;
    EXPECT_EQ(plugin.GetStatus(), 1) << c.name;
    if (proxy != nullptr) {
      EXPECT_EQ(proxy->Release(), 0u) << c.name << ": the new proxy holds one reference";
    }
  }
  EXPECT_EQ(standin.Counts().liveProxies, 0);
}

TEST_F(ProxyPluginTest, AThrowingFactoryReleaseIsSwallowed) {
  ASSERT_EQ(plugin.Load(kWMP), 1);
  StandInBehaviour behaviour;
  behaviour.factoryReleaseFault = kStandInThrows;
  LONG result = 0;
  IQelVideoProxy* proxy = Create(behaviour, &result);
  EXPECT_EQ(result, 1);
  ASSERT_NE(proxy, nullptr);
  const Names calls = standin.CallNames();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "Factory::Release"), 1);
  proxy->Release();
}

TEST_F(ProxyPluginTest, SetLogFilePassesItsValuesThrough) {
  ASSERT_EQ(plugin.Load(kWMP), 1);
  standin.Configure(StandInBehaviour{});
  FILE* stream = nullptr;
  CRITICAL_SECTION lock;
  plugin.SetLogFile(&stream, 3, &lock);
  const std::vector<StandInCall> calls = standin.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_STREQ(calls[0].what, "ProxySetLogFile");
  EXPECT_EQ(calls[0].arg1, 3);
  EXPECT_EQ(calls[0].arg2, 1) << "both addresses arrive";
  EXPECT_EQ(plugin.GetStatus(), 1);
}

// The library writes through the log's stream-pointer address under the log's lock, so it follows a
// close and a reopen and honours the level; its texts are escaped as the log's own.
TEST_F(ProxyPluginTest, TheLibraryWritesIntoTheSharedLogAcrossACloseAndReopen) {
  TempDir dir;
  CQelCtrlLog log;
  log.UseSettings(dir.File("shared.log"), 2, kDefaultLogMaxSize);
  log.Write("first", 1);
  ASSERT_EQ(plugin.Load(kWMP), 1);
  plugin.SetLogFile(log.StreamAddress(), log.Level(), log.LockAddress());

  standin.WriteLog(1, "one");
  standin.WriteLog(3, "above the level");
  log.Close();
  standin.WriteLog(1, "while closed");
  log.Write("second", 1);
  standin.WriteLog(2, "two\r\nforged");
  log.Close();

  std::vector<std::string> lines;
  for (const std::string& line : ReadLogLines(dir.File("shared.log"))) {
    const bool header = line.rfind("=====", 0) == 0 || line.rfind("Process ID", 0) == 0 ||
                        line.rfind("Image Name", 0) == 0 || line.rfind("DisplayDllVersion", 0) == 0;
    if (!header) lines.push_back(line);
  }
  EXPECT_EQ(lines, (Names{"first", "QelVideoProxy_WMP: one", "second", "QelVideoProxy_WMP: two\\r\\nforged"}));
}

#ifdef _WIN32
TEST(ProxyStandInVersion, TheLogHeaderFindsTheStandInsVersion) {
  TempDir dir;
  CQelCtrlLog log;
  log.UseSettings(dir.File("version.log"), 1, kDefaultLogMaxSize);
  log.DisplayDllVersion("QelVideoProxy_SS.dll");
  log.Close();
  const std::vector<std::string> lines = ReadLogLines(dir.File("version.log"));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "DisplayDllVersion: File=QelVideoProxy_SS.dll, 3.1.7.0");
}
#endif
