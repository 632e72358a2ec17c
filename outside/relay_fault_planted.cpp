// The relay's test build: a test plants a throwing allocation at one of the relay's fault points and reads
// what the relay holds, through two exports the shipped relay does not have.
#include <atomic>
#include <new>

#include "base/platform.h"
#include "plugins/outside_interfaces.h"
#include "relay_fault_point.h"
#include "relay_io.h"
#include "standin_export.h"

namespace {

std::atomic<int> g_planted[static_cast<int>(RelayFault::Count)];

}  // namespace

void RelayFaultPoint(RelayFault site) {
  std::atomic<int>& planted = g_planted[static_cast<int>(site)];
  for (int left = planted.load(); left > 0;)
    if (planted.compare_exchange_weak(left, left - 1)) throw std::bad_alloc();
}

// The next `times` passes at fault point `site` (a RelayFault) throw std::bad_alloc.
STANDIN_EXPORT void QEL_CDECL RelayTestPlantFault(LONG site, LONG times) {
  if (site >= 0 && site < static_cast<LONG>(RelayFault::Count)) g_planted[site] = static_cast<int>(times);
}

// The connections of every relay of the process and the bytes of their buffers; both 0 when no relay runs.
STANDIN_EXPORT void QEL_CDECL RelayTestHeld(LONG* connections, LONG* bufferBytes) {
  *connections = 0;
  *bufferBytes = 0;
  if (const std::shared_ptr<RelayIo> io = RelayIo::Running())
    io->Run([&] {
      *connections = io->m_nConnections;
      *bufferBytes = static_cast<LONG>(io->m_nBufferBytes);
    });
}
