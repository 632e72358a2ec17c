// The relay library loaded as the control loads a proxy plug-in, carrying real connections on loopback.
#include "relay_fixture.h"

#include <algorithm>

#include "http_request_head.h"
#include "support/src_config_probe.h"

namespace relay_test {
namespace {

TEST_F(RelayTest, CarriesAnExchangeToConnectionZeroAndCountsItsBytesAndTime) {
  Origin origin(Origin::Mode::Answer);
  Fields(m_config).m_nSessionID1 = 1001;
  Start(origin.Port());
  // The relay works from a copy of its own, which the heartbeat reads back.
  CSrcConfig* own = m_proxy->GetConfig();
  ASSERT_NE(own, nullptr);
  EXPECT_NE(own, &m_config);
  EXPECT_EQ(own->GetPort(0), origin.Port());
  EXPECT_EQ(Fields(*own).m_nSessionID1, 1001);
  EXPECT_EQ(m_proxy->GetByteCount(), 0);
  EXPECT_EQ(m_proxy->GetLastActivityTime(), 0);
  const int64_t before = static_cast<int64_t>(std::time(nullptr));

  const std::string request = "GET /live HTTP/1.0\r\n\r\n";
  Socket player = ConnectTo(m_proxy->GetPort());
  ASSERT_TRUE(player.SendAll(request.data(), request.size()));
  EXPECT_EQ(ReadToEnd(player), kResponse);
  player.Close();  // the source's end reached the player as an end of stream; the player hangs up
  // The source is http: it gets the request with its own name as Host.
  EXPECT_EQ(origin.Received(), "GET /live HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(origin.Port()) + "\r\n\r\n");

  const LONG carried = static_cast<LONG>(request.size() + kResponse.size());
  EXPECT_TRUE(Eventually([&] { return Carried() == carried; })) << m_nCarried;
  EXPECT_EQ(m_proxy->GetByteCount(), 0);
  EXPECT_GE(m_proxy->GetLastActivityTime(), before);
  EXPECT_LE(m_proxy->GetLastActivityTime(), static_cast<int64_t>(std::time(nullptr)));
  const std::string port = std::to_string(origin.Port());
  EXPECT_TRUE(Eventually([&] {
    return Contains(LogLines(), " connection 1: closed after " + std::to_string(carried) + " bytes");
  }));
  EXPECT_TRUE(Contains(LogLines(), " connection 1: to 127.0.0.1:" + port + " directly (connection 0)"));
}

// The scheme decides, whatever the type: only an http URL's requests are read and rewritten. A request the
// relay refuses after others is not answered by the relay: the source's answers end the connection.
TEST_F(RelayTest, RewritesThePlayersRequestsForHttpURLsOnlyWhateverTheirType) {
  const std::string absolute = "GET http://elsewhere.example/live HTTP/1.1\r\nProxy-Connection: keep-alive\r\n\r\n";
  const struct {
    const char* scheme;
    LONG type;
    std::string request;
    std::string received;  // by the source; "rewritten": the absolute-form request as the relay rewrites it
    const char* logLine;   // after "connection 1: "
  } rows[] = {
      {"http", 4, absolute, "rewritten", "request names elsewhere.example, sent to the configured source 127.0.0.1:"},
      {"http", 2, absolute, "rewritten", "request names elsewhere.example"},
      {"rtmp", 5, absolute, absolute, "to 127.0.0.1:"},
      {"rtsp", 4, absolute, absolute, "to 127.0.0.1:"},
      {"https", 4, absolute, absolute, "to 127.0.0.1:"},
      {"http", 4, absolute + "G@T / HTTP/1.1\r\n\r\n", "rewritten",
       "error: request refused: not a request line; the connection ends after the source's answers to the 1 "
       "request before it"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.scheme) + " " + std::to_string(row.type));
    Origin origin(Origin::Mode::Answer);
    NewProxy();
    m_config.AddConnection(0, Url(origin.Port(), row.scheme).c_str(), row.type);
    ASSERT_EQ(m_proxy->Create(&m_config), S_OK);
    EXPECT_EQ(PlayOnce(row.request), kResponse);
    const std::string rewritten = "GET /live HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(origin.Port()) + "\r\n\r\n";
    EXPECT_EQ(origin.Received(), row.received == "rewritten" ? rewritten : row.received);
    EXPECT_TRUE(Eventually([&] { return Contains(LogLines(), std::string("connection 1: ") + row.logLine); }));
  }
}

TEST_F(RelayTest, ItsCopyOfTheConfigurationHoldsEveryFieldItUses) {
  m_config.AddConnection(0, "http://127.0.0.1:8000/a", kConnectionTypeHttp);
  m_config.AddConnection(1, "http://127.0.0.1:8001/b", kConnectionTypePlug);
  Fields(m_config).m_nCurConn = 1;
  for (LONG i = 0; i < 2; ++i) {
    m_config.SetSocksHost(i, "socks" + std::to_string(i));
    Fields(m_config).m_nSocksPort[i] = 1080 + i;
    m_config.SetPlugHost(i, "plug" + std::to_string(i));
    Fields(m_config).m_nPlugPort[i] = 3128 + i;
  }
  m_config.SetSocksUser("viewer");
  m_config.SetSocksPassword("secret");
  Fields(m_config).m_bUseSocks5 = true;
  m_config.SetPlugHeader("X-Plug: 1");
  m_config.SetSecureHeaderText("secure");
  Fields(m_config).m_nSecureHeaderVersion = 3;
  Fields(m_config).m_clientKey[19] = 0x5A;
  Fields(m_config).m_nClientKeyLen = 20;
  const BYTE key[] = {'k', '1'};
  ASSERT_TRUE(m_config.StartKeyList(2));
  ASSERT_TRUE(m_config.AddKey(2, key));
  Fields(m_config).m_nSessionID1 = 11;
  Fields(m_config).m_nSessionID2 = 22;
  Start(0);

  CSrcConfig& own = *m_proxy->GetConfig();
  EXPECT_EQ(own.GetPort(1), 8001);
  EXPECT_EQ(Fields(own).m_nCurConn, 1);
  for (LONG i = 0; i < 2; ++i) {
    EXPECT_EQ(Fields(own).m_strSocksHost[i], "socks" + std::to_string(i));
    EXPECT_EQ(Fields(own).m_nSocksPort[i], 1080 + i);
    EXPECT_EQ(Fields(own).m_strPlugHost[i], "plug" + std::to_string(i));
    EXPECT_EQ(Fields(own).m_nPlugPort[i], 3128 + i);
  }
  EXPECT_EQ(Fields(own).m_strSocksUser, "viewer");
  EXPECT_EQ(Fields(own).m_strSocksPassword, "secret");
  EXPECT_TRUE(Fields(own).m_bUseSocks5);
  EXPECT_EQ(Fields(own).m_strPlugHeader, "X-Plug: 1");
  EXPECT_EQ(Fields(own).m_strSecureHeader, "secure");
  EXPECT_EQ(Fields(own).m_nSecureHeaderVersion, 3);
  EXPECT_EQ(Fields(own).m_clientKey[19], 0x5A);
  EXPECT_EQ(Fields(own).m_nClientKeyLen, 20);
  EXPECT_EQ(Fields(own).m_nKeyTotal, 2);
  ASSERT_EQ(Fields(own).m_nKeyCount, 1);
  EXPECT_STREQ(Fields(own).m_ppKeys[0], "k1");
  EXPECT_EQ(Fields(own).m_nSessionID1, 11);
  EXPECT_EQ(Fields(own).m_nSessionID2, 22);
}

TEST_F(RelayTest, APlayerIsHungUpOnWhenThereIsNoSourceOrItCannotBeReached) {
  Start(0);
  // No source at all (a URL the library refused): a request hears 502, other bytes or none a hang-up.
  const struct {
    std::string sent;
    std::string answer;
  } unsourced[] = {{"GET /live HTTP/1.1\r\nHost: a\r\n\r\n", HttpRequestRewriter::Response(502)},
                   {"\x16\x03\x01\x02\x00", ""},
                   {"", ""}};
  for (const auto& row : unsourced) {
    Socket player = ConnectTo(m_proxy->GetPort());
    player.SendAll(row.sent.data(), row.sent.size());
    player.ShutdownSending();
    EXPECT_EQ(ReadToEnd(player), row.answer) << row.sent;
  }
  EXPECT_TRUE(Eventually([&] { return Count(LogLines(), "error: refused: no stream source configured") == 3; }));

  // An http source that cannot be reached: the player hears why before it is hung up on.
  const ClosedPort closed;
  const LONG closedPort = closed.Port();
  m_proxy->SetConnectionURL(0, Url(closedPort).c_str(), kConnectionTypeHttp);
  Socket second = ConnectTo(m_proxy->GetPort());
  EXPECT_EQ(ReadToEnd(second), HttpRequestRewriter::Response(502));
  const std::string address = "127.0.0.1:" + std::to_string(closedPort);
  EXPECT_TRUE(Eventually([&] {
    return Contains(LogLines(), "connection 4: error: cannot reach stream source " + address + " (connection 0): " +
                                    SocketErrorText(kConnectionRefused));
  }));
  EXPECT_TRUE(Contains(LogLines(), "connection 4: error: no stream source can be reached, player closed after a 502 answer"));

  // Any other source is hung up on without a word.
  m_proxy->SetConnectionURL(0, Url(closedPort, "rtmp").c_str(), kConnectionTypeRtmp);
  Socket third = ConnectTo(m_proxy->GetPort());
  EXPECT_EQ(ReadToEnd(third), "");
  EXPECT_EQ(Carried(), 0);
}

TEST_F(RelayTest, ANewURLForConnectionZeroMovesLaterPlayersToIt) {
  Origin first(Origin::Mode::Answer), second(Origin::Mode::Answer);
  Start(first.Port());
  const std::string moved = "http://127.0.0.1:" + std::to_string(second.Port()) + "/live";
  EXPECT_EQ(m_proxy->SetConnectionURL(1, "http://elsewhere.example/", kConnectionTypeHttp), S_OK);
  EXPECT_EQ(m_proxy->SetConnectionURL(0, "not a URL", kConnectionTypeHttp), E_INVALIDARG);
  EXPECT_EQ(m_proxy->SetConnectionURL(0, moved.c_str(), kConnectionTypeHttp), S_OK);

  const std::string request = "GET /live HTTP/1.0\r\n\r\n";
  Socket player = ConnectTo(m_proxy->GetPort());
  ASSERT_TRUE(player.SendAll(request.data(), request.size()));
  EXPECT_EQ(ReadToEnd(player), kResponse);
  EXPECT_EQ(first.Accepted(), 0);
  EXPECT_EQ(second.Accepted(), 1);
  // What the host reads back tells where the relay goes; the host's own object stays as it was.
  EXPECT_EQ(m_proxy->GetConfig()->GetPort(0), second.Port());
  EXPECT_EQ(m_config.GetPort(0), first.Port());
  const std::vector<std::string> lines = LogLines();
  EXPECT_TRUE(Contains(lines, "cannot use URL not a URL"));
  EXPECT_TRUE(Contains(lines, ": connection 0 now 127.0.0.1:" + std::to_string(second.Port())));
}

TEST_F(RelayTest, ClosingConnectionsEndsLiveOnesAndWithTheProxyStopsListeningUntilTheNextURL) {
  Origin origin(Origin::Mode::Hold);
  Start(origin.Port());
  const LONG port = m_proxy->GetPort();
  Socket first = ConnectTo(port);
  ASSERT_TRUE(Eventually([&] { return origin.Accepted() == 1; }));

  EXPECT_EQ(m_proxy->CloseConnections(0), S_OK);
  EXPECT_EQ(ReadToEnd(first), "");
  Socket second = ConnectTo(port);
  ASSERT_TRUE(Eventually([&] { return origin.Accepted() == 2; }));

  EXPECT_EQ(m_proxy->CloseConnections(1), S_OK);
  EXPECT_EQ(m_proxy->CloseConnections(1), S_OK);  // the library closes twice at a delete: one line says so
  EXPECT_EQ(ReadToEnd(second), "");
  EXPECT_TRUE(Eventually([&] { return m_proxy->GetPort() == -1; }));
  EXPECT_FALSE(ConnectTo(port).Valid());
  const std::vector<std::string> lines = LogLines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) { return line.find("connections closed, listener too") != std::string::npos; }),
            1);

  // The player plays again: a new URL for connection 0 opens a listener for it. One closed as soon as it
  // opens accepts nothing, though it is handed to the I/O thread after its port is known.
  const std::string url = "http://127.0.0.1:" + std::to_string(origin.Port());
  EXPECT_EQ(m_proxy->SetConnectionURL(0, url.c_str(), kConnectionTypeHttp), S_OK);
  const LONG reopened = m_proxy->GetPort();
  ASSERT_GT(reopened, 0);
  EXPECT_EQ(m_proxy->CloseConnections(1), S_OK);
  EXPECT_FALSE(ConnectTo(reopened).Valid());
  EXPECT_EQ(m_proxy->SetConnectionURL(0, url.c_str(), kConnectionTypeHttp), S_OK);
  ASSERT_GT(m_proxy->GetPort(), 0);
  Socket third = ConnectTo(m_proxy->GetPort());
  EXPECT_TRUE(Eventually([&] { return origin.Accepted() == 3; }));
}

