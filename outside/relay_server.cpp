#include "relay_server.h"

#include <chrono>
#include <ctime>
#include <memory>
#include <vector>

#include "http_request_head.h"
#include "log/failure_lines.h"
#include "shared_log.h"

namespace {

constexpr size_t kBufferSize = 1024 * 1024;
// The most one way carries before the other way gets its turn.
constexpr int64_t kTurnBytes = 16 * 1024 * 1024;
// How long a player answered with an error may take to hang up; what it still sends meanwhile is read,
// so its end of the connection is not reset before it has read the answer.
constexpr int kLingerMilliseconds = 2000;

void AnswerAndHangUp(Socket& player, const std::string& answer, const Socket::KeepWaiting& keepWaiting) {
  if (!player.SendAll(answer.data(), answer.size(), keepWaiting)) return;
  player.ShutdownSending();
  char discard[4096];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLingerMilliseconds);
  while (std::chrono::steady_clock::now() < deadline && keepWaiting()) {
    if (Socket::WaitReadable(&player, nullptr) == 0) continue;
    const long received = player.Receive(discard, sizeof discard);
    if (received != Socket::kNothingYet && received <= 0) return;
  }
}

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

void RelayServer::Note(LONG connection, const std::string& text) {
  m_log.WriteF(1, "Relay %d connection %d: %s", static_cast<int>(m_nNumber), static_cast<int>(connection), text.c_str());
}

void RelayServer::Serve(Socket client, LONG connection, uint64_t generation) {
  const auto note = [this, connection](const std::string& text) { Note(connection, text); };
  const RelayRoute route = m_routeSource();
  if (route.sources.empty()) return note(kRelayFailureMark + std::string("refused: no stream source configured"));
  const Socket::KeepWaiting keepWaiting = [this, generation] { return KeepGoing(generation); };
  UpstreamOpener::Reached reached = m_upstreams.Open(route, keepWaiting, note);
  if (!reached.socket.Valid()) {
    if (!keepWaiting()) return;
    const bool http = route.sources[route.current].http;
    note(kRelayFailureMark + std::string("no stream source can be reached, player closed") +
         (http ? " after a 502 answer" : ""));
    if (http) AnswerAndHangUp(client, HttpRequestRewriter::Response(502), keepWaiting);
    return;
  }
  const RelaySource& source = route.sources[reached.source];
  std::unique_ptr<HttpRequestRewriter> requests;
  if (source.http)
    requests = std::make_unique<HttpRequestRewriter>(
        HttpRequestRewriter::Authority(source.address.host, source.address.port), note);
  const int64_t carried = Pump(client, reached.socket, requests.get(), connection, generation);
  note("closed after " + std::to_string(carried) + " bytes");
}

// Carries bytes both ways until both sides have ended or the connection is closed. An end of stream on
// one side is passed on as a shutdown of sending on the other, so a half-closed exchange completes. It
// waits for a side to become readable unless a way stopped only because its turn was over.
int64_t RelayServer::Pump(Socket& client, Socket& upstream, HttpRequestRewriter* requests, LONG connection,
                          uint64_t generation) {
  client.MakeNonBlocking();
  upstream.MakeNonBlocking();
  const Socket::KeepWaiting keepGoing = [this, generation] { return KeepGoing(generation); };
  std::vector<char> buffer(kBufferSize);
  Direction ways[2] = {{client, upstream, requests, true, {}, {}}, {upstream, client, nullptr, true, {}, {}}};
  int64_t carried = 0;
  bool turnOver = false;
  while ((ways[0].open || ways[1].open) && keepGoing()) {
    const int ready = turnOver ? 3 : Socket::WaitReadable(ways[0].open ? &client : nullptr,
                                                         ways[1].open ? &upstream : nullptr);
    turnOver = false;
    for (int side = 0; side < 2; ++side) {
      if (!ways[side].open || (ready & (1 << side)) == 0) continue;
      const Flow flow = Carry(ways[side], ways[1 - side], buffer, carried, connection, keepGoing);
      if (flow == Flow::Failed) return carried;  // a read or a send failed: nothing more can be carried
      if (flow == Flow::TurnOver) turnOver = true;
    }
  }
  return carried;
}

// Reads what `way` holds until it is empty or a turn's worth has gone, sending each read on whole. A read
// shorter than the buffer took all there was: asking again would only cost a call (under Wine, a round
// trip to the Wine server) to hear that nothing is left.
RelayServer::Flow RelayServer::Carry(Direction& way, Direction& back, std::vector<char>& buffer, int64_t& carried,
                                     LONG connection, const Socket::KeepWaiting& keepGoing) {
  for (int64_t turn = 0; turn < kTurnBytes && way.open;) {
    const long received = way.from.Receive(buffer.data(), buffer.size());
    if (received == Socket::kNothingYet) return Flow::Emptied;
    if (received == 0) {
      way.open = false;
      if (!way.closingReply.empty()) way.to.SendAll(way.closingReply.data(), way.closingReply.size(), keepGoing);
      way.to.ShutdownSending();
      return Flow::Emptied;
    }
    if (received < 0 || !PassOn(way, back, buffer.data(), static_cast<size_t>(received), connection, keepGoing))
      return Flow::Failed;
    turn += received;
    carried += received;
    m_carried.Add(received);
    Touch();
    if (static_cast<size_t>(received) < buffer.size()) return Flow::Emptied;
  }
  return way.open ? Flow::TurnOver : Flow::Emptied;
}

// Sends a read on; on the player's way to an http source, as the request reader rewrites it. A request the
// reader refuses gets its answer at once when no earlier request awaits one; otherwise the answers still
// due come first and the refusal follows them once the source has ended.
bool RelayServer::PassOn(Direction& way, Direction& back, const char* data, size_t size, LONG connection,
                         const Socket::KeepWaiting& keepGoing) {
  if (way.requests == nullptr) return way.to.SendAll(data, size, keepGoing);
  way.rewritten.clear();
  const int status = way.requests->Feed(data, size, way.rewritten);
  if (!way.rewritten.empty() && !way.to.SendAll(way.rewritten.data(), way.rewritten.size(), keepGoing)) return false;
  if (status == 0) return true;
  Note(connection,
       kRelayFailureMark + ("request refused with " + std::to_string(status) + ": " + way.requests->RefusalReason()));
  const std::string answer = HttpRequestRewriter::Response(status);
  if (way.requests->Requests() == 0) {
    AnswerAndHangUp(way.from, answer, keepGoing);
    return false;
  }
  way.open = false;
  way.to.ShutdownSending();
  back.closingReply = answer;
  return true;
}
