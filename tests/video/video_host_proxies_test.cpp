#include <gtest/gtest.h>

#include <algorithm>

#include "proxy_standin_control.h"
#include "video_host_fixture.h"
#include "support/src_config_probe.h"

namespace {

using ProxiesTest = VideoHostTest;

// The stand-in file the plug-in type names, loaded by the test first so its behaviour can be set.
void StartWithType(CQelVorlaProxyHost* video, LONG type) {
  video->SetPlugInType(type);
  video->StartLocalProxies();
}

// The stand-in's calls whose names start with one of the prefixes, in the order all its proxies got them.
std::vector<std::string> CallsOf(StandInLibrary& standIn, std::initializer_list<const char*> prefixes) {
  std::vector<std::string> kept;
  for (const std::string& call : standIn.CallNames())
    for (const char* prefix : prefixes)
      if (call.rfind(prefix, 0) == 0) kept.push_back(call);
  return kept;
}

}  // namespace

TEST_F(ProxiesTest, PlugInTypeChoosesTheLibraryFile) {
  const struct {
    LONG type;
    const char* file;
  } rows[] = {{0, "QelVideoProxy_WMP.dll"}, {3, "QelVideoProxy_WMP.dll"}, {-1, "QelVideoProxy_WMP.dll"},
              {1, "QelVideoProxy_SS.dll"},  {2, "QelVideoProxy_VFN.dll"}};
  for (const auto& row : rows) {
    CQelVorlaProxyHost* video = new CQelVorlaProxyHost(m_owner);
    video->Initialize(nullptr, nullptr);
    StartWithType(video, row.type);
    EXPECT_TRUE(video->ProxyPlugin().IsPath(row.file)) << row.type;
    EXPECT_EQ(video->ProxyCount(), 1u);
    video->CloseProxyConnections();
    video->Release();
  }
}

TEST_F(ProxiesTest, FirstUrlReportsThePortAndSharesTheLog) {
  StandInLibrary standIn("QelVideoProxy_WMP.dll");
  ASSERT_TRUE(standIn.Loaded());
  StandInBehaviour behaviour;
  behaviour.firstPort = 8080;
  standIn.Configure(behaviour);
  EXPECT_EQ(m_video->StartPlay(), 1);
  EXPECT_EQ(m_host.TalkbackMessages(), (std::vector<Bytes>{{0x00, 0xF0, 0x00, 0x11, 0x00, 0x00, 0x1F, 0x90}}));
  const std::vector<StandInCall> calls = standIn.Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_STREQ(calls.front().what, "ProxySetLogFile") << "the log is shared before any proxy exists";
  EXPECT_EQ(calls.front().arg1, 3) << "the log's own level";
  EXPECT_EQ(m_video->LoadProxyPlugin(), 1);
  standIn.WriteLog(3, "written by the plug-in");
  EXPECT_EQ(LinesStartingWith("VideoHost::StartPlay"),
            (Lines{"VideoHost::StartPlay: ACID=17, Port=8080", "VideoHost::StartPlay: Sent proxy port successfully"}));
  const Lines lines = LoggedLines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.find("written by the plug-in") != std::string::npos;
  })) << "the plug-in writes into the process log";
  EXPECT_EQ(LinesStartingWith("VideoHost::LoadProxyPlugin"),
            (Lines{"VideoHost::LoadProxyPlugin: VideoProxy plugin loaded successfully, path=QelVideoProxy_WMP.dll",
                   "VideoHost::LoadProxyPlugin: VideoProxy plugin already loaded, path=QelVideoProxy_WMP.dll"}));
}

TEST_F(ProxiesTest, OnlyTheFirstConnectionOfTheFirstProxyStartsPlay) {
  StandInLibrary standIn("QelVideoProxy_WMP.dll");
  standIn.Configure(StandInBehaviour{});
  EXPECT_EQ(m_video->SetURL(0, 0, "http://media.example.com:8081/live", kConnectionTypePlug), 0);
  EXPECT_EQ(m_video->SetURL(0, 1, "http://backup.example.com/live", kConnectionTypeDirect), 0);
  EXPECT_EQ(Fields(Config()).m_connections.size(), 1u) << "once running, URLs go to the proxy";
  EXPECT_EQ(m_host.TalkbackMessages(), (std::vector<Bytes>{{0x00, 0xF0, 0x00, 0x11, 0x00, 0x00, 0x1F, 0x40}}));
  EXPECT_EQ(LinesStartingWith("VideoHost::SetURL: Final"),
            (Lines{"VideoHost::SetURL: Final dest=media.example.com, Final port=8081"}))
      << "the stand-in's proxies give no configuration back";
}

