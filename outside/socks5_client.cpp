#include "socks5_client.h"

#include <cstdio>
#include <vector>

namespace {

constexpr BYTE kVersion = 5;
constexpr BYTE kAuthVersion = 1;  // the user name and password sub-negotiation's own version
constexpr BYTE kNoAuthentication = 0;
constexpr BYTE kUserPassword = 2;
constexpr BYTE kNoAcceptableMethod = 0xFF;
constexpr BYTE kConnect = 1;
constexpr BYTE kAddressIPv4 = 1;
constexpr BYTE kAddressDomain = 3;
constexpr BYTE kAddressIPv6 = 4;
constexpr size_t kMaxField = 255;

const char* ReplyText(BYTE reply) {
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

bool ParseIPv4(const std::string& text, BYTE (&address)[4]) {
  unsigned parts[4];
  char tail;
  if (std::sscanf(text.c_str(), "%3u.%3u.%3u.%3u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) != 4)
    return false;
  for (int i = 0; i < 4; ++i) {
    if (parts[i] > 255) return false;
    address[i] = static_cast<BYTE>(parts[i]);
  }
  return true;
}

void Append(std::vector<BYTE>& bytes, const std::string& text) { bytes.insert(bytes.end(), text.begin(), text.end()); }

std::string Negotiate(ByteStream& proxy, const Socks5Request& request) {
  const bool withPassword = !request.userName.empty();
  std::vector<BYTE> greeting{kVersion, 1, kNoAuthentication};
  if (withPassword) greeting = {kVersion, 2, kNoAuthentication, kUserPassword};
  BYTE choice[2];
  if (!proxy.Send(greeting.data(), greeting.size()) || !proxy.ReceiveExact(choice, sizeof choice))
    return "no answer to the greeting";
  if (choice[0] != kVersion) return "not a SOCKS5 server (version " + std::to_string(choice[0]) + ")";
  if (choice[1] == kNoAuthentication) return "";
  if (choice[1] == kNoAcceptableMethod) return "no acceptable authentication method";
  if (choice[1] != kUserPassword || !withPassword)
    return "server chose a method that was not offered (" + std::to_string(choice[1]) + ")";

  std::vector<BYTE> login{kAuthVersion, static_cast<BYTE>(request.userName.size())};
  Append(login, request.userName);
  login.push_back(static_cast<BYTE>(request.password.size()));
  Append(login, request.password);
  BYTE status[2];
  if (!proxy.Send(login.data(), login.size()) || !proxy.ReceiveExact(status, sizeof status))
    return "no answer to the user name and password";
  if (status[1] != 0) return "user name or password refused (status " + std::to_string(status[1]) + ")";
  return "";
}

// The bound address in the reply is of no use to a relay, but it must be read off the stream.
std::string ReadConnectReply(ByteStream& proxy) {
  BYTE head[4];
  if (!proxy.ReceiveExact(head, sizeof head)) return "no answer to the connect request";
  if (head[0] != kVersion) return "not a SOCKS5 reply (version " + std::to_string(head[0]) + ")";
  if (head[1] != 0)
    return "connect refused with reply " + std::to_string(head[1]) + " (" + ReplyText(head[1]) + ")";
  size_t addressSize;
  switch (head[3]) {
    case kAddressIPv4: addressSize = 4; break;
    case kAddressIPv6: addressSize = 16; break;
    case kAddressDomain: {
      BYTE length;
      if (!proxy.ReceiveExact(&length, 1)) return "connect reply cut short";
      addressSize = length;
      break;
    }
    default: return "connect reply with unknown address type " + std::to_string(head[3]);
  }
  BYTE rest[255 + 2];
  if (!proxy.ReceiveExact(rest, addressSize + 2)) return "connect reply cut short";
  return "";
}

}  // namespace

std::string Socks5Connect(ByteStream& proxy, const Socks5Request& request) {
  if (request.userName.size() > kMaxField || request.password.size() > kMaxField)
    return "user name or password longer than 255 bytes";
  if (request.host.empty() || request.host.size() > kMaxField) return "host name empty or longer than 255 bytes";
  if (request.port < 1 || request.port > 65535) return "port " + std::to_string(request.port) + " out of range";
  std::string refused = Negotiate(proxy, request);
  if (!refused.empty()) return refused;

  std::vector<BYTE> connect{kVersion, kConnect, 0};
  BYTE address[4];
  if (ParseIPv4(request.host, address)) {
    connect.push_back(kAddressIPv4);
    connect.insert(connect.end(), address, address + 4);
  } else {
    connect.push_back(kAddressDomain);
    connect.push_back(static_cast<BYTE>(request.host.size()));
    Append(connect, request.host);
  }
  connect.push_back(static_cast<BYTE>(request.port >> 8));
  connect.push_back(static_cast<BYTE>(request.port & 0xFF));
  if (!proxy.Send(connect.data(), connect.size())) return "cannot send the connect request";
  return ReadConnectReply(proxy);
}
