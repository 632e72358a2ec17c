// The relay among hostile peers and an unlucky network, inside the host's process: floods of connections,
// peers that trickle or stay silent, players and sources that never read, and allocations that fail. Each
// case shows what the host sees: the bytes, the log's lines, what the relay holds, and calls that return.
#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "http_request_head.h"
#include "relay_fixture.h"
#include "relay_limits.h"
#include "relay_route.h"
#include "trickling_peer.h"
#include "support/src_config_probe.h"

namespace relay_test {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The sum of N over the lines "Relay K: N connections refused: limit M", and how many such lines there are.
std::pair<int64_t, int> Refused(const std::vector<std::string>& lines, int limit) {
  const std::string tail = " connections refused: limit " + std::to_string(limit);
  int64_t refused = 0;
  int count = 0;
  for (const std::string& line : lines) {
    const size_t relay = line.find("Relay ");
    const size_t at = relay == std::string::npos ? relay : line.find(": ", relay);
    if (at == std::string::npos || line.size() < tail.size() || line.compare(line.size() - tail.size(), tail.size(), tail) != 0)
      continue;
    refused += std::stoll(line.substr(at + 2));
    ++count;
  }
  return {refused, count};
}

// A source that serves thousands of connections from one thread: it answers each that sends a request head
// with kResponse and holds the others. (Origin gives each connection a thread, too slow under Wine when a
// flood makes the relay open one for every idle player.)
class CrowdOrigin {
 public:
  CrowdOrigin() {
    std::string error;
    m_listener = Socket::ListenOnLoopback(&error);
    m_thread = std::thread([this] { Serve(); });
  }
  ~CrowdOrigin() {
    m_stop = true;
    m_thread.join();
  }
  LONG Port() const { return m_listener.LocalPort(); }
  int Accepted() const { return m_accepted; }

 private:
  void Serve() {
    std::vector<std::pair<Socket, std::string>> peers;
    while (!m_stop) {
      for (Socket peer = m_listener.AcceptWithinTick(); peer.Valid(); peer = m_listener.AcceptWithinTick()) {
        ++m_accepted;
        peer.MakeNonBlocking();
        peers.emplace_back(std::move(peer), "");
      }
      for (auto it = peers.begin(); it != peers.end();) {
        char buffer[512];
        const long received = it->first.Receive(buffer, sizeof buffer);
        if (received > 0) it->second.append(buffer, static_cast<size_t>(received));
        const bool asked = it->second.find("\r\n\r\n") != std::string::npos;
        if (asked) it->first.SendAll(kResponse.data(), kResponse.size(), [] { return true; });
        it = asked || (received != Socket::kNothingYet && received <= 0) ? peers.erase(it) : it + 1;
      }
    }
  }

