// Loading and unloading one outside library by file name.
#include <gtest/gtest.h>

#include "plugin_test_support.h"
#include "plugins/base_plugin.h"

namespace {
constexpr const char* kSS = "QelVideoProxy_SS.dll";
constexpr const char* kVFN = "QelVideoProxy_VFN.dll";
}  // namespace

TEST(BasePlugin, LoadsByBareNameAndRemembersThePath) {
  CBasePlugin plugin;
  EXPECT_EQ(plugin.IsLoaded(), 0);
  ASSERT_EQ(plugin.Load(kSS), 1);
  EXPECT_EQ(plugin.IsLoaded(), 1);
  EXPECT_EQ(plugin.GetPath(), kSS);
  EXPECT_TRUE(ModuleInMemory(kSS));
  EXPECT_STREQ(plugin.GetError(), "");
}

TEST(BasePlugin, MissingFileRecordsTheSystemMessageAloneAndKeepsTheEarlierPath) {
  CBasePlugin plugin;
  ASSERT_EQ(plugin.Load(kSS), 1);
  EXPECT_EQ(plugin.Load("NoSuchPlugin.dll"), 0);
  EXPECT_EQ(plugin.IsLoaded(), 0) << "the earlier library is unloaded before the attempt";
  EXPECT_FALSE(ModuleInMemory(kSS));
  EXPECT_EQ(plugin.GetPath(), kSS);
  EXPECT_EQ(plugin.GetError(), SystemText(ERROR_MOD_NOT_FOUND));
  EXPECT_NE(std::string(plugin.GetError()), "");
  EXPECT_EQ(plugin.GetStatus(), 1) << "a load does not touch the call status";
}

TEST(BasePlugin, LoadingTheSamePathTwiceHoldsTheLibraryOnce) {
  CBasePlugin plugin;
  ASSERT_EQ(plugin.Load(kSS), 1);
  ASSERT_EQ(plugin.Load(kSS), 1);
  EXPECT_EQ(plugin.IsLoaded(), 1);
  EXPECT_EQ(plugin.Unload(), 1);
  EXPECT_EQ(plugin.IsLoaded(), 0);
  EXPECT_FALSE(ModuleInMemory(kSS)) << "one Unload must free what two Loads took";
}

TEST(BasePlugin, LoadingAnotherPathFreesTheFirstAndDestructionFreesTheLast) {
  {
    CBasePlugin plugin;
    ASSERT_EQ(plugin.Load(kSS), 1);
    ASSERT_EQ(plugin.Load(kVFN), 1);
    EXPECT_FALSE(ModuleInMemory(kSS));
    EXPECT_TRUE(ModuleInMemory(kVFN));
    EXPECT_EQ(plugin.GetPath(), kVFN);
  }
  EXPECT_FALSE(ModuleInMemory(kVFN));
}

TEST(BasePlugin, UnloadWithNothingLoadedSucceeds) {
  CBasePlugin plugin;
  EXPECT_EQ(plugin.Unload(), 1);
  EXPECT_EQ(plugin.IsLoaded(), 0);
}

TEST(BasePlugin, IsPathComparesExactly) {
  CBasePlugin plugin;
  ASSERT_EQ(plugin.Load(kSS), 1);
  const struct {
    const char* name;
    LONG expected;
  } cases[] = {{kSS, 1}, {"qelvideoproxy_ss.dll", 0}, {"QelVideoProxy_SS.dll ", 0}, {"QelVideoProxy_SS", 0}, {"", 0}};
  for (const auto& c : cases) EXPECT_EQ(plugin.IsPath(c.name), c.expected) << c.name;
}

TEST(BasePlugin, IsPathOfANullNameRaisesEFail) {
  CBasePlugin plugin;
  try {
    plugin.IsPath(nullptr);
    FAIL() << "no exception";
  } catch (const CPluginCallError& error) {
    EXPECT_EQ(error.Status(), E_FAIL);
  }
}
