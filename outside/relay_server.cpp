#include "relay_server.h"

#include <ctime>
#include <vector>

#include "shared_log.h"
#include "socks5_client.h"

namespace {

constexpr int kConnectTimeoutMilliseconds = 10000;
constexpr int kHandshakeTimeoutMilliseconds = 10000;
constexpr size_t kBufferSize = 1024 * 1024;
// The most one way carries before the other way gets its turn.
constexpr int64_t kTurnBytes = 16 * 1024 * 1024;

// The SOCKS5 exchange runs over the relay's socket to the proxy.
class SocketStream final : public ByteStream {
 public:
  explicit SocketStream(Socket& socket) : m_socket(socket) {}
  bool Send(const void* data, size_t size) override { return m_socket.SendAll(data, size); }
  bool ReceiveExact(void* buffer, size_t size) override {
    return m_socket.ReceiveExact(buffer, size, kHandshakeTimeoutMilliseconds);
  }

 private:
  Socket& m_socket;
};

}  // namespace

RelayServer::RelayServer(SharedLog& log, LONG number, RouteSource routeSource)
    : m_log(log), m_nNumber(number), m_routeSource(std::move(routeSource)) {}

RelayServer::~RelayServer() { Stop(); }

bool RelayServer::Start() {
  if (m_bListening) return true;
  if (m_acceptThread.joinable()) m_acceptThread.join();  // a closed listener's loop ends within a tick
  std::string error = "the socket library did not start";
  if (m_sockets.Ready()) m_listener = Socket::ListenOnLoopback(&error);
  if (!m_listener.Valid()) {
    m_log.WriteF(1, "Relay %d cannot listen: %s", static_cast<int>(m_nNumber), error.c_str());
    return false;
  }
  m_nPort = m_listener.LocalPort();
  m_bListening = true;
  m_log.WriteF(1, "Relay %d listening on 127.0.0.1:%d", static_cast<int>(m_nNumber), static_cast<int>(m_nPort));
  m_acceptThread = std::thread([this] { AcceptLoop(); });
  return true;
}

void RelayServer::CloseConnections(bool listenerToo) {
  if (listenerToo) m_bListening = false;
  ++m_nGeneration;
  m_log.WriteF(1, "Relay %d connections closed%s", static_cast<int>(m_nNumber), listenerToo ? ", listener too" : "");
}

void RelayServer::Stop() {
  m_bStopping = true;
  if (m_acceptThread.joinable()) {
    m_acceptThread.join();
    m_log.WriteF(1, "Relay %d stopped after %lld bytes", static_cast<int>(m_nNumber),
                 static_cast<long long>(m_carried.Total()));
  }
  JoinFinishedWorkers(true);
}

void RelayServer::Touch() { m_nLastActivity = static_cast<int64_t>(std::time(nullptr)); }