  Socket m_listener;
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_accepted{0};
  std::thread m_thread;
};

TEST_F(PlantedRelayTest, TwoThousandIdleConnectionsAreRefusedWithACountAndANormalPlayerStillPlays) {
  CrowdOrigin origin;
  Start(origin.Port());
  const Clock::time_point start = Clock::now();
  constexpr int kIdle = 2000;
  std::vector<Socket> idle;
  for (int i = 0; i < kIdle; ++i) idle.push_back(ConnectTo(m_proxy->GetPort()));
  const int limit = relay_limits::kConnectionsPerProxy;
  // Every idle connection beyond the limit is refused, or gave way to a newer one.
  ASSERT_TRUE(Eventually([&] { return Refused(LogLines(), limit).first >= kIdle - limit; }, 60s));
  // The origin has taken every connection the relay opened for them (the time is the player's, not the origin's).
  ASSERT_TRUE(Stalls([&] { return int64_t{origin.Accepted()}; }));

  const Clock::time_point asked = Clock::now();
  EXPECT_EQ(PlayOnce(), kResponse);
  // Half a second on a machine at rest; the bound leaves room for a loaded one, where the test's own origin
  // answers late.
  EXPECT_LT(SecondsSince(asked), 2.0);
  // Counted, not written one by one: at most a line a second.
  const auto [refused, lines] = Refused(LogLines(), limit);
  EXPECT_LE(lines, static_cast<int>(SecondsSince(start)) + 2) << refused;
  const Held held = Holds();
  EXPECT_LE(held.connections, limit);
  EXPECT_LE(held.bufferBytes, static_cast<LONG>(limit * 2 * relay_limits::kBufferBytes));
  EXPECT_FALSE(Contains(LogLines(), "connection 1: to "));  // a connection that gave way while silent says nothing
}

TEST_F(RelayTest, AHeadSentOneByteASecondIsAnswered408AtTheDeadline) {
  Origin origin(Origin::Mode::Answer);
  Start(origin.Port());
  Socket player = ConnectTo(m_proxy->GetPort());
  const std::string head = "GET /live HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: slow\r\n\r\n";
  size_t sent = 0;
  while (sent < head.size() && Socket::WaitReadable(&player, nullptr) == 0) {
    player.SendAll(&head[sent++], 1);
    std::this_thread::sleep_for(900ms);  // with the tick of the wait above, a byte a second
  }
  EXPECT_EQ(ReadToEnd(player), HttpRequestRewriter::Response(408));
  // The deadline is ten seconds from the connection's start: about ten bytes went.
  EXPECT_GE(sent, 8u);
  EXPECT_LE(sent, 12u);
  EXPECT_EQ(origin.Received(), "");
  EXPECT_TRUE(Contains(LogLines(), "connection 1: error: request refused with 408: no whole request head within 10 s"));
}

TEST_F(RelayTest, AProxyThatAnswersOneByteEveryFourSecondsFailsAtFiveAndHoldsNoDelete) {
  const struct {
    const char* what;
    bool socks5;
    std::string answer;
    const char* failure;
  } rows[] = {
      {"PLUG", false, "HTTP/1.1 200 Connection established\r\n\r\n",
       "hop 1, PLUG proxy 127.0.0.1:%d failed: handshake timed out after 5000 ms (answer cut short or too long)"},
      {"SOCKS5", true, std::string("\x05\x00\x05\x00\x00\x01\x7f\x00\x00\x01\x00\x50", 12),
       "hop 1, SOCKS5 proxy 127.0.0.1:%d failed: handshake timed out after 5000 ms (no answer to the greeting)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TricklingPeer proxy(row.answer, 4000ms);
    Origin origin(Origin::Mode::Answer);
    NewProxy();
    m_config.AddConnection(0, Url(origin.Port()).c_str(), kConnectionTypePlug);
    Fields(m_config).m_bUseSocks5 = row.socks5;
    m_config.SetSocksHost(0, row.socks5 ? "127.0.0.1" : "");
    Fields(m_config).m_nSocksPort[0] = row.socks5 ? proxy.Port() : 0;
    m_config.SetPlugHost(0, row.socks5 ? "" : "127.0.0.1");
    Fields(m_config).m_nPlugPort[0] = row.socks5 ? 0 : proxy.Port();
    ASSERT_EQ(m_proxy->Create(&m_config), S_OK);

    EXPECT_EQ(PlayOnce("GET /live HTTP/1.0\r\n\r\n", 10s), HttpRequestRewriter::Response(502));
    char failure[256];
    std::snprintf(failure, sizeof failure, row.failure, static_cast<int>(proxy.Port()));
    EXPECT_TRUE(Contains(LogLines(), failure));

    // A player in the middle of its handshake holds up neither the delete nor the proxy's peers.
    Socket player = ConnectTo(m_proxy->GetPort());
    ASSERT_TRUE(Eventually([&] { return proxy.Accepted() == 2; }));
    const Clock::time_point asked = Clock::now();
    m_proxy->Release();
    m_proxy = nullptr;
    EXPECT_LT(SecondsSince(asked), 1.0);
    EXPECT_EQ(ReadToEnd(player), "");
  }
}

TEST_F(RelayTest, WithASilentConnectionZeroFiftyPlayersEachPlayFromTheNextWithinTheRacingDelay) {
  TricklingPeer silent("", 0ms);
  Origin origin(Origin::Mode::Answer);
  m_config.AddConnection(0, Url(origin.Port()).c_str(), kConnectionTypePlug);
  m_config.AddConnection(1, Url(origin.Port()).c_str(), kConnectionTypeHttp);
  m_config.SetPlugHost(0, "127.0.0.1");
  Fields(m_config).m_nPlugPort[0] = silent.Port();
  ASSERT_EQ(m_proxy->Create(&m_config), S_OK);

  constexpr int kPlayers = 50;
  std::vector<std::string> got(kPlayers);
  std::vector<double> took(kPlayers);
  std::vector<std::thread> players;
  for (int i = 0; i < kPlayers; ++i)
    players.emplace_back([&, i] {
      const Clock::time_point start = Clock::now();
      got[i] = PlayOnce();
      took[i] = SecondsSince(start);
    });
  for (std::thread& player : players) player.join();
  for (int i = 0; i < kPlayers; ++i) {
    EXPECT_EQ(got[i], kResponse) << i;
    // The silent proxy used to cost each of them its five-second deadline.
    EXPECT_LT(took[i], 5.0) << i;
  }
  // Each was carried by connection 1 while its try at connection 0 still waited: none waited it out.
  const std::vector<std::string> lines = LogLines();
  EXPECT_EQ(Count(lines, "directly (connection 1)"), kPlayers);
  EXPECT_EQ(Count(lines, "(connection 0): connection 1 answered first"), kPlayers);
}

TEST_F(PlantedRelayTest, APlayerOrASourceThatNeverReadsHoldsBoundedMemoryAndNoStop) {
  const struct {
    const char* what;
    Origin::Mode source;
    std::string request;
    bool playerSends;  // the player sends without end; otherwise the source does
  } rows[] = {
      {"a player that never reads", Origin::Mode::Stream, "GET /live HTTP/1.1\r\n\r\n", false},
      {"a source that never reads", Origin::Mode::Deaf, "POST /live HTTP/1.1\r\nContent-Length: 100000000000\r\n\r\n",
       true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Origin origin(row.source);
    NewProxy();
    m_nCarried = 0;
    Start(origin.Port());
    Socket player = ConnectTo(m_proxy->GetPort());
    ASSERT_TRUE(player.SendAll(row.request.data(), row.request.size()));
    player.MakeNonBlocking();
    std::atomic<bool> sending{row.playerSends};
    std::thread pusher([&] {
      const std::string chunk(64 * 1024, 'u');
      while (sending) player.SendAll(chunk.data(), chunk.size(), [&] { return sending.load(); });
    });
    ASSERT_TRUE(Stalls([&] { return Carried(); }));
    const Held first = Holds();
    std::this_thread::sleep_for(1s);
    const Held later = Holds();
    EXPECT_EQ(later.bufferBytes, first.bufferBytes);
    EXPECT_LE(later.bufferBytes, static_cast<LONG>(relay_limits::kConnectionBytesBound));

    const Clock::time_point asked = Clock::now();
    m_proxy->Release();
    m_proxy = nullptr;
    EXPECT_LT(SecondsSince(asked), 1.0);
    sending = false;
    pusher.join();
    EXPECT_EQ(Holds().bufferBytes, 0);
  }
}

// Reads share one buffer of the I/O thread; what a player that falls behind has not taken of one is kept by
// its connection. Two players of patterned streams, one reading at once and one only later: each gets its
// own stream whole and in order.
TEST_F(PlantedRelayTest, APlayerThatFallsBehindGetsItsOwnStreamWholeWhileAnotherReads) {
  Origin origin(Origin::Mode::Pattern);
  m_config.AddConnection(0, Url(origin.Port(), "rtmp").c_str(), kConnectionTypeRtmp);
  ASSERT_EQ(m_proxy->Create(&m_config), S_OK);
  Socket behind = ConnectTo(m_proxy->GetPort());
  Socket reading = ConnectTo(m_proxy->GetPort());
  std::string read;
  std::thread reader([&] { read = ReadToEnd(reading, 30s); });
  // The players hold more than their own buffers: the rest of a shared read waits for a player behind. What
  // is held falls again as the kernel's send buffers grow and take it, so its peak is what shows it.
  LONG peak = 0;
  EXPECT_TRUE(Eventually([&] {
    peak = std::max(peak, Holds().bufferBytes);
    return peak > static_cast<LONG>(4 * relay_limits::kBufferBytes);
  }, 10s)) << peak;
  reader.join();
  const std::string late = ReadToEnd(behind, 30s);
  const std::string& first = read;
  for (const std::string* stream : {&first, &late}) {
    ASSERT_GE(stream->size(), 4u);
    uint32_t number = 0;
    for (int i = 3; i >= 0; --i) number = number << 8 | static_cast<unsigned char>((*stream)[i]);
    EXPECT_TRUE(*stream == PatternedStream(number, Origin::kPatternBytes)) << "stream " << number << ", "
                                                                           << stream->size() << " bytes";
  }
}

// Whatever throws inside the relay, the call or the one connection fails, the line says why, and the relay
// (and the host's process) goes on: the next call or player succeeds.
TEST_F(PlantedRelayTest, AThrowingAllocationInAnySlotExportOrCallbackFailsThatCallAloneAndIsLoggedOnce) {
  Origin origin(Origin::Mode::Answer);
  const struct {
    RelayFault site;
    const char* line;
  } rows[] = {
      {RelayFault::Factory, "Relay 0: ProxyFactory failed: out of memory"},
      {RelayFault::NewProxy, ": making a proxy failed: out of memory"},
      {RelayFault::SetLogFile, "Relay 0: ProxySetLogFile failed: out of memory"},
      {RelayFault::Create, ": Create failed: out of memory"},
      {RelayFault::Accept, ": accepting a player failed: out of memory"},
      {RelayFault::Route, " connection 1: error: route failed: out of memory"},
      {RelayFault::Carry, " connection 1: error: carrying failed: out of memory"},
  };
  auto factory = m_factory;
  auto setLogFile = reinterpret_cast<ProxySetLogFileFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(m_library, kProxySetLogFileExport)));
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    NewProxy();
    Plant(row.site);
    IUnknown* object = nullptr;
    IQelVideoProxy* proxy = nullptr;
    switch (row.site) {
      case RelayFault::Factory:
        EXPECT_EQ(factory(&object), 0);
        EXPECT_EQ(object, nullptr);
        break;
      case RelayFault::NewProxy:
        ASSERT_EQ(factory(&object), 1);
        EXPECT_EQ(object->QueryInterface(IID_IQelVideoProxy, reinterpret_cast<void**>(&proxy)), E_OUTOFMEMORY);
        EXPECT_EQ(proxy, nullptr);
        object->Release();
        break;
      case RelayFault::SetLogFile: setLogFile(&m_logStream, 1, &m_logLock); break;
      case RelayFault::Create:
        m_config.AddConnection(0, Url(origin.Port()).c_str(), kConnectionTypeHttp);
        EXPECT_EQ(m_proxy->Create(&m_config), E_FAIL);
        EXPECT_EQ(m_proxy->GetPort(), -1);
        break;
      default:
        Start(origin.Port());
        EXPECT_NE(PlayOnce(), kResponse);
    }
    EXPECT_TRUE(Eventually([&] { return Count(LogLines(), row.line) == 1; }));
    if (m_proxy->GetPort() < 0) Start(origin.Port());
    EXPECT_EQ(PlayOnce(), kResponse);
  }
}

}  // namespace
}  // namespace relay_test
