// What players that speak more than plain requests send through the relay: a CONNECT, as a player set to
// use the relay as its proxy sends for an https source, and an upgrade to a WebSocket. Both end the reading
// of requests; from then on both ways pass byte for byte.
#include "http_request_head.h"
#include "relay_fixture.h"

namespace relay_test {
namespace {

const std::string kTunnelOpened = "HTTP/1.1 200 Connection established\r\n\r\n";

std::string Connect(LONG port) { return "CONNECT 127.0.0.1:" + std::to_string(port) + " HTTP/1.1\r\nHost: x\r\n\r\n"; }

TEST_F(RelayTest, ACONNECTNamingAConfiguredSourceOpensATunnelToItAndAnyOtherIsRefused) {
  // Bytes an HTTP reader would rewrite or refuse, and the start of a TLS handshake: a tunnel passes both.
  const std::string request = "GET http://elsewhere.example/x HTTP/1.1\r\nX Y: no field\r\n\r\n";
  const std::string tls("\x16\x03\x01\x00\x05hello\r\n\r\n", 14);
  Origin first(Origin::Mode::Answer), second(Origin::Mode::Answer);
  const struct {
    const char* what;
    const char* scheme;  // of connection 0, on `first`; connection 1 is https, on `second`
    std::string sent;
    std::string answer;
    std::string firstGot, secondGot;
    std::string logLine;  // after "connection 1: "
    size_t pause;         // the player pauses after these many bytes (0: none), so the relay reads them alone
  } rows[] = {
      {"an http source, CONNECT to it", "http", Connect(first.Port()) + request, kTunnelOpened + kResponse, request, "",
       "tunnel for the player's CONNECT to 127.0.0.1:" + std::to_string(first.Port()) + " (connection 0)", 0},
      {"an https source, CONNECT to it", "https", Connect(first.Port()) + tls, kTunnelOpened + kResponse, tls, "",
       "tunnel for the player's CONNECT to 127.0.0.1:" + std::to_string(first.Port()) + " (connection 0)", 4},
      {"CONNECT to connection 1", "http", Connect(second.Port()) + tls, kTunnelOpened + kResponse, "", tls,
       "tunnel for the player's CONNECT to 127.0.0.1:" + std::to_string(second.Port()) + " (connection 1)", 0},
      {"CONNECT to another host", "https", "CONNECT elsewhere.example:443 HTTP/1.1\r\n\r\n" + tls,
       HttpRequestRewriter::Response(403), "", "",
       "error: request refused with 403: CONNECT to elsewhere.example:443, which is no configured stream source", 0},
      {"an https source, bytes that only begin as a CONNECT does", "https", "CONNECTED\r\n\r\n", kResponse,
       "CONNECTED\r\n\r\n", "", "to 127.0.0.1:" + std::to_string(first.Port()) + " directly (connection 0)", 7},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string firstBefore = first.Received(), secondBefore = second.Received();
    const size_t linesBefore = LogLines().size();
    NewProxy();
    m_config.AddConnection(0, Url(first.Port(), row.scheme).c_str(), kConnectionTypeHttp);
    m_config.AddConnection(1, Url(second.Port(), "https").c_str(), kConnectionTypeHttp);
    ASSERT_EQ(m_proxy->Create(&m_config), S_OK);
    Socket player = ConnectTo(m_proxy->GetPort());
    ASSERT_TRUE(player.SendAll(row.sent.data(), row.pause));
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(player.SendAll(row.sent.data() + row.pause, row.sent.size() - row.pause));
    EXPECT_EQ(ReadToEnd(player), row.answer);
    EXPECT_EQ(first.Received().substr(firstBefore.size()), row.firstGot);
    EXPECT_EQ(second.Received().substr(secondBefore.size()), row.secondGot);
    EXPECT_TRUE(Eventually([&] {
      const std::vector<std::string> lines = LogLines();
      const std::vector<std::string> added(lines.begin() + static_cast<std::ptrdiff_t>(linesBefore), lines.end());
      return Contains(added, "connection 1: " + row.logLine);
    }));
  }
}

TEST_F(RelayTest, AnUpgradeGoesOnWithItsFieldsAndAfter101BothWaysPassByteForByte) {
  const std::string upgrade = "GET /ws HTTP/1.1\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n\r\n";
  // Sent before the answer, as a player may: held until the answer's status is read.
  const std::string frame = "X Y: no field\r\n\r\n";
  const std::string next = "GET /next HTTP/1.1\r\n\r\n";
  const struct {
    const char* what;
    Origin::Mode mode;
    std::string sent;
    std::string answer;
    std::string received;  // after the upgrade request as the relay rebuilds it
  } rows[] = {
      {"101: the frame passes unread and comes back", Origin::Mode::Echo, upgrade + frame, kSwitched + frame, frame},
      {"declined: the next request is read as one", Origin::Mode::Answer, upgrade + next, kResponse, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Origin origin(row.mode);
    NewProxy();
    Start(origin.Port());
    Socket player = ConnectTo(m_proxy->GetPort());
    ASSERT_TRUE(player.SendAll(row.sent.data(), row.sent.size()));
    std::string answer(row.answer.size(), '\0');
    ASSERT_TRUE(player.ReceiveExact(answer.data(), answer.size(), 5000));
    EXPECT_EQ(answer, row.answer);
    const std::string port = std::to_string(origin.Port());
    EXPECT_TRUE(Eventually([&] {
      return origin.Received() == "GET /ws HTTP/1.1\r\nHost: 127.0.0.1:" + port +
                                      "\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n\r\n" + row.received;
    })) << origin.Received();
  }
  EXPECT_EQ(Count(LogLines(), "connection 1: the source switched protocols: both ways pass byte for byte"), 1);
}

}  // namespace
}  // namespace relay_test
