// A peer on 127.0.0.1 that answers every connection slowly: one byte of its answer every interval, from the
// moment it accepts, whatever it is sent; with no answer it stays silent. It stands for a proxy or source
// that is alive but holds a connection open.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "test_socket.h"

class TricklingPeer {
 public:
  TricklingPeer(std::string answer, std::chrono::milliseconds interval);
  ~TricklingPeer();
  TricklingPeer(const TricklingPeer&) = delete;
  TricklingPeer& operator=(const TricklingPeer&) = delete;

  LONG Port() const { return m_nPort; }
  int Accepted() const { return m_nAccepted; }

 private:
  void Serve();

  const std::string m_answer;
  const std::chrono::milliseconds m_interval;
  Socket m_listener;
  LONG m_nPort;
  std::atomic<int> m_nAccepted{0};
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};
