#include <gtest/gtest.h>

#include <algorithm>

#include "log/ctrl_log.h"
#include "log/log.h"
#include "video_host_fixture.h"
#include "support/src_config_probe.h"

namespace {

using SettingsTest = VideoHostTest;

std::vector<std::string> Keys(CSrcConfig& config) {
  const SrcConfigProbe fields(config);
  std::vector<std::string> held;
  for (LONG i = 0; i < fields.m_nKeyCount; ++i) held.push_back(fields.m_ppKeys[i]);
  return held;
}

}  // namespace

TEST_F(SettingsTest, UrlResultsWithoutLiveProxies) {
  EXPECT_EQ(m_video->SetURL(0, 0, "", kConnectionTypePlug), E_INVALIDARG);
  EXPECT_EQ(m_video->SetURL(0, 0, nullptr, kConnectionTypePlug), E_INVALIDARG);
  EXPECT_EQ(m_video->SetURL(0, 0, "file:///c:/media/x.asf", kConnectionTypePlug), 0);
  EXPECT_EQ(m_video->SetURL(0, 0, "http://h/x", 0), 0);
  EXPECT_TRUE(Fields(Config()).m_connections.empty()) << "file URLs and type 0 store nothing";
  EXPECT_EQ(m_video->SetURL(1, 0, "http://h/x", 1), kConnectionTypePlug);
  m_video->AddConfig(nullptr);
  EXPECT_EQ(m_video->SetURL(1, 0, "http://h/x", 1), kConnectionTypePlug);
  EXPECT_EQ(m_video->SetURL(0, 1, "http://media.example.com:8080/live", kConnectionTypeDirect), 0);
  EXPECT_EQ(Fields(Config()).m_connections.size(), 0u) << "index 1 of an empty list is dropped";
  EXPECT_EQ(LinesStartingWith("VideoHost::SetURL:"),
            (Lines{"VideoHost::SetURL: ProxyIndex=0, ConnIndex=0, Type=PLUG, URL=",
                   "VideoHost::SetURL: ProxyIndex=0, ConnIndex=0, Type=PLUG, URL=",
                   "VideoHost::SetURL: ProxyIndex=0, ConnIndex=0, Type=PLUG, URL=file:///c:/media/x.asf",
                   "VideoHost::SetURL: ProxyIndex=0, ConnIndex=0, Type=, URL=http://h/x",
                   "VideoHost::SetURL: ProxyIndex=1, ConnIndex=0, Type=PLUG, URL=http://h/x",
                   "VideoHost::SetURL: ProxyIndex=1, out of range",
                   "VideoHost::SetURL: ProxyIndex=1, ConnIndex=0, Type=PLUG, URL=http://h/x",
                   "VideoHost::SetURL: Invalid proxy setting object",
                   "VideoHost::SetURL: ProxyIndex=0, ConnIndex=1, Type=DIRECT, URL=http://media.example.com:8080/live",
                   "VideoHost::SetURL: Final dest=, Final port=-1"}));
}

TEST_F(SettingsTest, UrlGoesToTheLiveProxyAndLeavesTheHostsConfiguration) {
  FakeProxy& proxy = AddProxy();
  proxy.config.AddConnection(0, "http://old.example/x", kConnectionTypePlug);
  EXPECT_EQ(m_video->SetURL(0, 1, "http://new.example:81/y", kConnectionTypeMProxy), 0);
  EXPECT_EQ(proxy.calls, (std::vector<std::string>{"SetConnectionURL(1,http://new.example:81/y,3)"}));
  EXPECT_TRUE(Fields(Config()).m_connections.empty());
  proxy.setUrlResult = E_FAIL;
  EXPECT_EQ(m_video->SetURL(0, 0, "http://x.example/", 1), kConnectionTypePlug);
  EXPECT_EQ(m_video->SetURL(1, 0, "http://x.example/", 1), kConnectionTypePlug);
  m_video->AdoptProxy(CComRef<IQelVideoProxy>());
  EXPECT_EQ(m_video->SetURL(1, 0, "http://x.example/", 1), kConnectionTypePlug);
  const Lines outcomes = LinesStartingWith("VideoHost::SetURL: ");
  EXPECT_EQ(outcomes[1], "VideoHost::SetURL: Final dest=, Final port=-1") << "connection 1 does not exist";
  EXPECT_EQ(outcomes[3], "VideoHost::SetURL: Failed to set URL");
  EXPECT_EQ(outcomes[5], "VideoHost::SetURL: ProxyIndex=1, out of range");
  EXPECT_EQ(outcomes[7], "VideoHost::SetURL: Invalid proxy object");
}

