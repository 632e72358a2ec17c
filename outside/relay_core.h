// One local proxy on the I/O thread: its listener, the connections it admits within the limits, the
// refusals beyond them (counted, and written at most once a second), and what its players know of the
// sources. Connections hold it, so it outlives the proxy's RelayServer until their last callback has run.
#pragma once

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>

#include "base/platform.h"
#include "relay_carried_bytes.h"
#include "relay_route.h"
#include "relay_upstream.h"

class RelayConnection;
class RelayIo;
class SharedLog;

class RelayCore : public std::enable_shared_from_this<RelayCore> {
 public:
  using RouteSource = std::function<RelayRoute()>;

  RelayCore(RelayIo& io, SharedLog& log, LONG number, RouteSource routeSource);

  // On the proxy's thread, which then learns the port at once.
  bool Listen();

  // On the I/O thread.
  void CloseConnections(bool listenerToo);
  void Stop();

  // For the connections, on the I/O thread.
  RelayIo& Io() { return m_io; }
  SourceMemory& Sources() { return m_sources; }
  // A line "Relay N connection M: TEXT".
  void Note(LONG connection, const std::string& text);
  void Carried(size_t bytes);
  // The connection has ended: it leaves the proxy's list and the limits' counts.
  void Ended(RelayConnection& connection);

  // From any thread.
  LONG Port() const { return m_nPort; }
  LONG TakeByteReading() { return m_carried.TakeReading(); }
  int64_t LastActivityTime() const { return m_nLastActivity; }

 private:
  using Clock = std::chrono::steady_clock;

  void CloseAll(bool listenerToo);
  void Accept();
  void Admit(asio::ip::tcp::socket player);
  // The connection that gives way to a newer player at the limit: the oldest whose player has sent nothing.
  std::shared_ptr<RelayConnection> OldestSilent();
  void Refuse(asio::ip::tcp::socket player, bool http, int limit);
  void CountRefusal(int limit);
  void WriteRefusals();
  void Touch();
  // "Relay N TEXT", the proxy's own events, and "Relay N: TEXT", its failures and counts.
  void Event(const std::string& text);
  void Notice(const std::string& text);
  template <typename Step>
  auto Guarded(const char* what, Step step);

  RelayIo& m_io;
  SharedLog& m_log;
  const LONG m_nNumber;
  const RouteSource m_routeSource;
  asio::ip::tcp::acceptor m_acceptor;
  asio::steady_timer m_acceptRetry;
  asio::steady_timer m_noticeTimer;
  std::list<std::shared_ptr<RelayConnection>> m_connections;  // oldest first
  SourceMemory m_sources;
  LONG m_nConnectionsMade = 0;
  std::map<int, int64_t> m_refused;  // by the limit that refused them, since the last line
  Clock::time_point m_lastNotice{};
  bool m_bNoticeDue = false;
  Clock::time_point m_lastAcceptError{};
  bool m_bStarted = false;
  bool m_bStopped = false;
  std::atomic<LONG> m_nPort{-1};
  CarriedBytes m_carried;
  std::atomic<int64_t> m_nLastActivity{0};
};
