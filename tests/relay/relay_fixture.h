// The relay library loaded as the control loads a proxy plug-in, with a stream source and a player on
// loopback.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "config/src_config.h"
#include "plugins/outside_interfaces.h"
#include "relay_fault_point.h"
#include "test_socket.h"
#include "support/log_reader.h"
#include "support/temp_dir.h"

namespace relay_test {

using namespace std::chrono_literals;

#ifdef _WIN32
constexpr int kConnectionRefused = WSAECONNREFUSED;
#else
constexpr int kConnectionRefused = ECONNREFUSED;
#endif

inline const std::string kResponse = "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello";
inline const std::string kSwitched =
    "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n\r\n";

// The bytes of a patterned stream: its number in its first four bytes, then bytes no other stream and no
// other place of this one repeats for long, so a byte out of place or from another stream shows.
inline std::string PatternedStream(uint32_t number, size_t size) {
  std::string stream(size, '\0');
  uint32_t state = number * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    state ^= state << 13, state ^= state >> 17, state ^= state << 5;
    stream[i] = i < 4 ? static_cast<char>(number >> (8 * i)) : static_cast<char>(state);
  }
  return stream;
}

// A stream source on 127.0.0.1: answers each request with kResponse and closes, holds each connection open
// until its peer goes, streams to it without end, or holds it without ever reading; answers kSwitched and
// then echoes every byte after the request's head; or sends each connection a patterned stream of
// kPatternBytes, numbered in the order of the accepts, and closes. It keeps what it received.
class Origin {
 public:
  enum class Mode { Answer, Hold, Stream, Deaf, Echo, Pattern };
  static constexpr size_t kPatternBytes = 32 * 1024 * 1024;
  explicit Origin(Mode mode) : m_mode(mode) {
    std::string error;
    m_listener = Socket::ListenOnLoopback(&error);
    m_thread = std::thread([this] { Serve(); });
  }
  ~Origin() {
    m_stop = true;
    m_thread.join();
    for (std::thread& peer : m_peers) peer.join();
  }
  LONG Port() const { return m_listener.LocalPort(); }
  int Accepted() const { return m_accepted; }
  std::string Received() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_received;
  }

 private:
  // Each connection is served on a thread of its own, so one held open delays no other.
  void Serve() {
    while (!m_stop) {
      Socket peer = m_listener.AcceptWithinTick();
      if (!peer.Valid()) continue;
      const uint32_t number = static_cast<uint32_t>(++m_accepted);
      m_peers.emplace_back([this, number](Socket accepted) { ServePeer(accepted, number); }, std::move(peer));
    }
  }
  void ServePeer(Socket& peer, uint32_t number) {
    while (m_mode == Mode::Deaf && !m_stop) std::this_thread::sleep_for(50ms);
    if (m_mode == Mode::Pattern) {
      const std::string stream = PatternedStream(number, kPatternBytes);
      peer.SendAll(stream.data(), stream.size());
      return;
    }
    if (m_mode == Mode::Stream) {
      const std::string chunk(64 * 1024, 'v');
      while (!m_stop && peer.SendAll(chunk.data(), chunk.size())) {
      }
      return;
    }
    std::string request;
    size_t echoed = 0;
    bool switched = false;
    char buffer[512];
    while (!m_stop) {
      if (Socket::WaitReadable(&peer, nullptr) == 0) continue;
      const long received = peer.Receive(buffer, sizeof buffer);
      if (received <= 0) break;
      request.append(buffer, static_cast<size_t>(received));
      {
        std::lock_guard<std::mutex> hold(m_lock);
        m_received.append(buffer, static_cast<size_t>(received));
      }
      const size_t headEnd = request.find("\r\n\r\n");
      if (m_mode == Mode::Answer && headEnd != std::string::npos) {
        peer.SendAll(kResponse.data(), kResponse.size());
        break;
      }
      if (m_mode == Mode::Echo && headEnd != std::string::npos) {
        const std::string reply = (switched ? "" : kSwitched) + request.substr(headEnd + 4 + echoed);
        switched = true;
        echoed = request.size() - headEnd - 4;
        peer.SendAll(reply.data(), reply.size());
      }
    }
  }

  const Mode m_mode;
  Socket m_listener;
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_accepted{0};
  std::mutex m_lock;
  std::string m_received;
  std::thread m_thread;
  std::vector<std::thread> m_peers;  // the accepting thread's
};

inline Socket ConnectTo(LONG port) {
  std::string error;
  return Socket::Connect("127.0.0.1", port, 3000, [] { return true; }, &error);
}

// Everything until the peer ends the stream; "<open>" appended when it is still open after `bound`.
inline std::string ReadToEnd(Socket& socket, std::chrono::seconds bound = 5s) {
  std::string all;
  std::vector<char> buffer(64 * 1024);
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (std::chrono::steady_clock::now() < deadline) {
    if (Socket::WaitReadable(&socket, nullptr) == 0) continue;
    const long received = socket.Receive(buffer.data(), buffer.size());
    if (received <= 0) return all;
    all.append(buffer.data(), static_cast<size_t>(received));
  }
  return all + "<open>";
}