TEST_F(SettingsTest, DisabledSocksKeepsTheChainAndThePasswordNeverReachesTheLog) {
  FakeProxy& proxy = AddProxy();
  m_video->SetSocks5Proxy("s1.example", 1080, "s2.example", 1081, "user", "secret");
  m_video->SetSocks5Proxy("", 0, "", 0, "", "");
  for (CSrcConfig* config : {&Config(), &proxy.config}) {
    EXPECT_FALSE(Fields(*config).m_bUseSocks5);
    EXPECT_EQ(Fields(*config).m_strSocksHost[0], "s1.example");
    EXPECT_EQ(Fields(*config).m_nSocksPort[1], 1081);
    EXPECT_EQ(Fields(*config).m_strSocksPassword, "secret");
  }
  EXPECT_EQ(LinesStartingWith("VideoHost::SetSocks5Proxy"),
            (Lines{"VideoHost::SetSocks5Proxy: Proxy1=s1.example:1080, Proxy2=s2.example:1081, Username=user, "
                   "Password=****",
                   "VideoHost::SetSocks5Proxy: Proxy1=:0, Proxy2=:0, Username=, Password="}));
}

TEST_F(SettingsTest, KeyListsFollowTheirFirstKeyAndNeverOverflow) {
  auto keys = [this] { return Keys(Config()); };
  m_video->SetProxyKey(2, 5, "lone");
  EXPECT_EQ(keys(), (std::vector<std::string>{"lone"})) << "no list yet: a list of one";
  m_video->SetProxyKey(2, 0, "k1");
  m_video->SetProxyKey(2, 1, "k2");
  m_video->SetProxyKey(2, 1, "k3");
  EXPECT_EQ(keys(), (std::vector<std::string>{"k1", "k2"}));
  m_video->SetProxyKey(0, 0, "k");
  EXPECT_TRUE(keys().empty());
  m_video->SetProxyKey(-3, 0, "k");
  EXPECT_TRUE(keys().empty()) << "a negative total is an empty list";
  EXPECT_EQ(Fields(Config()).m_nKeyTotal, 0);
  const Lines lines = LinesStartingWith("VideoHost::SetProxyKey");
  EXPECT_EQ(lines[1], "VideoHost::SetProxyKey: Total=2, Index=0, Key=****");
}

TEST_F(SettingsTest, AConfigurationHandedBackByAProxyIsWrittenOnce) {
  // As the relay does: the proxy hands back the very configuration it was created with.
  AddProxy().handedBack = &Config();
  for (LONG index = 0; index < 3; ++index) m_video->SetProxyKey(3, index, ("k" + std::to_string(index)).c_str());
  EXPECT_EQ(Keys(Config()), (std::vector<std::string>{"k0", "k1", "k2"}));
}

TEST_F(SettingsTest, SecureHeaderTakesTheKeyOfItsType) {
  Bytes block(52);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<BYTE>(i);
  m_host.SetClientKeys(block);
  const struct {
    LONG keyType;
    LONG length;
    BYTE first;
  } rows[] = {{0, 20, 8}, {1, 8, 36}, {2, 16, 28}, {3, 0, 0}};
  for (const auto& row : rows) {
    EXPECT_EQ(m_video->SetSecureHeader("hdr", 5, row.keyType), 0);
    EXPECT_EQ(Fields(Config()).m_nClientKeyLen, row.length) << row.keyType;
    if (row.length > 0) {
      EXPECT_EQ(Fields(Config()).m_clientKey[0], row.first) << row.keyType;
    }
    EXPECT_EQ(Fields(Config()).m_nSecureHeaderVersion, 5);
    EXPECT_EQ(Fields(Config()).m_strSecureHeader, "hdr");
  }
  const Lines lines = LoggedLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "****"), 3) << "the three keys, masked";
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "08090A0B0C0D0E0F101112131415161718191A1B"), lines.end());
}