void RelayServer::JoinFinishedWorkers(bool all) {
  std::list<std::unique_ptr<Worker>> done;
  {
    std::lock_guard<std::mutex> hold(m_workersLock);
    for (auto it = m_workers.begin(); it != m_workers.end();) {
      if (all || (*it)->finished) {
        done.push_back(std::move(*it));
        it = m_workers.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& worker : done) worker->thread.join();
}

void RelayServer::AcceptLoop() {
  while (!m_bStopping && m_bListening) {
    JoinFinishedWorkers(false);
    Socket client = m_listener.AcceptWithinTick();
    if (!client.Valid()) continue;
    // Read before the listener's state, which a close changes first: a player accepted while the listener
    // was being closed goes with it.
    const uint64_t generation = m_nGeneration;
    if (!m_bListening) continue;
    Touch();
    const LONG connection = ++m_nConnections;
    auto worker = std::make_unique<Worker>();
    Worker* self = worker.get();
    std::lock_guard<std::mutex> hold(m_workersLock);
    worker->thread = std::thread([this, self, connection, generation](Socket accepted) {
      Serve(std::move(accepted), connection, generation);
      self->finished = true;
    }, std::move(client));
    m_workers.push_back(std::move(worker));
  }
  m_listener.Close();
  m_nPort = -1;
}

void RelayServer::Serve(Socket client, LONG connection, uint64_t generation) {
  const int number = static_cast<int>(m_nNumber);
  RelayRoute route;
  if (!m_routeSource(route)) {
    m_log.WriteF(1, "Relay %d connection %d refused: no stream source configured", number,
                 static_cast<int>(connection));
    return;
  }
  Socket upstream = OpenUpstream(route, connection, generation);
  if (!upstream.Valid()) return;
  const int64_t carried = Pump(client, upstream, generation);
  m_log.WriteF(1, "Relay %d connection %d closed after %lld bytes", number, static_cast<int>(connection),
               static_cast<long long>(carried));
}

Socket RelayServer::OpenUpstream(const RelayRoute& route, LONG connection, uint64_t generation) {
  const int number = static_cast<int>(m_nNumber);
  const int index = static_cast<int>(connection);
  const auto keepWaiting = [this, generation] { return KeepGoing(generation); };
  const std::string& firstHost = route.viaSocks5 ? route.socksHost : route.host;
  const LONG firstPort = route.viaSocks5 ? route.socksPort : route.port;
  std::string error;
  Socket upstream = Socket::Connect(firstHost, firstPort, kConnectTimeoutMilliseconds, keepWaiting, &error);
  if (!upstream.Valid()) {
    m_log.WriteF(1, "Relay %d connection %d: cannot reach %s %s:%d: %s", number, index,
                 route.viaSocks5 ? "SOCKS5 proxy" : "stream source", firstHost.c_str(), static_cast<int>(firstPort),
                 error.c_str());
    return upstream;
  }
  if (route.viaSocks5) {
    SocketStream stream(upstream);
    error = Socks5Connect(stream, Socks5Request{route.host, route.port, route.userName, route.password});
    if (!error.empty()) {
      m_log.WriteF(1, "Relay %d connection %d: SOCKS5 proxy %s:%d failed: %s", number, index, firstHost.c_str(),
                   static_cast<int>(firstPort), error.c_str());
      upstream.Close();
      return upstream;
    }
  }
  const std::string way = route.viaSocks5 ? "through SOCKS5 proxy " + firstHost + ":" + std::to_string(firstPort)
                                         : std::string("directly");
  m_log.WriteF(1, "Relay %d connection %d: to %s:%d %s", number, index, route.host.c_str(),
               static_cast<int>(route.port), way.c_str());
  return upstream;
}

// Carries bytes both ways until both sides have ended or the connection is closed. An end of stream on
// one side is passed on as a shutdown of sending on the other, so a half-closed exchange completes. It
// waits for a side to become readable only after a pass over both found nothing to carry.
int64_t RelayServer::Pump(Socket& client, Socket& upstream, uint64_t generation) {
  client.MakeNonBlocking();
  upstream.MakeNonBlocking();
  const Socket::KeepWaiting keepGoing = [this, generation] { return KeepGoing(generation); };
  std::vector<char> buffer(kBufferSize);
  Direction ways[2] = {{client, upstream}, {upstream, client}};
  int64_t carried = 0;
  bool idle = true;
  while ((ways[0].open || ways[1].open) && keepGoing()) {
    const int ready = !idle ? 3 : Socket::WaitReadable(ways[0].open ? &client : nullptr,
                                                      ways[1].open ? &upstream : nullptr);
    idle = true;
    for (int side = 0; side < 2; ++side) {
      if (!ways[side].open || (ready & (1 << side)) == 0) continue;
      const Flow flow = Carry(ways[side], buffer, carried, keepGoing);
      if (flow == Flow::Failed) return carried;  // a read or a send failed: nothing more can be carried
      if (flow == Flow::Moved) idle = false;
    }
  }
  return carried;
}

// Reads what `way` holds until it would block or a turn's worth has gone, sending each read on whole.
RelayServer::Flow RelayServer::Carry(Direction& way, std::vector<char>& buffer, int64_t& carried,
                                     const Socket::KeepWaiting& keepGoing) {
  for (int64_t turn = 0; turn < kTurnBytes;) {
    const long received = way.from.Receive(buffer.data(), buffer.size());
    if (received == Socket::kNothingYet) return turn > 0 ? Flow::Moved : Flow::Idle;
    if (received == 0) {
      way.open = false;
      way.to.ShutdownSending();
      return Flow::Moved;
    }
    if (received < 0 || !way.to.SendAll(buffer.data(), static_cast<size_t>(received), keepGoing)) return Flow::Failed;
    turn += received;
    carried += received;
    m_carried.Add(received);
    Touch();
  }
  return Flow::Moved;
}
