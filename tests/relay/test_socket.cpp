#include "test_socket.h"

#include <chrono>
#include <cstring>

#include "test_socket_platform.h"

namespace {

// Waits for `events` on each handle given (kNoSocket: left out); a handle's revents say what happened. poll,
// unlike select, takes handles of any value: a test may hold thousands of connections.
int Wait(SocketHandle first, SocketHandle second, short events, int milliseconds, short (&revents)[2]) {
  pollfd watched[2];
  nfds_t count = 0;
  for (const SocketHandle handle : {first, second})
    if (handle != kNoSocket) watched[count++] = pollfd{handle, events, 0};
  const int ready = PollSockets(watched, count, milliseconds);
  count = 0;
  for (int i = 0; i < 2; ++i)
    revents[i] = (i == 0 ? first : second) != kNoSocket && ready > 0 ? watched[count++].revents : short{0};
  return ready;
}

bool WaitWritable(SocketHandle handle, int milliseconds) {
  short revents[2];
  return Wait(handle, kNoSocket, POLLOUT, milliseconds, revents) > 0;
}

int PendingError(SocketHandle handle) {
  int error = 0;
  SocketLength length = sizeof error;
  getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
  return error;
}

}  // namespace

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
  Socket listener = BoundOnLoopback(error);
  if (listener.Valid() && listen(listener.m_handle, SOMAXCONN) != 0) {
    *error = LastSocketError();
    return Socket();
  }
  return listener;
}

Socket Socket::BoundOnLoopback(std::string* error) {
  Socket bound(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (!bound.Valid() || bind(bound.m_handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    *error = LastSocketError();
    return Socket();
  }
  return bound;
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
  short revents[2];
  return Wait(m_handle, kNoSocket, POLLIN, milliseconds, revents) > 0;
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
  short revents[2];
  if (Wait(a, b, POLLIN, kTickMilliseconds, revents) <= 0) return 0;
  return (revents[0] != 0 ? 1 : 0) | (revents[1] != 0 ? 2 : 0);
}
