// The real library with a proxy plug-in written in C against the published configuration layout alone
// (outside/c_proxy_standin.c, here under the plug-in file name "QelVideoProxy_WMP.dll"). What the plug-in
// reads at its offsets must be what the host set; what the library writes into the plug-in's own
// configuration must land at the plug-in's offsets; and every text must go back to the manager that made it.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "host_interfaces/term_interfaces.h"
#include "loaded_dll.h"
#include "plugins/outside_interfaces.h"
#include "support/fake_host.h"
#include "support/log_reader.h"
#include "support/temp_dir.h"
#include "video/command_writer.h"

namespace {

// The test's own handle on the plug-in, so its reports outlive the library's unload of the file.
class CPlugin {
 public:
  CPlugin() : m_module(LoadLibraryA("QelVideoProxy_WMP.dll")) {}
  ~CPlugin() {
    if (m_module != nullptr) FreeLibrary(m_module);
  }
  CPlugin(const CPlugin&) = delete;
  CPlugin& operator=(const CPlugin&) = delete;

  bool Loaded() const { return m_module != nullptr; }
  // 0: the library's configuration as read at Create; 1: the plug-in's own at the last GetConfig;
  // 2: its string manager's counts.
  std::string Report(int which) {
    using ReportFn = void(QEL_CDECL*)(int, char*, int);
    auto report = reinterpret_cast<ReportFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(m_module, "LayoutStandInReport")));
    char text[4096] = {};
    report(which, text, sizeof text);
    return text;
  }

 private:
  HMODULE m_module;
};

Bytes Counting(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<BYTE>(i);
  return bytes;
}

std::string LastBeat(const FakeHost& host) {
  std::string text;
  for (const HostRequest& request : host.Requests())
    if (request.opCode == 87 && request.buffer.size() > 5)
      text.assign(request.buffer.begin() + 4, request.buffer.end() - 1);
  return text;
}

}  // namespace

TEST(CPlugin, ReadsAndKeepsThePublishedLayout) {
  TempDir dir;
  CPlugin plugin;
  ASSERT_TRUE(plugin.Loaded());
  LoadedDll dll(dir.File("c.log"), 3);
  ASSERT_TRUE(dll.Loaded());
  FakeHost host;
  host.SetClientKeys(Counting(52));

  IUnknown* unknown = dll.CreateControl();
  ASSERT_NE(unknown, nullptr);
  IQELTermControl* control = nullptr;
  ASSERT_EQ(unknown->QueryInterface(IID_IQELTermControl, reinterpret_cast<void**>(&control)), S_OK);
  unknown->Release();
  IQELTCWinMan2* winMan = nullptr;
  ASSERT_EQ(control->QueryInterface(IID_IQELTCWinMan2, reinterpret_cast<void**>(&winMan)), S_OK);
  winMan->SetACID(17);
  winMan->Release();
  host.AddRef();  // the reference the host hands in with its object
  ASSERT_EQ(control->InitControl(nullptr, host.Unknown()), S_OK);
  auto send = [control](const CommandBytes& bytes) {
    EXPECT_EQ(control->ProcessBuf(bytes.data(), static_cast<LONG>(bytes.size())), S_OK);
  };

  // Set before play: the plug-in reads them from the library's configuration at Create.
  send(Cmd::secureHeader(4, 0, "hdr-1"));
  send(Cmd::sessionIds(5, 6));
  send(Cmd::socks5Setting({"s1.example:1080|s2.example:1081", std::nullopt, "user-1", "pw-1"}));
  send(Cmd::plugProxy({"p1.example:80|p2.example:81", std::nullopt, "X-One"}));
  send(Cmd::proxyKey(2, 0, "k1"));
  send(Cmd::proxyKey(2, 1, "k2"));
  send(Cmd::alarmInterval(3600));
  send(Cmd::url(0, 3, "http://media.example.com:8080/live.nsc"));
  // Both configurations hold this source: the library's from the URL, the plug-in's copied at Create.
  const std::string source =
      "connection 0: url=http://media.example.com:8080/live.nsc host=media.example.com port=8080 type=3 other=1 "
      "nsc=1\ncurrent 0\n";
  EXPECT_EQ(plugin.Report(0), source +
            "plug p1.example:80 p2.example:81 header X-One\n"
            "socks5 s1.example:1080 s2.example:1081 user user-1 password pw-1 on 1\n"
            "secure header hdr-1 version 4\n"
            "client key 20: 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 18 19 1A 1B\n"
            "sessions 5 6\n"
            "keys 2 of 2: k1 k2\n");

  // The closing beat of the old session reads the plug-in's own configuration: its identifiers and its
  // copy of connection 0 (an MPROXY, so kind 7).
  send(Cmd::sessionIds(7, 8));
  EXPECT_TRUE(std::regex_match(LastBeat(host), std::regex(R"(1;17;77;88;[^;]*;4;0;0;7;0;0;0)"))) << LastBeat(host);

  // Set while playing: every string of the plug-in's configuration is replaced by the library.
  send(Cmd::socks5Setting({"s3.example:1082|s4.example:1083", std::nullopt, "user-2", "pw-2"}));
  send(Cmd::plugProxy({"p3.example:82|p4.example:83", std::nullopt, "X-Two"}));
  send(Cmd::secureHeader(5, 1, "hdr-2"));
  send(Cmd::proxyKey(1, 0, "k3"));
  // The plug-in keeps connection 0 as it was; the library reports what the plug-in's configuration holds.
  send(Cmd::url(0, 3, "http://other.example:9/x"));
  EXPECT_EQ(plugin.Report(1), source +
            "plug p3.example:82 p4.example:83 header X-Two\n"
            "socks5 s3.example:1082 s4.example:1083 user user-2 password pw-2 on 1\n"
            "secure header hdr-2 version 5\n"
            "client key 8: 24 25 26 27 28 29 2A 2B\n"
            "sessions 7 8\n"
            "keys 1 of 1: k3\n");

  EXPECT_EQ(control->DeleteControl(), S_OK);
  EXPECT_EQ(control->Release(), 0u);
  EXPECT_EQ(host.RefCount(), 0);
  // Its own texts (eight in its configuration, two in its connection, one it wrote into the library's)
  // all came back to its manager, the eight the library wrote went back to the library's, and nothing
  // reached a manager that did not make it.
  EXPECT_EQ(plugin.Report(2),
            "allocated 11 freed 11 live 0 refused 0 unexpected 0 to other managers 8 configs freed 1");
  std::string finalDest;
  for (const std::string& line : ReadLogLines(dir.File("c.log")))
    if (line.rfind("VideoHost::SetURL: Final dest=", 0) == 0) finalDest = line;
  EXPECT_EQ(finalDest, "VideoHost::SetURL: Final dest=media.example.com, Final port=8080");
}
