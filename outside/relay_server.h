// One local proxy's relay, as the proxy's slots see it: listens on 127.0.0.1 and carries each accepted
// connection to the route its configuration gives at that moment. The work happens on the process's one I/O
// thread (RelayIo) in a RelayCore and a RelayConnection per player. Start listens on the caller's thread and
// hands the listener over; the other calls hand their work over and return once it is done, which takes no
// wait on any peer, so closing and stopping return at once whatever peers do.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "base/platform.h"
#include "relay_route.h"

class RelayCore;
class RelayIo;
class SharedLog;

class RelayServer {
 public:
  // The route for a new connection, as the configuration gives it at that moment; read on the I/O thread.
  using RouteSource = std::function<RelayRoute()>;

  // Takes the I/O thread, starting it for the process's first relay; throws when it cannot.
  RelayServer(SharedLog& log, LONG number, RouteSource routeSource);
  ~RelayServer();
  RelayServer(const RelayServer&) = delete;
  RelayServer& operator=(const RelayServer&) = delete;

  // Listens, also again once CloseConnections has closed the listener (on a port the system chooses anew).
  bool Start();
  // The listening port; -1 when not listening.
  LONG Port() const;
  // Ends every relayed connection; with `listenerToo` also stops accepting new ones, and then a close does
  // nothing (not even hand over) until Start.
  void CloseConnections(bool listenerToo);
  void Stop();

  // Bytes carried since the previous reading (see CarriedBytes).
  LONG TakeByteReading();
  // Seconds since 1970-01-01 UTC of the last accept or byte carried; 0 before any.
  int64_t LastActivityTime() const;

 private:
  std::shared_ptr<RelayIo> m_io;
  std::shared_ptr<RelayCore> m_core;
  // Neither listening nor carrying: not yet started, or closed with the listener since the last start. The
  // proxy's thread's alone.
  bool m_bClosed = true;
};
