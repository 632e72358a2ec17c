#include "trickling_peer.h"

#include <vector>

namespace {

struct Peer {
  Socket socket;
  size_t sent = 0;
  std::chrono::steady_clock::time_point next;
};

}  // namespace

TricklingPeer::TricklingPeer(std::string answer, std::chrono::milliseconds interval)
    : m_answer(std::move(answer)), m_interval(interval) {
  std::string error;
  m_listener = Socket::ListenOnLoopback(&error);
  m_nPort = m_listener.LocalPort();
  m_thread = std::thread([this] { Serve(); });
}

TricklingPeer::~TricklingPeer() {
  m_stop = true;
  m_thread.join();
}

void TricklingPeer::Serve() {
  std::vector<Peer> peers;
  while (!m_stop) {
    Socket accepted = m_listener.AcceptWithinTick();
    const auto now = std::chrono::steady_clock::now();
    if (accepted.Valid()) {
      ++m_nAccepted;
      peers.push_back(Peer{std::move(accepted), 0, now + m_interval});
    }
    for (Peer& peer : peers) {
      if (peer.sent == m_answer.size() || now < peer.next) continue;
      peer.socket.SendAll(&m_answer[peer.sent++], 1);
      peer.next = now + m_interval;
    }
  }
}