TEST_F(RelayTest, APlayerThatStopsReadingHoldsUpNeitherClosingNorRelease) {
  Origin origin(Origin::Mode::Stream);
  Start(origin.Port());
  Socket player = ConnectTo(m_proxy->GetPort());
  // The stream fills every buffer between the source and the player, and the relay waits to send.
  ASSERT_TRUE(Stalls([&] { return Carried(); }));

  // The player never reads: a close or release that waited for it would never end.
  m_proxy->CloseConnections(1);
  m_proxy->Release();
  m_proxy = nullptr;
  EXPECT_TRUE(Contains(LogLines(), " stopped after "));
}

TEST_F(RelayTest, ReleasingTheProxyStopsItWithoutWaitingForItsPlayers) {
  Origin origin(Origin::Mode::Hold);
  Start(origin.Port());
  const LONG port = m_proxy->GetPort();
  Socket player = ConnectTo(port);
  ASSERT_TRUE(Eventually([&] { return origin.Accepted() == 1; }));

  m_proxy->Release();
  m_proxy = nullptr;
  EXPECT_EQ(ReadToEnd(player), "");
  EXPECT_FALSE(ConnectTo(port).Valid());
  EXPECT_TRUE(Contains(LogLines(), "stopped after 0 bytes"));
}

}  // namespace
}  // namespace relay_test