template <typename Condition>
inline bool Eventually(Condition condition, std::chrono::milliseconds bound = 2s) {
  for (auto waited = 0ms; waited < bound && !condition(); waited += 20ms) std::this_thread::sleep_for(20ms);
  return condition();
}

// True once `reading` has stopped growing above 0 for a moment; false when it still grows after a while.
template <typename Reading>
inline bool Stalls(Reading reading) {
  int64_t before = -1;
  for (int i = 0; i < 100; ++i) {
    const int64_t now = reading();
    if (now == before && now > 0) return true;
    before = now;
    std::this_thread::sleep_for(200ms);
  }
  return false;
}

inline bool Contains(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& line : lines)
    if (line.find(text) != std::string::npos) return true;
  return false;
}

class RelayTest : public ::testing::Test {
 protected:
  explicit RelayTest(const char* library = "QelVideoProxy_Relay.dll") : m_library(LoadLibraryA(library)) {
    InitializeCriticalSection(&m_logLock);
  }
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
    m_factory = factory;
    NewProxy();
  }
  // A new local proxy in place of the one before, which is released.
  void NewProxy() {
    if (m_proxy != nullptr) m_proxy->Release();
    m_proxy = nullptr;
    IUnknown* object = nullptr;
    ASSERT_EQ(m_factory(&object), 1);
    ASSERT_EQ(object->QueryInterface(IID_IQelVideoProxy, reinterpret_cast<void**>(&m_proxy)), S_OK);
    object->Release();
  }
  void TearDown() override {
    if (m_proxy != nullptr) m_proxy->Release();
    if (m_logStream != nullptr) std::fclose(m_logStream);
    if (m_library != nullptr) FreeLibrary(m_library);
  }

  void Start(LONG sourcePort) {
    if (sourcePort > 0) m_config.AddConnection(0, Url(sourcePort).c_str(), kConnectionTypeHttp);
    ASSERT_EQ(m_proxy->Create(&m_config), S_OK);
    ASSERT_GT(m_proxy->GetPort(), 0);
  }
  static std::string Url(LONG port, const char* scheme = "http") {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port) + "/live";
  }
  std::vector<std::string> LogLines() {
    std::fflush(m_logStream);
    return ReadLogLines(m_dir.File("relay.log"));
  }
  // A player's one request through the relay and everything it got back.
  std::string PlayOnce(const std::string& request = "GET /live HTTP/1.0\r\n\r\n", std::chrono::seconds bound = 5s) {
    Socket player = ConnectTo(m_proxy->GetPort());
    if (!player.SendAll(request.data(), request.size())) return "<not sent>";
    return ReadToEnd(player, bound);
  }
  // Slot 14 reports the bytes since its previous reading; this is their sum so far.
  int64_t Carried() {
    m_nCarried += m_proxy->GetByteCount();
    return m_nCarried;
  }

  SocketLibrary m_sockets;
  TempDir m_dir;
  HMODULE m_library;
  CRITICAL_SECTION m_logLock;
  FILE* m_logStream = nullptr;
  CSrcConfig m_config;
  ProxyFactoryFn m_factory = nullptr;
  IQelVideoProxy* m_proxy = nullptr;
  int64_t m_nCarried = 0;
};

// The relay's test build (relay_fault_planted.cpp): a fault can be planted at any of its fault points, and
// what the relays of the process hold can be read.
class PlantedRelayTest : public RelayTest {
 protected:
  PlantedRelayTest() : RelayTest("QelVideoProxy_RelayTest.dll") {}

  // The next pass at `site` throws std::bad_alloc.
  void Plant(RelayFault site) {
    using PlantFn = void(QEL_CDECL*)(LONG, LONG);
    Export<PlantFn>("RelayTestPlantFault")(static_cast<LONG>(site), 1);
  }
  struct Held {
    LONG connections = 0;
    LONG bufferBytes = 0;
  };
  Held Holds() {
    using HeldFn = void(QEL_CDECL*)(LONG*, LONG*);
    Held held;
    Export<HeldFn>("RelayTestHeld")(&held.connections, &held.bufferBytes);
    return held;
  }

 private:
  template <typename Fn>
  Fn Export(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(m_library, name)));
  }
};

inline int Count(const std::vector<std::string>& lines, const std::string& text) {
  int found = 0;
  for (const std::string& line : lines) found += line.find(text) != std::string::npos ? 1 : 0;
  return found;
}

// A port of 127.0.0.1 where nothing listens, held for the object's life: a port merely closed again could be
// handed to the next socket that asks, the relay's own listener among them, which would then route players
// to itself.
class ClosedPort {
 public:
  ClosedPort() {
    std::string error;
    m_socket = Socket::BoundOnLoopback(&error);
  }
  LONG Port() const { return m_socket.LocalPort(); }

 private:
  Socket m_socket;
};

}  // namespace relay_test
