#include "socks5_client.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr char kVersion = 5;
constexpr char kAuthVersion = 1;  // the user name and password sub-negotiation's own version
constexpr unsigned char kNoAuthentication = 0;
constexpr unsigned char kUserPassword = 2;
constexpr unsigned char kNoAcceptableMethod = 0xFF;
constexpr char kConnect = 1;
constexpr unsigned char kAddressIPv4 = 1;
constexpr unsigned char kAddressDomain = 3;
constexpr unsigned char kAddressIPv6 = 4;
constexpr size_t kMaxField = 255;

const char* ReplyText(unsigned char reply) {
  switch (reply) {
    case 1: return "general SOCKS server failure";
    case 2: return "connection not allowed by ruleset";
    case 3: return "network unreachable";
    case 4: return "host unreachable";
    case 5: return "connection refused";
    case 6: return "TTL expired";
    case 7: return "command not supported";
    case 8: return "address type not supported";
    default: return "unknown reply";
  }
}

bool ParseIPv4(const std::string& text, unsigned char (&address)[4]) {
  unsigned parts[4];
  char tail;
  if (std::sscanf(text.c_str(), "%3u.%3u.%3u.%3u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) != 4)
    return false;
  for (int i = 0; i < 4; ++i) {
    if (parts[i] > 255) return false;
    address[i] = static_cast<unsigned char>(parts[i]);
  }
  return true;
}

std::string Field(const std::string& text) { return std::string(1, static_cast<char>(text.size())) + text; }

unsigned char At(const std::string& bytes, size_t i) { return static_cast<unsigned char>(bytes[i]); }

}  // namespace

Socks5Handshake::Socks5Handshake(Socks5Request request) : m_request(std::move(request)) {
  if (m_request.userName.size() > kMaxField || m_request.password.size() > kMaxField) {
    Fail("user name or password longer than 255 bytes");
    return;
  }
  if (m_request.host.empty() || m_request.host.size() > kMaxField) {
    Fail("host name empty or longer than 255 bytes");
    return;
  }
  if (m_request.port < 1 || m_request.port > 65535) {
    Fail("port " + std::to_string(m_request.port) + " out of range");
    return;
  }
  const bool withPassword = !m_request.userName.empty();
  Send(withPassword ? std::string{kVersion, 2, static_cast<char>(kNoAuthentication), static_cast<char>(kUserPassword)}
                    : std::string{kVersion, 1, static_cast<char>(kNoAuthentication)});
}

std::string Socks5Handshake::Unanswered() const {
  switch (m_step) {
    case Step::Choice: return "no answer to the greeting";
    case Step::Login: return "no answer to the user name and password";
    case Step::ReplyHead: return "no answer to the connect request";
    default: return "connect reply cut short";
  }
}

size_t Socks5Handshake::Feed(const char* data, size_t size) {
  size_t used = 0;
  while (GetState() == State::Talking && Gather(data, size, used)) Take();
  return used;
}

bool Socks5Handshake::Gather(const char*& data, size_t& size, size_t& used) {
  const size_t take = std::min(size, m_nNeed - m_read.size());
  m_read.append(data, take);
  data += take;
  size -= take;
  used += take;
  return m_read.size() == m_nNeed;
}

void Socks5Handshake::Take() {
  switch (m_step) {
    case Step::Choice: Chosen(); break;
    case Step::Login: LoggedIn(); break;
    case Step::ReplyHead: ReplyHeadRead(); break;
    case Step::DomainLength:
      m_step = Step::ReplyRest;
      m_nNeed = At(m_read, 0) + size_t{2};
      break;
    case Step::ReplyRest: Finish(); break;  // the bound address is of no use to a relay, but it is read off
  }
  m_read.clear();
}

void Socks5Handshake::Chosen() {
  if (m_read[0] != kVersion) return Fail("not a SOCKS5 server (version " + std::to_string(At(m_read, 0)) + ")");
  const unsigned char choice = At(m_read, 1);
  if (choice == kNoAuthentication) return SendConnect();
  if (choice == kNoAcceptableMethod) return Fail("no acceptable authentication method");
  if (choice != kUserPassword || m_request.userName.empty())
    return Fail("server chose a method that was not offered (" + std::to_string(choice) + ")");
  Send(std::string(1, kAuthVersion) + Field(m_request.userName) + Field(m_request.password));
  m_step = Step::Login;
  m_nNeed = 2;
}

void Socks5Handshake::LoggedIn() {
  if (m_read[1] != 0) return Fail("user name or password refused (status " + std::to_string(At(m_read, 1)) + ")");
  SendConnect();
}

void Socks5Handshake::SendConnect() {
  std::string connect{kVersion, kConnect, 0};
  unsigned char address[4];
  if (ParseIPv4(m_request.host, address)) {
    connect += static_cast<char>(kAddressIPv4);
    connect.append(reinterpret_cast<const char*>(address), 4);
  } else {
    connect += static_cast<char>(kAddressDomain);
    connect += Field(m_request.host);
  }
  connect += static_cast<char>(m_request.port >> 8);
  connect += static_cast<char>(m_request.port & 0xFF);
  Send(connect);
  m_step = Step::ReplyHead;
  m_nNeed = 4;
}

void Socks5Handshake::ReplyHeadRead() {
  if (m_read[0] != kVersion) return Fail("not a SOCKS5 reply (version " + std::to_string(At(m_read, 0)) + ")");
  const unsigned char reply = At(m_read, 1);
  if (reply != 0) return Fail("connect refused with reply " + std::to_string(reply) + " (" + ReplyText(reply) + ")");
  switch (At(m_read, 3)) {
    case kAddressIPv4: m_step = Step::ReplyRest, m_nNeed = 4 + 2; break;
    case kAddressIPv6: m_step = Step::ReplyRest, m_nNeed = 16 + 2; break;
    case kAddressDomain: m_step = Step::DomainLength, m_nNeed = 1; break;
    default: Fail("connect reply with unknown address type " + std::to_string(At(m_read, 3)));
  }
}
