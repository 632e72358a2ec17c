// Closing a socket or listener of the relay's event loop.
#pragma once

#include <system_error>

// Cancels what is pending on it, then closes it. Under Wine a close alone can leave an operation pending (a
// send to a peer that never reads), and the I/O thread, which waits for every operation to end before it
// goes, would never end.
template <typename Socket>
void CancelAndClose(Socket& socket) {
  std::error_code ignored;
  socket.cancel(ignored);
  socket.close(ignored);
}
