#include "relay_server.h"

#include "relay_core.h"
#include "relay_io.h"

RelayServer::RelayServer(SharedLog& log, LONG number, RouteSource routeSource)
    : m_io(RelayIo::Acquire()), m_core(std::make_shared<RelayCore>(*m_io, log, number, std::move(routeSource))) {}

// The proxy's configuration, which the route source reads, may go once this returns: after the stop no
// callback of the core reads it again.
RelayServer::~RelayServer() {
  try {
    Stop();
  } catch (...) {
  }
}

bool RelayServer::Start() {
  if (!m_core->Listen()) return false;
  m_bClosed = false;
  return true;
}

LONG RelayServer::Port() const { return m_core->Port(); }

// A delete closes twice, the control and then its video host: a relay closed with its listener holds nothing
// until it listens again, so the second close returns without a round trip to the I/O thread.
void RelayServer::CloseConnections(bool listenerToo) {
  if (m_bClosed) return;
  m_io->Run([&] { m_core->CloseConnections(listenerToo); });
  m_bClosed = listenerToo;
}

void RelayServer::Stop() {
  m_io->Run([&] { m_core->Stop(); });
}

LONG RelayServer::TakeByteReading() { return m_core->TakeByteReading(); }

int64_t RelayServer::LastActivityTime() const { return m_core->LastActivityTime(); }
