#ifdef _WIN32
#include "test_socket_platform.h"

const int kShutdownSending = SD_SEND;
const int kNoSignal = 0;

void CloseSocketHandle(SocketHandle handle) { closesocket(handle); }
bool WouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }
bool ConnectInProgress() { return WouldBlock(); }

void SetBlocking(SocketHandle handle, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  ioctlsocket(handle, FIONBIO, &nonBlocking);
}

int LastSocketErrorCode() { return WSAGetLastError(); }

int PollSockets(pollfd* sockets, nfds_t count, int milliseconds) { return WSAPoll(sockets, count, milliseconds); }

SocketLibrary::SocketLibrary() {
  WSADATA data;
  m_bReady = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

SocketLibrary::~SocketLibrary() {
  if (m_bReady) WSACleanup();
}
#endif
