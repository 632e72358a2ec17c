#include "config/src_config.h"
#include "support/src_config_probe.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

void AddThreeSources(CSrcConfig& config) {
  ASSERT_TRUE(config.AddConnection(0, "rtmp://one/app", kConnectionTypeRtmp));
  ASSERT_TRUE(config.AddConnection(1, "rtmp://two/app", kConnectionTypeRtmp));
  ASSERT_TRUE(config.AddConnection(2, "rtmp://three/app", kConnectionTypeRtmp));
}

bool AddText(CSrcConfig& config, const std::string& key) {
  return config.AddKey(static_cast<short>(key.size()), reinterpret_cast<const BYTE*>(key.data()));
}

}  // namespace

TEST(CSrcConfig, FreshConfigurationHoldsTheResetValues) {
  CSrcConfig config;
  EXPECT_EQ(Fields(config).m_nCurConn, -1);
  EXPECT_EQ(Fields(config).m_nSecureHeaderVersion, 3);
  EXPECT_EQ(Fields(config).m_nSessionID1, -1);
  EXPECT_EQ(Fields(config).m_nSessionID2, -1);
  EXPECT_EQ(Fields(config).m_nPlugPort[1], -1);
  EXPECT_EQ(Fields(config).m_nSocksPort[0], -1);
  EXPECT_TRUE(Fields(config).m_connections.empty());
  EXPECT_EQ(Fields(config).m_ppKeys, nullptr);
}

TEST(CSrcConfig, ResetRestoresEveryFieldButThePluginValue) {
  CSrcConfig config;
  AddThreeSources(config);
  config.SetPlugHost(1, "plug");
  config.SetSocksUser("user");
  Fields(config).m_bUseSocks5 = true;
  Fields(config).m_clientKey[19] = 7;
  Fields(config).m_nClientKeyLen = 20;
  Fields(config).m_nSessionID1 = 5;
  Fields(config).m_nSecureHeaderVersion = 4;
  Fields(config).m_pPluginBuffer = static_cast<BYTE*>(std::malloc(16));
  Fields(config).m_nPluginBufferSize = 16;
  Fields(config).m_nPluginValue = 9;
  ASSERT_TRUE(config.StartKeyList(2));
  ASSERT_TRUE(AddText(config, "k"));

  config.Reset();
  EXPECT_TRUE(Fields(config).m_connections.empty());
  EXPECT_EQ(Fields(config).m_nCurConn, -1);
  EXPECT_EQ(Fields(config).m_strPlugHost[1], "");
  EXPECT_EQ(Fields(config).m_strSocksUser, "");
  EXPECT_FALSE(Fields(config).m_bUseSocks5);
  EXPECT_EQ(Fields(config).m_clientKey[19], 0);
  EXPECT_EQ(Fields(config).m_nClientKeyLen, 0);
  EXPECT_EQ(Fields(config).m_nSessionID1, -1);
  EXPECT_EQ(Fields(config).m_nSecureHeaderVersion, 3);
  EXPECT_EQ(Fields(config).m_pPluginBuffer, nullptr);
  EXPECT_EQ(Fields(config).m_nPluginBufferSize, 0u);
  EXPECT_EQ(Fields(config).m_nPluginValue, 9u);
  EXPECT_EQ(Fields(config).m_ppKeys, nullptr);
  EXPECT_EQ(Fields(config).m_nKeyTotal, 0);
  EXPECT_EQ(Fields(config).m_nKeyCount, 0);
}

TEST(CSrcConfig, IndexZeroStartsTheListAgain) {
  CSrcConfig config;
  AddThreeSources(config);
  Fields(config).m_nCurConn = 2;
  ASSERT_TRUE(config.AddConnection(0, "http://media.example.com/live", kConnectionTypePlug));
  ASSERT_EQ(Fields(config).m_connections.size(), 1u);
  EXPECT_EQ(Fields(config).m_nCurConn, 0);
  const CSrcConnection& source = *Fields(config).m_connections[0];
  EXPECT_EQ(source.m_strURL, "http://media.example.com/live");
  EXPECT_EQ(source.m_strHost, "media.example.com");
  EXPECT_EQ(source.m_nPort, 80);
  EXPECT_EQ(source.m_nType, 1);
  EXPECT_TRUE(source.m_bOtherScheme);
  EXPECT_FALSE(source.m_bNsc);
}

