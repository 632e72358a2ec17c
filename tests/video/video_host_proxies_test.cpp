#include <gtest/gtest.h>

#include <algorithm>

#include "proxy_standin_control.h"
#include "video_host_fixture.h"

namespace {

using ProxiesTest = VideoHostTest;

// The stand-in file the plug-in type names, loaded by the test first so its behaviour can be set.
void StartWithType(CQelVorlaProxyHost* video, LONG type) {
  video->SetPlugInType(type);
  video->StartLocalProxies();
}

}  // namespace

TEST_F(ProxiesTest, PlugInTypeChoosesTheLibraryFile) {
  const struct {
    LONG type;
    const char* file;
  } rows[] = {{0, "QelVideoProxy_WMP.dll"}, {3, "QelVideoProxy_WMP.dll"}, {-1, "QelVideoProxy_WMP.dll"},
              {1, "QelVideoProxy_SS.dll"},  {2, "QelVideoProxy_VFN.dll"}};
  for (const auto& row : rows) {
    CQelVorlaProxyHost* video = new CQelVorlaProxyHost(&m_owner);
    video->Initialize(nullptr, nullptr);
    StartWithType(video, row.type);
    EXPECT_TRUE(video->m_proxyPlugin.IsPath(row.file)) << row.type;
    EXPECT_EQ(video->m_proxies.size(), 1u);
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
  standIn.WriteLog(3, "written by the plug-in");
  EXPECT_EQ(LinesStartingWith("VideoHost::StartPlay"),
            (Lines{"VideoHost::StartPlay: ACID=17, Port=8080", "VideoHost::StartPlay: Sent proxy port successfully"}));
  const Lines lines = LoggedLines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.find("written by the plug-in") != std::string::npos;
  })) << "the plug-in writes into the process log";
}

TEST_F(ProxiesTest, OnlyTheFirstConnectionOfTheFirstProxyStartsPlay) {
  StandInLibrary standIn("QelVideoProxy_WMP.dll");
  standIn.Configure(StandInBehaviour{});
  EXPECT_EQ(m_video->SetURL(0, 0, "http://media.example.com:8081/live", 1), 0);
  EXPECT_EQ(m_video->SetURL(0, 1, "http://backup.example.com/live", 2), 0);
  EXPECT_EQ(Config().m_connections.size(), 1u) << "once running, URLs go to the proxy";
  EXPECT_EQ(m_host.TalkbackMessages(), (std::vector<Bytes>{{0x00, 0xF0, 0x00, 0x11, 0x00, 0x00, 0x1F, 0x40}}));
  EXPECT_EQ(LinesStartingWith("VideoHost::SetURL: Final"),
            (Lines{"VideoHost::SetURL: Final dest=media.example.com, Final port=8081"}))
      << "the stand-in's proxies give no configuration back";
}

TEST_F(ProxiesTest, UrlWithoutConfigurationsStillStartsPlay) {
  for (CSrcConfig* config : m_video->m_configs) delete config;
  m_video->m_configs.clear();
  EXPECT_EQ(m_video->SetURL(3, 2, "http://media.example.com/live", 1), 0);
  EXPECT_EQ(m_host.TalkbackMessages().size(), 1u);
}

TEST_F(ProxiesTest, TakingPartPlayerStopsTheOthersAfterReportingItsPort) {
  AddProxy();
  m_video->m_bIsolated = 0;
  EXPECT_EQ(m_video->StartPlay(), 1);
  EXPECT_EQ(m_owner.posts, 1);
  m_video->m_bIsolated = 1;
  EXPECT_EQ(m_video->StartPlay(), 1);
  EXPECT_EQ(m_owner.posts, 1) << "an isolated player posts nothing";
  EXPECT_EQ(m_host.TalkbackMessages().size(), 2u);
}

TEST_F(ProxiesTest, NoConfigurationReportsPortZero) {
  for (CSrcConfig* config : m_video->m_configs) delete config;
  m_video->m_configs.clear();
  EXPECT_EQ(m_video->StartPlay(), 1);
  EXPECT_FALSE(m_video->m_proxyPlugin.IsLoaded()) << "no proxy needed, no library loaded";
  EXPECT_EQ(m_host.TalkbackMessages(), (std::vector<Bytes>{{0x00, 0xF0, 0x00, 0x11, 0x00, 0x00, 0x00, 0x00}}));
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
  m_video->m_configs.push_back(new CSrcConfig);
  EXPECT_EQ(m_video->StartLocalProxies(), 0);
  EXPECT_EQ(m_video->m_proxies.size(), 1u);
  EXPECT_EQ(standIn.Counts().liveProxies, 1) << "the proxy whose Create failed was released";
  EXPECT_EQ(m_video->StartLocalProxies(), 1);
  EXPECT_EQ(LinesStartingWith("VideoHost::StartLocalProxies: Index=1, Create failed").size(), 1u);
  EXPECT_EQ(LinesStartingWith("VideoHost::StartLocalProxies: Proxies already started").size(), 1u);
}

TEST_F(ProxiesTest, ClosingWarnsEveryProxyBeforeClosingAny) {
  FakeProxy& first = AddProxy();
  FakeProxy& second = AddProxy();
  m_video->m_configs.push_back(new CSrcConfig);
  second.closeResult = E_FAIL;
  EXPECT_EQ(m_video->CloseProxyConnections(), 1);
  EXPECT_EQ(first.calls, (std::vector<std::string>{"PrepareClose(1)", "CloseConnections(1)"}));
  EXPECT_EQ(second.calls, (std::vector<std::string>{"PrepareClose(1)", "CloseConnections(1)"}));
  EXPECT_EQ(LinesStartingWith("VideoHost::CloseProxyConnections: ProxyIndex"),
            (Lines{"VideoHost::CloseProxyConnections: ProxyIndex=1, HR=0x80004005, Failed to close all proxy "
                   "connection"}));
}

TEST_F(ProxiesTest, ClosingVisitsOnlyProxiesThatExist) {
  m_video->m_configs.push_back(new CSrcConfig);
  FakeProxy& only = AddProxy();
  EXPECT_EQ(m_video->CloseProxyConnections(), 1);
  EXPECT_EQ(only.calls.size(), 2u);
  m_video->m_proxies.clear();
  m_video->CloseProxyConnections();
  const Lines lines = LinesStartingWith("VideoHost::CloseProxyConnections: ");
  EXPECT_EQ(lines.back(), "VideoHost::CloseProxyConnections: No local proxy created");
}