TEST_F(SettingsTest, SecureHeaderWithoutClientKeysStoresNothing) {
  m_host.SetCallbackStatus(0);
  m_video->Release();
  m_video = new CQelVorlaProxyHost(m_owner);
  m_video->Initialize(m_host.Callback(), m_host.TalkBack());
  EXPECT_EQ(m_video->SetSecureHeader("hdr", 5, 0), 1);
  EXPECT_EQ(Fields(Config()).m_strSecureHeader, "");
  EXPECT_EQ(LinesStartingWith("VideoHost::SetSecureHeader: Failed").size(), 1u);
}

TEST_F(SettingsTest, KeyLineOnlyFromLevelTwoAndNeverInClear) {
  m_host.SetClientKeys(Bytes(52, 0xAB));
  for (const LONG level : {1, 2}) {
    ProcessLog().UseSettings(m_dir.File("process.log"), level, 1024000);
    m_video->SetSecureHeader("hdr", 1, 1);
    const Lines lines = LoggedLines();
    const bool masked = std::find(lines.begin(), lines.end(), "****") != lines.end();
    EXPECT_EQ(masked, level >= 2) << level;
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "ABABABABABABABAB"), lines.end());
  }
}

TEST_F(SettingsTest, PlugProxyReachesEveryConfigurationEmptyValuesIncluded) {
  FakeProxy& proxy = AddProxy();
  m_video->SetPLUGProxy("p1.example", 80, "p2.example", 8080, "X-Hdr: 1");
  m_video->SetPLUGProxy("p1.example", 81, "", 0, "");
  for (CSrcConfig* config : {&Config(), &proxy.config}) {
    EXPECT_EQ(Fields(*config).m_strPlugHost[0], "p1.example");
    EXPECT_EQ(Fields(*config).m_nPlugPort[0], 81);
    EXPECT_EQ(Fields(*config).m_strPlugHost[1], "");
    EXPECT_EQ(Fields(*config).m_nPlugPort[1], 0);
    EXPECT_EQ(Fields(*config).m_strPlugHeader, "");
  }
  EXPECT_EQ(LinesStartingWith("VideoHost::SetPLUGProxy").front(),
            "VideoHost::SetPLUGProxy: Proxy1=p1.example:80, Proxy2=p2.example:8080, CustomHeader=X-Hdr: 1");
}

TEST_F(SettingsTest, IntervalIsStoredAndAlwaysRestartsTheTimer) {
  m_video->SetHeartbeatAlarmInterval(0);
  m_video->SetHeartbeatAlarmInterval(-1);
  m_video->SetHeartbeatAlarmInterval(30);
  EXPECT_EQ(m_owner.timerStarts, (std::vector<LONG>{0, -1, 30}));
  EXPECT_EQ(m_video->AlarmInterval(), 30);
}

TEST_F(SettingsTest, FlagsAndSessionIdentifiers) {
  m_video->SetIsolatedFlag(5);
  EXPECT_EQ(m_video->IsIsolated(), 1);
  m_video->SetIsolatedFlag(0);
  EXPECT_EQ(m_video->IsIsolated(), 0);
  FakeProxy& proxy = AddProxy();
  m_video->SetAASSessionIDs(0x100000007LL, -2);
  EXPECT_EQ(Fields(Config()).m_nSessionID1, 7) << "the low 32 bits";
  EXPECT_EQ(Fields(proxy.config).m_nSessionID2, -2);
  EXPECT_EQ(LinesStartingWith("VideoHost::SetAASSessionIDs"),
            (Lines{"VideoHost::SetAASSessionIDs: ID1=4294967303, ID2=-2"}));
}
