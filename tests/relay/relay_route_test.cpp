// The route a player's connection takes: the proxy chains of the configuration and the move to a backup
// source, with stand-in proxies and sources on loopback.
#include <functional>
#include <memory>

#include "http_request_head.h"
#include "relay_fixture.h"
#include "relay_route.h"
#include "tunnel_standin.h"
#include "support/src_config_probe.h"

namespace relay_test {
namespace {

std::string At(LONG port) { return "127.0.0.1:" + std::to_string(port); }

TEST_F(RelayTest, TakesTheSocks5OrPlugChainTheConfigurationGivesAndLogsWhichHopRefused) {
  using Kind = TunnelStandin::Kind;
  const struct {
    const char* what;
    Kind kind;
    int hops;
    LONG type;  // of connection 0
    int refusalAtLast;
    const char* failure;  // the end of the log line when the last hop refuses
  } rows[] = {
      {"SOCKS5 chain of two", Kind::Socks5, 2, 4, 0, nullptr},
      {"SOCKS5 second hop refuses", Kind::Socks5, 2, 4, 2,
       "failed: connect refused with reply 2 (connection not allowed by ruleset)"},
      {"PLUG chain of one", Kind::HttpConnect, 1, 1, 0, nullptr},
      {"PLUG chain of two", Kind::HttpConnect, 2, 1, 0, nullptr},
      {"PLUG hop refuses", Kind::HttpConnect, 1, 1, 403, "failed: CONNECT refused: HTTP/1.1 403 Refused"},
      {"PLUG set, connection not PLUG", Kind::HttpConnect, 1, 4, 0, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Origin origin(Origin::Mode::Answer);
    std::vector<std::unique_ptr<TunnelStandin>> hops;
    for (int i = 0; i < row.hops; ++i)
      hops.push_back(std::make_unique<TunnelStandin>(row.kind, i + 1 == row.hops ? row.refusalAtLast : 0));
    NewProxy();
    const bool socks5 = row.kind == Kind::Socks5;
    m_config.AddConnection(0, Url(origin.Port()).c_str(), row.type);
    for (LONG i = 0; i < 2; ++i) {
      const std::string host = i < row.hops ? "127.0.0.1" : "";
      const LONG port = i < row.hops ? hops[i]->Port() : 0;
      m_config.SetSocksHost(i, socks5 ? host : "");
      Fields(m_config).m_nSocksPort[i] = socks5 ? port : 0;
      m_config.SetPlugHost(i, socks5 ? "" : host);
      Fields(m_config).m_nPlugPort[i] = socks5 ? 0 : port;
    }
    Fields(m_config).m_bUseSocks5 = socks5;
    m_config.SetSocksUser("viewer");
    m_config.SetSocksPassword("secret");
    m_config.SetPlugHeader("X-Plug: ticket 7\r\nX-Injected: no");
    ASSERT_EQ(m_proxy->Create(&m_config), S_OK);

    const std::string got = PlayOnce();
    const bool direct = row.kind == Kind::HttpConnect && row.type != kConnectionTypePlug;
    for (int i = 0; i < row.hops; ++i) {
      const std::vector<std::string> asked = hops[i]->Asked();
      if (direct) {
        EXPECT_TRUE(asked.empty());
        continue;
      }
      // Each hop is asked for the next one, the last for the source.
      const std::string next = At(i + 1 < row.hops ? hops[i + 1]->Port() : origin.Port());
      ASSERT_EQ(asked.size(), 1u) << i;
      if (socks5)
        EXPECT_EQ(asked[0], next + " viewer secret");
      else
        EXPECT_EQ(asked[0], "CONNECT " + next + " HTTP/1.1\r\nHost: " + next + "\r\nX-Plug: ticket 7\r\n\r\n");
    }
    const std::string last = row.hops > 0 ? At(hops.back()->Port()) : "";
    if (row.failure != nullptr) {
      EXPECT_EQ(got, HttpRequestRewriter::Response(502));
      EXPECT_EQ(origin.Accepted(), 0);
      const std::string hop = "hop " + std::to_string(row.hops) + ", " + (socks5 ? "SOCKS5" : "PLUG") + " proxy ";
      EXPECT_TRUE(Eventually([&] {
        return Contains(LogLines(), "cannot reach stream source " + At(origin.Port()) + " (connection 0): " + hop +
                                        last + " " + row.failure);
      }));
      continue;
    }
    EXPECT_EQ(got, kResponse);
    std::string way = "directly";
    if (!direct) {
      way = std::string("through ") + (socks5 ? "SOCKS5" : "PLUG") + (row.hops > 1 ? " proxies " : " proxy ") +
            At(hops[0]->Port()) + (row.hops > 1 ? " and " + last : "");
    }
    EXPECT_TRUE(Contains(LogLines(), "to " + At(origin.Port()) + " " + way + " (connection 0)"));
  }
}

TEST_F(RelayTest, MovesToTheNextSourceThatAnswersAndPassesOverAFailedOneForAWhile) {
  Origin first(Origin::Mode::Answer), second(Origin::Mode::Answer);
  const ClosedPort closedPort, alsoClosedPort;
  const LONG closed = closedPort.Port(), alsoClosed = alsoClosedPort.Port();
  TunnelStandin refusing(TunnelStandin::Kind::HttpConnect, 403);
  const struct {
    const char* what;
    std::vector<std::pair<LONG, LONG>> sources;  // port and type of each connection
    LONG current;
    bool plays;
    int firstAccepted, secondAccepted;
    std::vector<std::string> failed;  // log line ends, over two players
  } rows[] = {
      {"connection 0 refused: both players play from 1, the second does not try 0 again",
       {{closed, 4}, {second.Port(), 4}}, 0, true, 0, 2,
       {At(closed) + " (connection 0): " + SocketErrorText(kConnectionRefused)}},
      {"the current connection first", {{first.Port(), 4}, {second.Port(), 4}}, 1, true, 0, 2, {}},
      {"after the last, the first", {{first.Port(), 4}, {closed, 4}}, 1, true, 2, 0, {At(closed) + " (connection 1)"}},
      {"a PLUG proxy's refusal moves on too", {{first.Port(), 1}, {second.Port(), 4}}, 0, true, 0, 2,
       {At(first.Port()) + " (connection 0): hop 1, PLUG proxy " + At(refusing.Port()) + " failed"}},
      {"every one failed: each player tries them all", {{alsoClosed, 4}, {closed, 5}}, 0, false, 0, 0,
       {At(alsoClosed) + " (connection 0)", At(closed) + " (connection 1)", At(alsoClosed) + " (connection 0)",
        At(closed) + " (connection 1)"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    NewProxy();
    const int firstBefore = first.Accepted(), secondBefore = second.Accepted();
    const size_t linesBefore = LogLines().size();
    for (size_t i = 0; i < row.sources.size(); ++i)
      m_config.AddConnection(static_cast<LONG>(i), Url(row.sources[i].first).c_str(), row.sources[i].second);
    Fields(m_config).m_nCurConn = row.current;
    m_config.SetPlugHost(0, "127.0.0.1");
    Fields(m_config).m_nPlugPort[0] = refusing.Port();
    ASSERT_EQ(m_proxy->Create(&m_config), S_OK);

    for (int player = 0; player < 2; ++player)
      EXPECT_EQ(PlayOnce(), row.plays ? kResponse : HttpRequestRewriter::Response(502)) << player;
    EXPECT_EQ(first.Accepted() - firstBefore, row.firstAccepted);
    EXPECT_EQ(second.Accepted() - secondBefore, row.secondAccepted);
    std::vector<std::string> failed;
    const std::vector<std::string> lines = LogLines();
    for (size_t i = linesBefore; i < lines.size(); ++i) {
      const size_t at = lines[i].find("cannot reach stream source ");
      if (at != std::string::npos) failed.push_back(lines[i].substr(at + 27));
    }
    ASSERT_EQ(failed.size(), row.failed.size());
    for (size_t i = 0; i < failed.size(); ++i) EXPECT_EQ(failed[i].rfind(row.failed[i], 0), 0u) << failed[i];
  }
}

// The fail memory, player after player: each row's steps change the sources between players, and each
// player's failure lines show which sources it tried.
TEST_F(RelayTest, TheFailMemoryForgetsASourceThatAnswersAndTriesFailedOnesOnlyWhenAllHaveFailed) {
  auto origin = std::make_unique<Origin>(Origin::Mode::Answer);
  const ClosedPort closedPort;
  const LONG closed = closedPort.Port();
  TunnelStandin plug(TunnelStandin::Kind::HttpConnect, 403);
  const std::string viaPlug = At(origin->Port()) + " (connection 0)";
  const std::string direct = At(closed) + " (connection 1)";
  // Connection 0 goes through the PLUG proxy (refusing until told otherwise), connection 1 to a closed port;
  // connection 1 is the current one.
  m_config.AddConnection(0, Url(origin->Port()).c_str(), kConnectionTypePlug);
  m_config.AddConnection(1, Url(closed).c_str(), kConnectionTypeHttp);
  Fields(m_config).m_nCurConn = 1;
  m_config.SetPlugHost(0, "127.0.0.1");
  Fields(m_config).m_nPlugPort[0] = plug.Port();
  ASSERT_EQ(m_proxy->Create(&m_config), S_OK);
  const struct {
    const char* what;
    std::function<void()> before;
    bool plays;
    std::vector<std::string> failed;
  } players[] = {
      {"both fail", [] {}, false, {direct, viaPlug}},
      {"every one failed: all tried again, and connection 0 answers", [&] { plug.SetRefusal(0); }, true, {direct}},
      {"connection 0 answered: it is tried, connection 1 passed over", [] {}, true, {}},
      {"connection 0 fails now: connection 1 is still passed over", [&] { origin.reset(); }, false, {viaPlug}},
  };
  for (const auto& player : players) {
    SCOPED_TRACE(player.what);
    player.before();
    const size_t linesBefore = LogLines().size();
    EXPECT_EQ(PlayOnce(), player.plays ? kResponse : HttpRequestRewriter::Response(502));
    const std::vector<std::string> lines = LogLines();
    std::vector<std::string> failed;
    for (size_t i = linesBefore; i < lines.size(); ++i) {
      const size_t at = lines[i].find("cannot reach stream source ");
      if (at != std::string::npos) failed.push_back(lines[i].substr(at + 27, lines[i].find(':', lines[i].find(')', at)) - at - 27));
    }
    EXPECT_EQ(failed, player.failed);
  }
}

// A host the configuration holds that is no host name or address (a line break in it would start lines of a
// CONNECT or a request nobody configured) is never reached: that source or that chain is not used, the log
// says why with the host escaped, and a backup source still plays.
TEST_F(RelayTest, AHostNoNameOrAddressCanBeIsNeverReachedAndTheLogSaysWhy) {
  Origin origin(Origin::Mode::Answer);
  TunnelStandin plug(TunnelStandin::Kind::HttpConnect), socks(TunnelStandin::Kind::Socks5);
  const std::string source = At(origin.Port());
  const struct {
    const char* what;
    std::string sourceHost, plugHost, socksHost;  // a hop is set when its host is not empty
    bool backup;  // connection 1 is the origin, directly
    std::string failure;  // the end of the line for connection 0, as the log escapes it
  } rows[] = {
      {"a source host with CR LF", "127.0.0.1\r\nX-Injected: 1", "", "", false,
       "stream source 127.0.0.1\\r\\nX-Injected: 1:" + std::to_string(origin.Port()) +
           " (connection 0): its host holds a control byte, so it is not used"},
      {"a PLUG hop host with a bare LF", "127.0.0.1", "127.0.0.1\nX-Injected: 1", "", false,
       "stream source " + source + " (connection 0): hop 1, PLUG proxy 127.0.0.1\\nX-Injected: 1:" +
           std::to_string(plug.Port()) +
           ": its host holds a control byte, so it is not used"},
      {"a SOCKS5 hop host with a space", "127.0.0.1", "", "127.0.0.1 x", false,
       "stream source " + source + " (connection 0): hop 1, SOCKS5 proxy 127.0.0.1 x:" + std::to_string(socks.Port()) +
           ": its host holds a space, so it is not used"},
      {"an IPv6 source in two pairs of brackets", "[[::1]]", "", "", false,
       "stream source [[::1]]:" + std::to_string(origin.Port()) +
           " (connection 0): its host is no IPv6 address in one pair of brackets, so it is not used"},
      {"a backup source plays", "127.0.0.1\r\n", "", "", true,
       "stream source 127.0.0.1\\r\\n:" + std::to_string(origin.Port()) +
           " (connection 0): its host holds a control byte, so it is not used"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    NewProxy();
    const int acceptedBefore = origin.Accepted();
    SrcConnectionFields fields;
    const std::string url = "http://" + row.sourceHost + ":" + std::to_string(origin.Port()) + "/live";
    fields.url = url;
    fields.host = row.sourceHost;
    fields.port = origin.Port();
    fields.type = row.plugHost.empty() ? kConnectionTypeHttp : kConnectionTypePlug;
    m_config.AddConnection(0, fields);
    if (row.backup) m_config.AddConnection(1, Url(origin.Port()).c_str(), kConnectionTypeHttp);
    m_config.SetPlugHost(0, row.plugHost);
    Fields(m_config).m_nPlugPort[0] = plug.Port();
    m_config.SetSocksHost(0, row.socksHost);
    Fields(m_config).m_nSocksPort[0] = socks.Port();
    Fields(m_config).m_bUseSocks5 = !row.socksHost.empty();
    ASSERT_EQ(m_proxy->Create(&m_config), S_OK);

    EXPECT_EQ(PlayOnce(), row.backup ? kResponse : HttpRequestRewriter::Response(502));
    EXPECT_EQ(origin.Accepted() - acceptedBefore, row.backup ? 1 : 0);
    EXPECT_TRUE(plug.Asked().empty());
    EXPECT_TRUE(socks.Asked().empty());
    EXPECT_TRUE(Eventually([&] { return Contains(LogLines(), "error: cannot reach " + row.failure); }));
  }
}

}  // namespace
}  // namespace relay_test
