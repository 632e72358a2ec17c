#include "relay_core.h"

#include <asio/post.hpp>
#include <asio/write.hpp>
#include <ctime>

#include "http_request_head.h"
#include "relay_close.h"
#include "relay_connection.h"
#include "relay_fault_point.h"
#include "relay_guard.h"
#include "relay_io.h"
#include "relay_limits.h"
#include "shared_log.h"
#include "socket_error_text.h"

namespace {

// A player refused at the limit hears why when its source is http, then the connection closes. What it
// sent already is read first, so the close does not reset the connection before the answer is read.
void AnswerRefused(std::shared_ptr<asio::ip::tcp::socket> player, bool http) {
  std::error_code ignored;
  player->non_blocking(true, ignored);
  char discard[512];
  for (int reads = 0; reads < 16 && player->read_some(asio::buffer(discard), ignored) > 0; ++reads) {
  }
  if (!http) return player->close(ignored);
  static const std::string answer = HttpRequestRewriter::Response(503);
  asio::async_write(*player, asio::buffer(answer), [player](std::error_code, size_t) {
    std::error_code ignored;
    player->shutdown(asio::socket_base::shutdown_send, ignored);
    player->close(ignored);
  });
}

}  // namespace

RelayCore::RelayCore(RelayIo& io, SharedLog& log, LONG number, RouteSource routeSource)
    : m_io(io),
      m_log(log),
      m_nNumber(number),
      m_routeSource(std::move(routeSource)),
      m_acceptor(io.Context()),
      m_acceptRetry(io.Context()),
      m_noticeTimer(io.Context()) {}

template <typename Step>
auto RelayCore::Guarded(const char* what, Step step) {
  return GuardedStep(
      shared_from_this(), step, [](const RelayCore& self) { return self.m_bStopped; },
      [what](RelayCore& self, const std::string& error) {
        RunGuarded([&] { self.Notice(std::string(what) + " failed: " + error); }, [](const std::string&) {});
      });
}

void RelayCore::Event(const std::string& text) {
  m_log.WriteF(1, "Relay %d %s", static_cast<int>(m_nNumber), text.c_str());
}

void RelayCore::Notice(const std::string& text) {
  m_log.WriteF(1, "Relay %d: %s", static_cast<int>(m_nNumber), text.c_str());
}

void RelayCore::Note(LONG connection, const std::string& text) {
  m_log.WriteF(1, "Relay %d connection %d: %s", static_cast<int>(m_nNumber), static_cast<int>(connection), text.c_str());
}

// The listener is opened on the caller's thread and accepts on the I/O thread: the proxy's Create, on the
// host's thread, learns its port without a round trip to the I/O thread, and what is posted after this
// (a close, a stop) runs after the listener has been handed over.
bool RelayCore::Listen() {
  if (m_nPort >= 0) return true;
  auto listener = std::make_shared<asio::ip::tcp::acceptor>(m_io.Context());
  std::error_code error;
  const asio::ip::tcp::endpoint loopback(asio::ip::address_v4::loopback(), 0);
  listener->open(loopback.protocol(), error);
  if (!error) listener->bind(loopback, error);
  if (!error) listener->listen(asio::socket_base::max_listen_connections, error);
  const LONG port = error ? -1 : listener->local_endpoint(error).port();
  if (error) {
    Event("cannot listen: " + SocketErrorText(error.value()));
    return false;
  }
  asio::post(m_io.Context(), Guarded("accept", [listener](RelayCore& self) {
    self.m_acceptor = std::move(*listener);
    self.m_bStarted = true;
    self.Accept();
  }));
  m_nPort = port;
  Event("listening on 127.0.0.1:" + std::to_string(port));
  return true;
}

