#ifdef _WIN32
#include "relay_socket_platform.h"

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

std::string SystemErrorMessage(int code) {
  char text[256] = "";
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
  return std::string(text, length);
}

SocketLibrary::SocketLibrary() {
  WSADATA data;
  m_bReady = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

SocketLibrary::~SocketLibrary() {
  if (m_bReady) WSACleanup();
}
#endif
