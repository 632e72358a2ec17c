// One local proxy's relay: listens on 127.0.0.1 and carries each accepted connection to the route its
// configuration gives at that moment (see UpstreamOpener); to an http source it passes the player's
// requests through an HttpRequestRewriter, and everything else byte for byte. Each connection has a worker
// thread of its own; every wait is bounded by a tick, so closing and stopping never hang on the network.
// A worker carries what a socket holds until it would block and waits only then: under Wine every wait is
// a round trip to the Wine server.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "relay_carried_bytes.h"
#include "relay_route.h"
#include "relay_socket.h"
#include "relay_upstream.h"

class HttpRequestRewriter;
class SharedLog;

class RelayServer {
 public:
  // The route for a new connection, as the configuration gives it at that moment.
  using RouteSource = std::function<RelayRoute()>;

  RelayServer(SharedLog& log, LONG number, RouteSource routeSource);
  ~RelayServer();
  RelayServer(const RelayServer&) = delete;
  RelayServer& operator=(const RelayServer&) = delete;

  // Listens, also again once CloseConnections has closed the listener (on a port the system chooses anew).
  bool Start();
  bool Listening() const { return m_bListening; }
  // The listening port; -1 when not listening.
  LONG Port() const { return m_nPort; }
  // Ends every relayed connection; with `listenerToo` also stops accepting new ones.
  void CloseConnections(bool listenerToo);
  void Stop();

  // Bytes carried since the previous reading (see CarriedBytes).
  LONG TakeByteReading() { return m_carried.TakeReading(); }
  // Seconds since 1970-01-01 UTC of the last accept or byte carried; 0 before any.
  int64_t LastActivityTime() const { return m_nLastActivity; }

 private:
  struct Worker {
    std::thread thread;
    std::atomic<bool> finished{false};
  };
  // One way of a relayed connection.
  struct Direction {
    Socket& from;
    Socket& to;
    HttpRequestRewriter* requests = nullptr;  // the player's requests to an http source, read and rewritten
    bool open = true;
    std::string rewritten;     // the requests' bytes as they go on
    std::string closingReply;  // sent on before this way's end is passed on
  };
  enum class Flow { Emptied, TurnOver, Failed };

  void AcceptLoop();
  void Serve(Socket client, LONG connection, uint64_t generation);
  int64_t Pump(Socket& client, Socket& upstream, HttpRequestRewriter* requests, LONG connection, uint64_t generation);
  Flow Carry(Direction& way, Direction& back, std::vector<char>& buffer, int64_t& carried, LONG connection,
             const Socket::KeepWaiting& keepGoing);
  bool PassOn(Direction& way, Direction& back, const char* data, size_t size, LONG connection,
              const Socket::KeepWaiting& keepGoing);
  // A line "Relay N connection M: TEXT".
  void Note(LONG connection, const std::string& text);
  bool KeepGoing(uint64_t generation) const { return !m_bStopping && m_nGeneration == generation; }
  void Touch();
  void JoinFinishedWorkers(bool all);

  SharedLog& m_log;
  const LONG m_nNumber;
  RouteSource m_routeSource;
  UpstreamOpener m_upstreams;
  SocketLibrary m_sockets;
  Socket m_listener;  // used by the accept thread only once it runs
  std::atomic<LONG> m_nPort{-1};
  std::atomic<bool> m_bStopping{false};
  std::atomic<bool> m_bListening{false};
  std::atomic<uint64_t> m_nGeneration{0};  // bumped to end the connections of earlier generations
  CarriedBytes m_carried;
  std::atomic<int64_t> m_nLastActivity{0};
  std::thread m_acceptThread;
  std::mutex m_workersLock;
  std::list<std::unique_ptr<Worker>> m_workers;
  LONG m_nConnections = 0;  // accept thread only
};