TEST(CSrcConfig, IndexesThatSkipAheadOrAreNegativeAreDropped) {
  CSrcConfig config;
  ASSERT_TRUE(config.AddConnection(0, "rtmp://one/app", kConnectionTypeRtmp));
  for (LONG index : {2, 5, -1}) {
    EXPECT_FALSE(config.AddConnection(index, "rtmp://other/app", kConnectionTypeRtmp)) << index;
    EXPECT_EQ(Fields(config).m_connections.size(), 1u);
  }
  EXPECT_EQ(config.GetHost(2), "");
  EXPECT_EQ(config.GetPort(2), -1);
  ASSERT_TRUE(config.AddConnection(1, "rtmp://two:1935/app", kConnectionTypeRtmp));
  EXPECT_EQ(config.GetHost(1), "two");
  EXPECT_EQ(config.GetPort(1), 1935);
}

TEST(CSrcConfig, BadUrlAtIndexZeroKeepsTheOldList) {
  CSrcConfig config;
  AddThreeSources(config);
  Fields(config).m_nCurConn = 1;
  const std::string tooLong = "http://h/" + std::string(300, 'a');
  EXPECT_FALSE(config.AddConnection(0, "notaurl", kConnectionTypePlug));
  EXPECT_FALSE(config.AddConnection(0, tooLong.c_str(), kConnectionTypePlug));
  EXPECT_FALSE(config.AddConnection(0, nullptr, kConnectionTypePlug));
  EXPECT_EQ(Fields(config).m_connections.size(), 3u);
  EXPECT_EQ(Fields(config).m_nCurConn, 1);
  EXPECT_EQ(config.GetHost(0), "one");
}

TEST(CSrcConfig, SchemeAndNscMarksOfEachSource) {
  struct Case {
    const char* url;
    bool otherScheme;
    bool nsc;
  };
  const Case cases[] = {
      {"RTMPE://a/app", false, false}, {"rtmps://a/app", false, false},   {"https://a/x", false, false},
      {"mms://a/x.nsc", true, true},   {"mms://a.NSC.example/x", true, false}, {"http://a/x?f=b.nsc", true, true},
  };
  CSrcConfig config;
  for (const Case& expected : cases) {
    ASSERT_TRUE(config.AddConnection(0, expected.url, kConnectionTypeDirect)) << expected.url;
    EXPECT_EQ(Fields(config).m_connections[0]->m_bOtherScheme, expected.otherScheme) << expected.url;
    EXPECT_EQ(Fields(config).m_connections[0]->m_bNsc, expected.nsc) << expected.url;
  }
}

TEST(CSrcConfig, ReadersOfMissingConnectionsNeverFail) {
  CSrcConfig config;
  ASSERT_TRUE(config.AddConnection(0, "http://a/x", kConnectionTypeMProxy));
  ASSERT_TRUE(config.AddConnection(1, "http://b/x", kConnectionTypePlug));
  Fields(config).m_connections.push_back(nullptr);  // a slot the plug-in left empty
  EXPECT_TRUE(config.IsMProxy(0));
  EXPECT_FALSE(config.IsMProxy(1));
  for (LONG index : {-1, 2, 3, 1000}) {
    EXPECT_FALSE(config.IsMProxy(index)) << index;
    EXPECT_EQ(config.GetHost(index), "") << index;
    EXPECT_EQ(config.GetPort(index), -1) << index;
  }
}

TEST(CSrcConfig, ProxyPairSettersTakeOnlyIndexZeroAndOne) {
  CSrcConfig config;
  for (LONG index : {0, 1, 2, -1}) {
    config.SetPlugHost(index, "plug" + std::to_string(index));
    config.SetSocksHost(index, "socks" + std::to_string(index));
    config.SetPlugPort(index, 80 + index);
    config.SetSocksPort(index, 1080 + index);
  }
  EXPECT_EQ(Fields(config).m_strPlugHost[0], "plug0");
  EXPECT_EQ(Fields(config).m_strPlugHost[1], "plug1");
  EXPECT_EQ(Fields(config).m_strSocksHost[0], "socks0");
  EXPECT_EQ(Fields(config).m_strSocksHost[1], "socks1");
  EXPECT_EQ(Fields(config).m_nPlugPort[0], 80);
  EXPECT_EQ(Fields(config).m_nPlugPort[1], 81);
  EXPECT_EQ(Fields(config).m_nSocksPort[0], 1080);
  EXPECT_EQ(Fields(config).m_nSocksPort[1], 1081);
}