// A host that was never initialized has no configuration: play starts and reports port 0, on a
// channel it does not have yet.
TEST_F(ProxiesTest, WithoutConfigurationsPlayStartsOnPortZero) {
  CQelVorlaProxyHost* bare = new CQelVorlaProxyHost(m_owner);
  EXPECT_EQ(bare->SetURL(3, 2, "http://media.example.com/live", kConnectionTypePlug), 0);
  EXPECT_EQ(bare->StartPlay(), 1);
  EXPECT_FALSE(bare->ProxyPlugin().IsLoaded()) << "no proxy needed, no library loaded";
  bare->Release();
  EXPECT_EQ(LinesStartingWith("VideoHost::StartPlay"),
            (Lines{"VideoHost::StartPlay: ACID=17, Port=0", "VideoHost::StartPlay: Failed to sent proxy port",
                   "VideoHost::StartPlay: ACID=17, Port=0", "VideoHost::StartPlay: Failed to sent proxy port"}));
}

TEST_F(ProxiesTest, TakingPartPlayerStopsTheOthersAfterReportingItsPort) {
  AddProxy();
  m_video->SetIsolatedFlag(0);
  EXPECT_EQ(m_video->StartPlay(), 1);
  EXPECT_EQ(m_owner.posts, 1);
  m_video->SetIsolatedFlag(1);
  EXPECT_EQ(m_video->StartPlay(), 1);
  EXPECT_EQ(m_owner.posts, 1) << "an isolated player posts nothing";
  EXPECT_EQ(m_host.TalkbackMessages().size(), 2u);
}

TEST_F(ProxiesTest, NegativePortSendsNothing) {
  FakeProxy& proxy = AddProxy();
  proxy.port = -1;
  EXPECT_EQ(m_video->StartPlay(), 0);
  EXPECT_TRUE(m_host.TalkbackMessages().empty());
}

TEST_F(ProxiesTest, CreateFailureAtTheSecondKeepsTheFirst) {
  StandInLibrary standIn("QelVideoProxy_WMP.dll");
  StandInBehaviour behaviour;
  behaviour.createResults[1] = E_FAIL;
  standIn.Configure(behaviour);
  m_video->AddConfig(std::make_unique<CSrcConfig>());
  EXPECT_EQ(m_video->StartLocalProxies(), 0);
  EXPECT_EQ(m_video->ProxyCount(), 1u);
  EXPECT_EQ(standIn.Counts().liveProxies, 1) << "the proxy whose Create failed was released";
  EXPECT_EQ(m_video->StartLocalProxies(), 1);
  EXPECT_EQ(LinesStartingWith("VideoHost::StartLocalProxies: Index=1, Create failed").size(), 1u);
  EXPECT_EQ(LinesStartingWith("VideoHost::StartLocalProxies: Proxies already started").size(), 1u);
}

