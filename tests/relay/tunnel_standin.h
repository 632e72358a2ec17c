// A proxy on 127.0.0.1 that opens a tunnel the way a SOCKS5 server (with user name and password) or an HTTP
// CONNECT proxy does, or refuses it with a given SOCKS5 reply or HTTP status. It serves one connection at a
// time and keeps what each asked for.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "test_socket.h"

class TunnelStandin {
 public:
  enum class Kind { Socks5, HttpConnect };
  // `refusal`: 0 lets every tunnel through, otherwise the SOCKS5 reply code or HTTP status of each refusal.
  TunnelStandin(Kind kind, int refusal = 0);
  ~TunnelStandin();
  TunnelStandin(const TunnelStandin&) = delete;
  TunnelStandin& operator=(const TunnelStandin&) = delete;

  LONG Port() const { return m_nPort; }
  // The refusal of the tunnels asked for from now on.
  void SetRefusal(int refusal) { m_nRefusal = refusal; }
  // Per tunnel asked for: "HOST:PORT USER PASSWORD" (SOCKS5) or the CONNECT request's head (HTTP).
  std::vector<std::string> Asked();

 private:
  void Serve();
  void Tunnel(Socket& peer);
  // The target asked for, or empty when the peer's request was not understood.
  std::string Socks5Handshake(Socket& peer, std::string& target, LONG& port);
  std::string HttpHandshake(Socket& peer, std::string& target, LONG& port);
  void Pump(Socket& a, Socket& b);

  const Kind m_kind;
  std::atomic<int> m_nRefusal;
  Socket m_listener;
  LONG m_nPort;
  std::atomic<bool> m_stop{false};
  std::mutex m_lock;
  std::vector<std::string> m_asked;
  std::thread m_thread;
};
