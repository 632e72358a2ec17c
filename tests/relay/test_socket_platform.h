// What differs between Winsock and BSD sockets, one file for each (test_socket_win32.cpp and
// test_socket_posix.cpp); SocketLibrary's start and clean-up are there too.
#pragma once

#include <string>

#include "test_socket.h"

void CloseSocketHandle(SocketHandle handle);
// After a failed send or receive: the socket is non-blocking and would have waited.
bool WouldBlock();
// After a failed connect on a non-blocking socket: the connection is still being made.
bool ConnectInProgress();
void SetBlocking(SocketHandle handle, bool blocking);
int LastSocketErrorCode();
int PollSockets(pollfd* sockets, nfds_t count, int milliseconds);

extern const int kShutdownSending;
extern const int kNoSignal;  // a send flag: a closed peer gives an error, never a signal
