#include "tunnel_standin.h"

#include <cstdio>

namespace {

constexpr int kWaitMilliseconds = 3000;

bool Read(Socket& peer, void* buffer, size_t size) { return peer.ReceiveExact(buffer, size, kWaitMilliseconds); }

std::string ReadText(Socket& peer, size_t size) {
  std::string text(size, '\0');
  return size == 0 || Read(peer, text.data(), size) ? text : "";
}

}  // namespace

TunnelStandin::TunnelStandin(Kind kind, int refusal) : m_kind(kind), m_nRefusal(refusal) {
  std::string error;
  m_listener = Socket::ListenOnLoopback(&error);
  m_nPort = m_listener.LocalPort();
  m_thread = std::thread([this] { Serve(); });
}

TunnelStandin::~TunnelStandin() {
  m_stop = true;
  m_thread.join();
}

std::vector<std::string> TunnelStandin::Asked() {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_asked;
}

void TunnelStandin::Serve() {
  while (!m_stop) {
    Socket peer = m_listener.AcceptWithinTick();
    if (peer.Valid()) Tunnel(peer);
  }
}

void TunnelStandin::Tunnel(Socket& peer) {
  std::string target;
  LONG port = 0;
  const std::string asked =
      m_kind == Kind::Socks5 ? Socks5Handshake(peer, target, port) : HttpHandshake(peer, target, port);
  if (asked.empty()) return;
  {
    std::lock_guard<std::mutex> hold(m_lock);
    m_asked.push_back(asked);
  }
  std::string error;
  Socket onward;
  const int refusal = m_nRefusal;
  if (refusal == 0) onward = Socket::Connect(target, port, kWaitMilliseconds, [] { return true; }, &error);
  const bool through = onward.Valid();
  if (m_kind == Kind::Socks5) {
    const BYTE reply[10] = {5, static_cast<BYTE>(through ? 0 : (refusal != 0 ? refusal : 5)), 0, 1};
    peer.SendAll(reply, sizeof reply);
  } else {
    const std::string answer = through ? "HTTP/1.1 200 Connection established\r\n\r\n"
                                       : "HTTP/1.1 " + std::to_string(refusal != 0 ? refusal : 502) +
                                             " Refused\r\nContent-Length: 0\r\n\r\n";
    peer.SendAll(answer.data(), answer.size());
  }
  if (through) Pump(peer, onward);
}

std::string TunnelStandin::Socks5Handshake(Socket& peer, std::string& target, LONG& port) {
  BYTE greeting[2], methods[255];
  if (!Read(peer, greeting, 2) || !Read(peer, methods, greeting[1])) return "";
  std::string user, password;
  const BYTE choice[2] = {5, greeting[1] > 1 ? BYTE{2} : BYTE{0}};
  peer.SendAll(choice, 2);
  if (choice[1] == 2) {
    BYTE length[2];
    if (!Read(peer, length, 2)) return "";
    user = ReadText(peer, length[1]);
    if (!Read(peer, length, 1)) return "";
    password = ReadText(peer, length[0]);
    const BYTE status[2] = {1, 0};
    peer.SendAll(status, 2);
  }
  BYTE request[5];
  if (!Read(peer, request, 5)) return "";
  if (request[3] == 1) {
    BYTE rest[3];
    if (!Read(peer, rest, 3)) return "";
    target = std::to_string(request[4]) + "." + std::to_string(rest[0]) + "." + std::to_string(rest[1]) + "." +
             std::to_string(rest[2]);
  } else {
    target = ReadText(peer, request[4]);
  }
  BYTE portBytes[2];
  if (!Read(peer, portBytes, 2)) return "";
  port = portBytes[0] << 8 | portBytes[1];
  return target + ":" + std::to_string(port) + " " + user + " " + password;
}

std::string TunnelStandin::HttpHandshake(Socket& peer, std::string& target, LONG& port) {
  std::string head;
  char byte;
  while (head.find("\r\n\r\n") == std::string::npos && Read(peer, &byte, 1)) head += byte;
  char host[256] = "";
  int number = 0;
  if (std::sscanf(head.c_str(), "CONNECT %255[^:]:%d HTTP/1.1", host, &number) != 2) return "";
  target = host;
  port = number;
  return head;
}

void TunnelStandin::Pump(Socket& a, Socket& b) {
  char buffer[16384];
  while (!m_stop) {
    const int ready = Socket::WaitReadable(&a, &b);
    if (ready == 0) continue;
    Socket& from = (ready & 1) != 0 ? a : b;
    Socket& to = (ready & 1) != 0 ? b : a;
    const long received = from.Receive(buffer, sizeof buffer);
    if (received <= 0 || !to.SendAll(buffer, static_cast<size_t>(received))) return;
  }
}
