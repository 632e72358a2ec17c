// The relay library loaded as the control loads a proxy plug-in, carrying real connections on loopback.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <string>
#include <thread>

#include "config/src_config.h"
#include "plugins/outside_interfaces.h"
#include "relay_socket.h"
#include "support/log_reader.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;

const std::string kResponse = "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello";

// A stream source on 127.0.0.1: answers each request with kResponse and closes, holds each connection open
// until its peer goes, or streams to it without end.
class Origin {
 public:
  enum class Mode { Answer, Hold, Stream };
  explicit Origin(Mode mode) : m_mode(mode) {
    std::string error;
    m_listener = Socket::ListenOnLoopback(&error);
    m_thread = std::thread([this] { Serve(); });
  }
  ~Origin() {
    m_stop = true;
    m_thread.join();
  }
  LONG Port() const { return m_listener.LocalPort(); }
  int Accepted() const { return m_accepted; }

 private:
  void Serve() {
    while (!m_stop) {
      Socket peer = m_listener.AcceptWithinTick();
      if (!peer.Valid()) continue;
      ++m_accepted;
      if (m_mode == Mode::Stream) {
        const std::string chunk(64 * 1024, 'v');
        while (!m_stop && peer.SendAll(chunk.data(), chunk.size())) {
        }
        continue;
      }
      std::string request;
      char buffer[512];
      while (!m_stop) {
        if (Socket::WaitReadable(&peer, nullptr) == 0) continue;
        const long received = peer.Receive(buffer, sizeof buffer);
        if (received <= 0) break;
        request.append(buffer, static_cast<size_t>(received));
        if (m_mode == Mode::Answer && request.find("\r\n\r\n") != std::string::npos) {
          peer.SendAll(kResponse.data(), kResponse.size());
          break;
        }
      }
    }
  }

  const Mode m_mode;
  Socket m_listener;
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_accepted{0};
  std::thread m_thread;
};

Socket ConnectTo(LONG port) {
  std::string error;
  return Socket::Connect("127.0.0.1", port, 3000, [] { return true; }, &error);
}

// Everything until the peer ends the stream; "<open>" appended when it is still open after a few seconds.
std::string ReadToEnd(Socket& socket) {
  std::string all;
  char buffer[512];
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (std::chrono::steady_clock::now() < deadline) {
    if (Socket::WaitReadable(&socket, nullptr) == 0) continue;
    const long received = socket.Receive(buffer, sizeof buffer);
    if (received <= 0) return all;
    all.append(buffer, static_cast<size_t>(received));
  }
  return all + "<open>";
}

template <typename Condition>
bool Eventually(Condition condition) {
  for (int i = 0; i < 100 && !condition(); ++i) std::this_thread::sleep_for(20ms);
  return condition();
}

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& line : lines)
    if (line.find(text) != std::string::npos) return true;
  return false;
}

class RelayTest : public ::testing::Test {
 protected:
  RelayTest() { InitializeCriticalSection(&m_logLock); }
  ~RelayTest() override { DeleteCriticalSection(&m_logLock); }

  void SetUp() override {
    ASSERT_NE(m_library, nullptr);
    auto setLogFile = reinterpret_cast<ProxySetLogFileFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(m_library, kProxySetLogFileExport)));
    auto factory = reinterpret_cast<ProxyFactoryFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(m_library, kProxyFactoryExport)));
    ASSERT_NE(setLogFile, nullptr);
    ASSERT_NE(factory, nullptr);
    m_logStream = std::fopen(m_dir.File("relay.log").c_str(), "ab");
    setLogFile(&m_logStream, 1, &m_logLock);
    IUnknown* object = nullptr;
    ASSERT_EQ(factory(&object), 1);
    ASSERT_EQ(object->QueryInterface(IID_IQelVideoProxy, reinterpret_cast<void**>(&m_proxy)), S_OK);
    object->Release();
  }
  void TearDown() override {
    if (m_proxy != nullptr) m_proxy->Release();
    if (m_logStream != nullptr) std::fclose(m_logStream);
    if (m_library != nullptr) FreeLibrary(m_library);
  }

  void Start(LONG sourcePort) {
    if (sourcePort > 0) m_config.AddConnection(0, ("http://127.0.0.1:" + std::to_string(sourcePort) + "/live").c_str(), 4);
    ASSERT_EQ(m_proxy->Create(&m_config), S_OK);
    ASSERT_GT(m_proxy->GetPort(), 0);
  }
  std::vector<std::string> LogLines() {
    std::fflush(m_logStream);
    return ReadLogLines(m_dir.File("relay.log"));
  }
  // Slot 14 reports the bytes since its previous reading; this is their sum so far.
  int64_t Carried() {
    m_nCarried += m_proxy->GetByteCount();
    return m_nCarried;
  }

  SocketLibrary m_sockets;
  TempDir m_dir;
  HMODULE m_library = LoadLibraryA("QelVideoProxy_Relay.dll");
  CRITICAL_SECTION m_logLock;
  FILE* m_logStream = nullptr;
  CSrcConfig m_config;
  IQelVideoProxy* m_proxy = nullptr;
  int64_t m_nCarried = 0;
};

