// The few blocking TCP operations the relay's test peers need (origins, proxies, players), over Winsock or
// BSD sockets. A Socket owns its handle and is used by one thread at a time; waits are bounded, so a peer
// notices a stop within a tick.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#endif

#include "base/platform.h"
#include "socket_error_text.h"

#ifdef _WIN32
using SocketHandle = SOCKET;
using SocketLength = int;
using nfds_t = ULONG;
inline constexpr SocketHandle kNoSocket = INVALID_SOCKET;
#else
using SocketHandle = int;
using SocketLength = socklen_t;
inline constexpr SocketHandle kNoSocket = -1;
#endif

// Winsock is reference-counted per process: each holder starts it and cleans it up once.
class SocketLibrary {
 public:
  SocketLibrary();
  ~SocketLibrary();
  SocketLibrary(const SocketLibrary&) = delete;
  SocketLibrary& operator=(const SocketLibrary&) = delete;
  bool Ready() const { return m_bReady; }

 private:
  bool m_bReady;
};

class Socket {
 public:
  // Keeps waiting while this answers true.
  using KeepWaiting = std::function<bool()>;
  static constexpr int kTickMilliseconds = 100;

  Socket() = default;
  explicit Socket(SocketHandle handle) : m_handle(handle) {}
  ~Socket() { Close(); }
  Socket(Socket&& other) noexcept : m_handle(other.m_handle) { other.m_handle = kNoSocket; }
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Listens on 127.0.0.1 on a port the system chooses.
  static Socket ListenOnLoopback(std::string* error);
  // Bound to such a port without listening: a connection to it is refused, and no other socket gets it.
  static Socket BoundOnLoopback(std::string* error);
  // Connects to the first address of `host` that answers; gives up when `keepWaiting` says so or after
  // `timeoutMilliseconds`.
  static Socket Connect(const std::string& host, LONG port, int timeoutMilliseconds, const KeepWaiting& keepWaiting,
                        std::string* error);

  bool Valid() const { return m_handle != kNoSocket; }
  LONG LocalPort() const;
  // A connection accepted within one tick, or an invalid socket.
  Socket AcceptWithinTick();
  // From here on a send or receive returns at once instead of waiting for the peer.
  void MakeNonBlocking();
  // On a non-blocking socket, waits tick by tick for the peer to take more while `keepWaiting` allows.
  bool SendAll(const void* data, size_t size, const KeepWaiting& keepWaiting = nullptr);
  // Bytes read (> 0), 0 at the end of the stream, kNothingYet on a non-blocking socket with nothing to
  // read, otherwise < 0 for an error.
  static constexpr long kNothingYet = -2;
  long Receive(void* buffer, size_t size);
  // All `size` bytes or false (error, end of stream, or no byte for `timeoutMilliseconds`).
  bool ReceiveExact(void* buffer, size_t size, int timeoutMilliseconds);
  void ShutdownSending();
  void Close();

  // Which of the two can be read without blocking, within one tick: bit 0 for `first`, bit 1 for `second`.
  // A null one is left out of the wait; at least one must be given.
  static int WaitReadable(const Socket* first, const Socket* second);

 private:
  bool WaitReadableFor(int milliseconds) const;

  SocketHandle m_handle = kNoSocket;
};

// The last socket error, as the relay's log lines give it.
std::string LastSocketError();