TEST_F(ProxiesTest, StartFailuresAndTheirLines) {
  StandInLibrary standIn("QelVideoProxy_WMP.dll");
  const struct {
    const char* what;
    void (*arrange)(StandInBehaviour&, FakeHost&);
    LONG result;
    Lines lines;
    size_t portReports;
  } rows[] = {
      {"factory fails", [](StandInBehaviour& b, FakeHost&) { b.factoryResult = 0; }, 0,
       {"VideoHost::StartLocalProxies: Index=0, Failed to create local proxy plugin, "}, 0},
      {"factory's object is no proxy", [](StandInBehaviour& b, FakeHost&) { b.answersProxyInterface = 0; }, 0,
       {"VideoHost::StartLocalProxies: Allocation failed"}, 0},
      {"callback refused, the start goes on", [](StandInBehaviour& b, FakeHost&) { b.setCallbackResult = E_FAIL; }, 1,
       {"VideoHost::StartLocalProxies: Index=0, Failed to set callback", "VideoHost::StartPlay: ACID=17, Port=8000",
        "VideoHost::StartPlay: Sent proxy port successfully"},
       1},
      {"host refuses the port", [](StandInBehaviour&, FakeHost& host) { host.SetTalkbackResult(E_FAIL); }, 1,
       {"VideoHost::StartPlay: ACID=17, Port=8000", "VideoHost::StartPlay: Failed to sent proxy port"}, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    StandInBehaviour behaviour;
    row.arrange(behaviour, m_host);
    standIn.Configure(behaviour);
    const size_t linesBefore = LoggedLines().size();
    const size_t reportsBefore = m_host.TalkbackMessages().size();
    CQelVorlaProxyHost* video = new CQelVorlaProxyHost(m_owner);
    video->Initialize(m_host.Callback(), m_host.TalkBack());
    EXPECT_EQ(video->StartPlay(), row.result);
    video->CloseProxyConnections();
    video->Release();
    const Lines all = LoggedLines();
    Lines lines;
    for (size_t i = linesBefore; i < all.size(); ++i)
      for (const char* prefix : {"VideoHost::StartLocalProxies: Index", "VideoHost::StartLocalProxies: Allocation",
                                 "VideoHost::StartPlay"})
        if (all[i].rfind(prefix, 0) == 0) lines.push_back(all[i]);
    EXPECT_EQ(lines, row.lines);
    EXPECT_EQ(m_host.TalkbackMessages().size() - reportsBefore, row.portReports);
  }
}

TEST_F(ProxiesTest, ClosingWarnsEveryProxyBeforeClosingAny) {
  StandInLibrary standIn("QelVideoProxy_WMP.dll");
  StandInBehaviour behaviour;
  behaviour.closeConnectionsResult = E_FAIL;
  standIn.Configure(behaviour);
  m_video->AddConfig(std::make_unique<CSrcConfig>());
  ASSERT_EQ(m_video->StartLocalProxies(), 1);
  EXPECT_EQ(m_video->CloseProxyConnections(), 1);
  // One sequence for all proxies: a close that went proxy by proxy would interleave the two calls.
  EXPECT_EQ(CallsOf(standIn, {"Proxy::PrepareClose", "Proxy::CloseConnections"}),
            (std::vector<std::string>{"Proxy::PrepareClose#1", "Proxy::PrepareClose#2", "Proxy::CloseConnections#1",
                                      "Proxy::CloseConnections#2"}));
  EXPECT_EQ(LinesStartingWith("VideoHost::CloseProxyConnections: ProxyIndex"),
            (Lines{"VideoHost::CloseProxyConnections: ProxyIndex=0, HR=0x80004005, Failed to close all proxy "
                   "connection",
                   "VideoHost::CloseProxyConnections: ProxyIndex=1, HR=0x80004005, Failed to close all proxy "
                   "connection"}));
}

TEST_F(ProxiesTest, AReleaseThatFailsDuringDestroyLeavesTheOthersReleased) {
  std::vector<LONG> faults = {kStandInThrows};
#ifdef _WIN32
  faults.push_back(kStandInAccessViolation);
#endif
  StandInLibrary standIn("QelVideoProxy_WMP.dll");
  for (const LONG fault : faults) {
    SCOPED_TRACE(fault);
    StandInBehaviour behaviour;
    behaviour.proxyReleaseFault = fault;
    standIn.Configure(behaviour);
    CQelVorlaProxyHost* video = new CQelVorlaProxyHost(m_owner);
    video->Initialize(m_host.Callback(), m_host.TalkBack());
    video->AddConfig(std::make_unique<CSrcConfig>());
    ASSERT_EQ(video->StartLocalProxies(), 1);
    video->CloseProxyConnections();  // the proxies let go of their callback
    video->Release();
    EXPECT_EQ(CallsOf(standIn, {"Proxy::Release"}), (std::vector<std::string>{"Proxy::Release#1", "Proxy::Release#2"}));
  }
  Lines destroyed;
  for (size_t i = 0; i < faults.size(); ++i)
    destroyed.insert(destroyed.end(), {"VideoHost::Destroy: Destroying...", "VideoHost::Destroy: Done"});
  EXPECT_EQ(LinesStartingWith("VideoHost::Destroy"), destroyed);
}

TEST_F(ProxiesTest, ClosingVisitsOnlyProxiesThatExist) {
  m_video->AddConfig(std::make_unique<CSrcConfig>());
  EXPECT_EQ(m_video->CloseProxyConnections(), 1);
  EXPECT_EQ(LinesStartingWith("VideoHost::CloseProxyConnections: ").back(),
            "VideoHost::CloseProxyConnections: No local proxy created")
      << "configurations, no proxy yet";
  FakeProxy& only = AddProxy();
  EXPECT_EQ(m_video->CloseProxyConnections(), 1);
  EXPECT_EQ(only.calls.size(), 2u);
}
