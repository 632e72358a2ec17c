#ifndef _WIN32
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "test_socket_platform.h"

const int kShutdownSending = SHUT_WR;
const int kNoSignal = MSG_NOSIGNAL;

void CloseSocketHandle(SocketHandle handle) { close(handle); }
bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK; }
bool ConnectInProgress() { return errno == EINPROGRESS; }

void SetBlocking(SocketHandle handle, bool blocking) {
  const int flags = fcntl(handle, F_GETFL, 0);
  fcntl(handle, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK);
}

int LastSocketErrorCode() { return errno; }

int PollSockets(pollfd* sockets, nfds_t count, int milliseconds) { return poll(sockets, count, milliseconds); }

SocketLibrary::SocketLibrary() : m_bReady(true) {}
SocketLibrary::~SocketLibrary() = default;
#endif