void RelayCore::Accept() {
  m_acceptor.async_accept(Guarded("accept", [](RelayCore& self, std::error_code error, asio::ip::tcp::socket player) {
    if (error == asio::error::operation_aborted || !self.m_acceptor.is_open()) return;
    if (!error) {
      // Whatever happens to this player, the listener goes on.
      RunGuarded([&] { self.Admit(std::move(player)); },
                 [&](const std::string& failure) { self.Notice("accepting a player failed: " + failure); });
      return self.Accept();
    }
    // Out of sockets, say: the listener tries again in a moment, and says so at most once a second.
    const auto now = Clock::now();
    if (now - self.m_lastAcceptError >= relay_limits::kNoticeInterval) {
      self.m_lastAcceptError = now;
      self.Notice("accept failed: " + SocketErrorText(error.value()));
    }
    self.m_acceptRetry.expires_after(std::chrono::milliseconds(100));
    self.m_acceptRetry.async_wait(self.Guarded("accept", [](RelayCore& again, std::error_code waited) {
      if (!waited && again.m_acceptor.is_open()) again.Accept();
    }));
  }));
}

void RelayCore::Admit(asio::ip::tcp::socket player) {
  RelayFaultPoint(RelayFault::Accept);
  Touch();
  RelayRoute route = m_routeSource();
  const bool http = !route.sources.empty() && route.sources[route.current].http;
  int limit = 0;
  if (m_connections.size() >= static_cast<size_t>(relay_limits::kConnectionsPerProxy))
    limit = relay_limits::kConnectionsPerProxy;
  else if (m_io.m_nConnections >= relay_limits::kConnectionsPerProcess)
    limit = relay_limits::kConnectionsPerProcess;
  if (limit != 0) {
    const std::shared_ptr<RelayConnection> silent = OldestSilent();
    if (silent == nullptr) return Refuse(std::move(player), http, limit);
    silent->Close(true);
    CountRefusal(limit);
  }
  auto connection = std::make_shared<RelayConnection>(shared_from_this(), ++m_nConnectionsMade, std::move(player),
                                                      std::move(route));
  m_connections.push_back(connection);
  connection->m_place = std::prev(m_connections.end());
  ++m_io.m_nConnections;
  connection->Begin();
}

std::shared_ptr<RelayConnection> RelayCore::OldestSilent() {
  for (const std::shared_ptr<RelayConnection>& connection : m_connections)
    if (connection->Silent()) return connection;
  return nullptr;
}

void RelayCore::Refuse(asio::ip::tcp::socket player, bool http, int limit) {
  CountRefusal(limit);
  AnswerRefused(std::make_shared<asio::ip::tcp::socket>(std::move(player)), http);
}

void RelayCore::CountRefusal(int limit) {
  ++m_refused[limit];
  if (m_bNoticeDue) return;  // the line that is due will count this one too
  const auto next = m_lastNotice + relay_limits::kNoticeInterval;
  if (Clock::now() >= next) return WriteRefusals();
  m_bNoticeDue = true;
  m_noticeTimer.expires_at(next);
  m_noticeTimer.async_wait(Guarded("counting refusals", [](RelayCore& self, std::error_code error) {
    if (!error) self.WriteRefusals();
  }));
}

void RelayCore::WriteRefusals() {
  m_bNoticeDue = false;
  m_lastNotice = Clock::now();
  for (const auto& [limit, count] : m_refused)
    Notice(std::to_string(count) + " connections refused: limit " + std::to_string(limit));
  m_refused.clear();
}

void RelayCore::Ended(RelayConnection& connection) {
  --m_io.m_nConnections;
  m_connections.erase(connection.m_place);
}

void RelayCore::Carried(size_t bytes) {
  m_carried.Add(static_cast<int64_t>(bytes));
  Touch();
}

void RelayCore::Touch() { m_nLastActivity = static_cast<int64_t>(std::time(nullptr)); }

void RelayCore::CloseConnections(bool listenerToo) {
  CloseAll(listenerToo);
  Event(std::string("connections closed") + (listenerToo ? ", listener too" : ""));
}

void RelayCore::CloseAll(bool listenerToo) {
  // Each connection leaves the list as it closes.
  const std::list<std::shared_ptr<RelayConnection>> open = m_connections;
  for (const std::shared_ptr<RelayConnection>& connection : open) connection->Close(false);
  if (listenerToo) {
    CancelAndClose(m_acceptor);
    m_acceptRetry.cancel();
    m_nPort = -1;
  }
}

void RelayCore::Stop() {
  if (!m_bStarted || m_bStopped) return;
  CloseAll(true);
  if (!m_refused.empty()) WriteRefusals();
  m_noticeTimer.cancel();
  m_bStopped = true;
  Event("stopped after " + std::to_string(m_carried.Total()) + " bytes");
}
