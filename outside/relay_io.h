// The process's one I/O thread, which serves the sockets of every relay of the process (Asio: IOCP on
// Windows, epoll elsewhere). It starts with the first relay and is joined when the last one goes, on the
// thread that lets it go (the host's, in a proxy's Release), never while the library unloads.
#pragma once

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <functional>
#include <memory>
#include <thread>

class RelayIo {
 public:
  // The running I/O thread, started when no relay holds it; throws when it cannot start.
  static std::shared_ptr<RelayIo> Acquire();
  // The I/O thread when a relay holds it, otherwise null.
  static std::shared_ptr<RelayIo> Running();
  ~RelayIo();
  RelayIo(const RelayIo&) = delete;
  RelayIo& operator=(const RelayIo&) = delete;

  asio::io_context& Context() { return m_context; }
  // Runs `work` on the I/O thread and returns when it has run; what it throws is thrown here.
  void Run(const std::function<void()>& work);

  // The connections of every relay of the process; the I/O thread's alone.
  int m_nConnections = 0;
  // The read buffer every connection shares (relay_limits::kBurstBytes), made at its first use.
  char* BurstBuffer();
  bool IsBurstBuffer(const char* data) const { return m_burst != nullptr && data == m_burst.get(); }

  // The bytes of every connection's buffers, for the relay's test build to read.
  size_t m_nBufferBytes = 0;
  // Of those, what peers have not yet taken of shared reads.
  size_t m_nSpillBytes = 0;

 private:
  RelayIo();
  void Loop();

  std::unique_ptr<char[]> m_burst;
  asio::io_context m_context{1};
  asio::executor_work_guard<asio::io_context::executor_type> m_work;
  std::thread m_thread;
};
