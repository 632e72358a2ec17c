#include "relay_socket.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "relay_socket_platform.h"

namespace {

timeval Tick(int milliseconds) {
  timeval wait{};
  wait.tv_sec = milliseconds / 1000;
  wait.tv_usec = (milliseconds % 1000) * 1000;
  return wait;
}

// select() takes one more than the highest handle on POSIX and ignores the argument on Windows.
int SelectWidth(SocketHandle a, SocketHandle b) {
  const SocketHandle highest = a == kNoSocket ? b : (b == kNoSocket ? a : std::max(a, b));
  return static_cast<int>(highest) + 1;
}

bool WaitWritable(SocketHandle handle, int milliseconds) {
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(handle, &writable);
  FD_SET(handle, &failed);
  timeval wait = Tick(milliseconds);
  return select(SelectWidth(handle, kNoSocket), nullptr, &writable, &failed, &wait) > 0;
}

int PendingError(SocketHandle handle) {
  int error = 0;
  SocketLength length = sizeof error;
  getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
  return error;
}

}  // namespace

std::string SocketErrorText(int code) {
  std::string message = SystemErrorMessage(code);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                              message.back() == '.'))
    message.pop_back();
  const std::string number = "error " + std::to_string(code);
  return message.empty() ? number : message + " (" + number + ")";
}

std::string LastSocketError() { return SocketErrorText(LastSocketErrorCode()); }

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    m_handle = other.m_handle;
    other.m_handle = kNoSocket;
  }
  return *this;
}

void Socket::Close() {
  if (m_handle == kNoSocket) return;
  CloseSocketHandle(m_handle);
  m_handle = kNoSocket;
}

Socket Socket::ListenOnLoopback(std::string* error) {
  Socket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (!listener.Valid() || bind(listener.m_handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener.m_handle, SOMAXCONN) != 0) {
    *error = LastSocketError();
    return Socket();
  }
  return listener;
}

LONG Socket::LocalPort() const {
  sockaddr_in address{};
  SocketLength length = sizeof address;
  if (getsockname(m_handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) return -1;
  return ntohs(address.sin_port);
}

Socket Socket::Connect(const std::string& host, LONG port, int timeoutMilliseconds, const KeepWaiting& keepWaiting,
                       std::string* error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || found == nullptr) {
    *error = "cannot resolve " + host;
    return Socket();
  }
  *error = "no address of " + host + " answers";
  Socket connected;
  for (addrinfo* candidate = found; candidate != nullptr && !connected.Valid(); candidate = candidate->ai_next) {
    Socket attempt(socket(candidate->ai_family, candidate->ai_socktype, candidate->ai_protocol));
    if (!attempt.Valid()) continue;
    // Non-blocking, so a silent address cannot hold up a stop for the system's long connect timeout.
    SetBlocking(attempt.m_handle, false);
    if (connect(attempt.m_handle, candidate->ai_addr, static_cast<SocketLength>(candidate->ai_addrlen)) != 0 &&
        !ConnectInProgress()) {
      *error = LastSocketError();
      continue;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    bool ready = false;
    while (!ready && keepWaiting() && std::chrono::steady_clock::now() < deadline)
      ready = WaitWritable(attempt.m_handle, kTickMilliseconds);
    const int pending = ready ? PendingError(attempt.m_handle) : 0;
    if (!ready || pending != 0) {
      *error = !ready ? "connect timed out after " + std::to_string(timeoutMilliseconds) + " ms"
                      : SocketErrorText(pending);
      continue;
    }
    SetBlocking(attempt.m_handle, true);
    connected = std::move(attempt);
  }
  freeaddrinfo(found);
  if (connected.Valid()) error->clear();
  return connected;
}

bool Socket::WaitReadableFor(int milliseconds) const {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(m_handle, &readable);
  timeval wait = Tick(milliseconds);
  return select(SelectWidth(m_handle, kNoSocket), &readable, nullptr, nullptr, &wait) > 0;
}

Socket Socket::AcceptWithinTick() {
  if (!WaitReadableFor(kTickMilliseconds)) return Socket();
  return Socket(accept(m_handle, nullptr, nullptr));
}

void Socket::MakeNonBlocking() { SetBlocking(m_handle, false); }

bool Socket::SendAll(const void* data, size_t size, const KeepWaiting& keepWaiting) {
  const char* next = static_cast<const char*>(data);
  while (size > 0) {
    const int chunk = static_cast<int>(std::min<size_t>(size, 1 << 20));
    const auto sent = send(m_handle, next, chunk, kNoSignal);
    if (sent > 0) {
      next += sent;
      size -= static_cast<size_t>(sent);
      continue;
    }
    if (sent == 0 || !WouldBlock()) return false;
    // A peer that does not read must not hold the sender past a stop.
    if (!WaitWritable(m_handle, kTickMilliseconds) && keepWaiting && !keepWaiting()) return false;
  }
  return true;
}

long Socket::Receive(void* buffer, size_t size) {
  const long received = static_cast<long>(recv(m_handle, static_cast<char*>(buffer), static_cast<int>(size), 0));
  return received < 0 && WouldBlock() ? kNothingYet : received;
}

bool Socket::ReceiveExact(void* buffer, size_t size, int timeoutMilliseconds) {
  char* next = static_cast<char*>(buffer);
  while (size > 0) {
    if (!WaitReadableFor(timeoutMilliseconds)) return false;
    const long received = Receive(next, size);
    if (received <= 0) return false;
    next += received;
    size -= static_cast<size_t>(received);
  }
  return true;
}

void Socket::ShutdownSending() {
  if (Valid()) shutdown(m_handle, kShutdownSending);
}

int Socket::WaitReadable(const Socket* first, const Socket* second) {
  const SocketHandle a = first != nullptr ? first->m_handle : kNoSocket;
  const SocketHandle b = second != nullptr ? second->m_handle : kNoSocket;
  fd_set readable;
  FD_ZERO(&readable);
  if (a != kNoSocket) FD_SET(a, &readable);
  if (b != kNoSocket) FD_SET(b, &readable);
  timeval wait = Tick(kTickMilliseconds);
  if (select(SelectWidth(a, b), &readable, nullptr, nullptr, &wait) <= 0) return 0;
  return (a != kNoSocket && FD_ISSET(a, &readable) ? 1 : 0) | (b != kNoSocket && FD_ISSET(b, &readable) ? 2 : 0);
}