TEST(CSrcConfig, ClientKeyKeepsAtMostItsTwentyBytes) {
  CSrcConfig config;
  BYTE bytes[24];
  for (BYTE i = 0; i < 24; ++i) bytes[i] = static_cast<BYTE>(i + 1);
  config.SetClientKey(bytes, 24);
  EXPECT_EQ(Fields(config).m_nClientKeyLen, CSrcConfig::kClientKeySize);
  EXPECT_EQ(Fields(config).m_clientKey[19], 20);
  config.SetClientKey(bytes, 0);
  EXPECT_EQ(Fields(config).m_nClientKeyLen, 0);
  EXPECT_EQ(Fields(config).m_clientKey[0], 1) << "an empty key leaves the bytes, as its length says none count";
}

TEST(CSrcConfig, HostKeysStartTheirListAtIndexZeroOrWithAListOfOne) {
  CSrcConfig config;
  config.AddHostKey(3, 1, "orphan");  // no list yet: a list of one takes it
  EXPECT_EQ(Fields(config).m_nKeyTotal, 1);
  ASSERT_EQ(Fields(config).m_nKeyCount, 1);
  EXPECT_STREQ(Fields(config).m_ppKeys[0], "orphan");
  config.AddHostKey(2, 0, "a");
  config.AddHostKey(2, 1, "b");
  config.AddHostKey(2, 2, "c");  // the list is full
  EXPECT_EQ(Fields(config).m_nKeyTotal, 2);
  ASSERT_EQ(Fields(config).m_nKeyCount, 2);
  EXPECT_STREQ(Fields(config).m_ppKeys[1], "b");
  config.AddHostKey(1, 0, std::string(0x8000, 'k'));  // longer than a short: refused
  EXPECT_EQ(Fields(config).m_nKeyCount, 0);
}

TEST(CSrcConfig, KeysAreStoredInArrivalOrderUntilTheListIsFull) {
  CSrcConfig config;
  ASSERT_TRUE(config.StartKeyList(2));
  EXPECT_TRUE(AddText(config, "first"));
  EXPECT_TRUE(AddText(config, std::string("se\0nd", 5)));
  EXPECT_FALSE(AddText(config, "third"));
  ASSERT_EQ(Fields(config).m_nKeyCount, 2);
  EXPECT_STREQ(Fields(config).m_ppKeys[0], "first");
  EXPECT_EQ(std::string(Fields(config).m_ppKeys[1], 6), std::string("se\0nd\0", 6));
}

TEST(CSrcConfig, KeyListsThatRefuseEveryKey) {
  CSrcConfig config;
  EXPECT_FALSE(AddText(config, "no list yet"));
  for (LONG total : {0, -5}) {
    ASSERT_TRUE(config.StartKeyList(total));
    EXPECT_NE(Fields(config).m_ppKeys, nullptr);
    EXPECT_EQ(Fields(config).m_nKeyTotal, 0);
    EXPECT_FALSE(AddText(config, "k")) << total;
  }
}

TEST(CSrcConfig, KeyWithANegativeLengthOrNoBytesIsRefused) {
  CSrcConfig config;
  ASSERT_TRUE(config.StartKeyList(3));
  const BYTE bytes[] = {'a', 'b'};
  EXPECT_FALSE(config.AddKey(-1, bytes));
  EXPECT_FALSE(config.AddKey(2, nullptr));
  EXPECT_TRUE(config.AddKey(0, nullptr));
  EXPECT_STREQ(Fields(config).m_ppKeys[0], "");
  EXPECT_EQ(Fields(config).m_nKeyCount, 1);
}

TEST(CSrcConfig, LongestKeyIsCopiedWhole) {
  CSrcConfig config;
  ASSERT_TRUE(config.StartKeyList(1));
  const std::string key(32767, 'k');
  ASSERT_TRUE(AddText(config, key));
  EXPECT_EQ(std::string(Fields(config).m_ppKeys[0]), key);
}