TEST_F(RelayTest, CarriesAnExchangeToConnectionZeroAndCountsItsBytesAndTime) {
  Origin origin(Origin::Mode::Answer);
  m_config.m_nSessionID1 = 1001;
  Start(origin.Port());
  // The relay works from a copy of its own, which the heartbeat reads back.
  CSrcConfig* own = m_proxy->GetConfig();
  ASSERT_NE(own, nullptr);
  EXPECT_NE(own, &m_config);
  EXPECT_EQ(own->GetPort(0), origin.Port());
  EXPECT_EQ(own->m_nSessionID1, 1001);
  EXPECT_EQ(m_proxy->GetByteCount(), 0);
  EXPECT_EQ(m_proxy->GetLastActivityTime(), 0);
  const int64_t before = static_cast<int64_t>(std::time(nullptr));

  const std::string request = "GET /live HTTP/1.0\r\n\r\n";
  Socket player = ConnectTo(m_proxy->GetPort());
  ASSERT_TRUE(player.SendAll(request.data(), request.size()));
  EXPECT_EQ(ReadToEnd(player), kResponse);
  player.Close();  // the source's end reached the player as an end of stream; the player hangs up

  const LONG carried = static_cast<LONG>(request.size() + kResponse.size());
  EXPECT_TRUE(Eventually([&] { return Carried() == carried; })) << m_nCarried;
  EXPECT_EQ(m_proxy->GetByteCount(), 0);
  EXPECT_GE(m_proxy->GetLastActivityTime(), before);
  EXPECT_LE(m_proxy->GetLastActivityTime(), static_cast<int64_t>(std::time(nullptr)));
  const std::string port = std::to_string(origin.Port());
  EXPECT_TRUE(Eventually([&] {
    return Contains(LogLines(), "connection 1 closed after " + std::to_string(carried) + " bytes");
  }));
  EXPECT_TRUE(Contains(LogLines(), "connection 1: to 127.0.0.1:" + port + " directly"));
}

TEST_F(RelayTest, APlayerIsHungUpOnWhenThereIsNoSourceOrItCannotBeReached) {
  Start(0);
  Socket first = ConnectTo(m_proxy->GetPort());
  EXPECT_EQ(ReadToEnd(first), "");
  EXPECT_TRUE(Eventually([&] { return Contains(LogLines(), "connection 1 refused: no stream source configured"); }));

  LONG closedPort;
  {
    std::string error;
    closedPort = Socket::ListenOnLoopback(&error).LocalPort();
  }
  m_proxy->SetConnectionURL(0, ("http://127.0.0.1:" + std::to_string(closedPort) + "/").c_str(), 4);
  Socket second = ConnectTo(m_proxy->GetPort());
  EXPECT_EQ(ReadToEnd(second), "");
  EXPECT_TRUE(Eventually([&] {
    return Contains(LogLines(), "connection 2: cannot reach stream source 127.0.0.1:" + std::to_string(closedPort));
  }));
  EXPECT_EQ(Carried(), 0);
}

TEST_F(RelayTest, ANewURLForConnectionZeroMovesLaterPlayersToIt) {
  Origin first(Origin::Mode::Answer), second(Origin::Mode::Answer);
  Start(first.Port());
  const std::string moved = "http://127.0.0.1:" + std::to_string(second.Port()) + "/live";
  EXPECT_EQ(m_proxy->SetConnectionURL(1, "http://elsewhere.example/", 4), S_OK);
  EXPECT_EQ(m_proxy->SetConnectionURL(0, "not a URL", 4), E_INVALIDARG);
  EXPECT_EQ(m_proxy->SetConnectionURL(0, moved.c_str(), 4), S_OK);

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
  EXPECT_TRUE(Contains(lines, "connection 0 now 127.0.0.1:" + std::to_string(second.Port())));
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
  EXPECT_EQ(ReadToEnd(second), "");
  EXPECT_TRUE(Eventually([&] { return m_proxy->GetPort() == -1; }));
  EXPECT_FALSE(ConnectTo(port).Valid());
  EXPECT_TRUE(Contains(LogLines(), "connections closed, listener too"));

  // The player plays again: a new URL for connection 0 opens a listener for it.
  EXPECT_EQ(m_proxy->SetConnectionURL(0, ("http://127.0.0.1:" + std::to_string(origin.Port())).c_str(), 4), S_OK);
  ASSERT_GT(m_proxy->GetPort(), 0);
  Socket third = ConnectTo(m_proxy->GetPort());
  EXPECT_TRUE(Eventually([&] { return origin.Accepted() == 3; }));
}

TEST_F(RelayTest, APlayerThatStopsReadingHoldsUpNeitherClosingNorRelease) {
  Origin origin(Origin::Mode::Stream);
  Start(origin.Port());
  Socket player = ConnectTo(m_proxy->GetPort());
  // The stream fills every buffer between the source and the player, and the relay waits to send.
  int64_t before;
  do {
    before = Carried();
    std::this_thread::sleep_for(200ms);
  } while (Carried() != before || before == 0);

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
