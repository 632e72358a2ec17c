#include "stream_address.h"

#include <algorithm>
#include <cctype>

namespace {

LONG UsualPort(std::string scheme) {
  std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return std::tolower(c); });
  if (scheme == "http") return 80;
  if (scheme == "https" || scheme == "rtmps") return 443;
  if (scheme == "rtmp" || scheme == "rtmpe") return 1935;
  if (scheme == "rtsp") return 554;
  if (scheme == "mms") return 1755;
  return 0;
}

}  // namespace

bool ParseStreamAddress(const std::string& url, StreamAddress& address) {
  const size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string::npos || schemeEnd == 0) return false;
  const size_t start = schemeEnd + 3;
  std::string authority = url.substr(start, url.find_first_of("/?#", start) - start);
  authority.erase(0, authority.rfind('@') + 1);  // user information is not part of the address

  std::string host = authority;
  std::string port;
  if (!authority.empty() && authority[0] == '[') {  // [IPv6]:port
    const size_t close = authority.find(']');
    if (close == std::string::npos) return false;
    host = authority.substr(1, close - 1);
    const std::string rest = authority.substr(close + 1);
    if (!rest.empty() && rest[0] != ':') return false;
    if (!rest.empty()) port = rest.substr(1);
  } else if (const size_t colon = authority.rfind(':'); colon != std::string::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
  }
  if (host.empty()) return false;

  LONG number = UsualPort(url.substr(0, schemeEnd));
  if (!port.empty()) {
    if (port.size() > 5 || !std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c); }))
      return false;
    number = std::stoi(port);
  }
  if (number < 1 || number > 65535) return false;
  address = StreamAddress{host, number};
  return true;
}

std::string HostText(const std::string& host) {
  return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

std::string HostPortText(const std::string& host, LONG port) { return HostText(host) + ":" + std::to_string(port); }
