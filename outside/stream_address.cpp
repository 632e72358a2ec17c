#include "stream_address.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

LONG UsualPort(std::string_view given) {
  const std::string scheme = AsciiLower(given);
  if (scheme == "http") return 80;
  if (scheme == "https" || scheme == "rtmps") return 443;
  if (scheme == "rtmp" || scheme == "rtmpe") return 1935;
  if (scheme == "rtsp") return 554;
  if (scheme == "mms") return 1755;
  return 0;
}

// The bytes of a host name (letters, digits, '-', '.', and '_', which some names of services hold); an IPv4
// address is written with them too.
bool IsNameByte(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

bool IsDecimalByte(std::string_view part) {
  return !part.empty() && part.size() <= 3 &&
         std::all_of(part.begin(), part.end(), [](unsigned char c) { return std::isdigit(c); }) &&
         std::stoi(std::string(part)) <= 255;
}

bool IsIPv4(std::string_view text) {
  for (int part = 0; part < 4; ++part) {
    const size_t dot = part < 3 ? text.find('.') : text.size();
    if (dot == std::string_view::npos || !IsDecimalByte(text.substr(0, dot))) return false;
    text.remove_prefix(std::min(dot + 1, text.size()));
  }
  return true;
}

// The 16-bit groups of one side of an IPv6 address's "::", the last of the address perhaps an IPv4 address
// (two groups); -1 when the text is no such list.
int Groups(std::string_view text, bool last) {
  if (text.empty()) return 0;
  int groups = 0;
  for (;;) {
    const size_t colon = text.find(':');
    const std::string_view group = text.substr(0, colon);
    if (colon == std::string_view::npos && last && group.find('.') != std::string_view::npos)
      return IsIPv4(group) ? groups + 2 : -1;
    if (group.empty() || group.size() > 4 || !std::all_of(group.begin(), group.end(), [](unsigned char c) {
          return std::isxdigit(c);
        }))
      return -1;
    ++groups;
    if (colon == std::string_view::npos) return groups;
    text.remove_prefix(colon + 1);
  }
}

// An IPv6 address as RFC 4291 writes it, with a zone ("%eth0") perhaps.
bool IsIPv6(std::string_view text) {
  const size_t zone = text.find('%');
  if (zone != std::string_view::npos) {
    const std::string_view name = text.substr(zone + 1);
    if (name.empty() || !std::all_of(name.begin(), name.end(), IsNameByte)) return false;
    text = text.substr(0, zone);
  }
  const size_t elision = text.find("::");
  if (elision == std::string_view::npos) return Groups(text, true) == 8;
  if (text.find("::", elision + 1) != std::string_view::npos) return false;
  const int before = Groups(text.substr(0, elision), false);
  const int after = Groups(text.substr(elision + 2), true);
  return before >= 0 && after >= 0 && before + after <= 7;
}

}  // namespace

std::string CheckHost(std::string& host) {
  const auto control = [](unsigned char c) { return c < 0x20 || c == 0x7F; };
  if (host.empty()) return "is empty";
  if (std::any_of(host.begin(), host.end(), control)) return "holds a control byte";
  if (host.find(' ') != std::string::npos) return "holds a space";
  // "[::1]" as a URL writes it, or "::1" as a resolver does: one pair of brackets at most.
  std::string bare = host;
  if (bare.front() == '[' && bare.back() == ']') bare = bare.substr(1, bare.size() - 2);
  if (bare.find(':') != std::string::npos || bare.size() != host.size()) {
    if (!IsIPv6(bare)) return "is no IPv6 address in one pair of brackets";
    host = bare;
    return "";
  }
  if (!std::all_of(host.begin(), host.end(), IsNameByte)) return "holds a byte no host name holds";
  return "";
}

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
    host = authority.substr(0, close + 1);
    const std::string rest = authority.substr(close + 1);
    if (!rest.empty() && rest[0] != ':') return false;
    if (!rest.empty()) port = rest.substr(1);
  } else if (const size_t colon = authority.rfind(':'); colon != std::string::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
  }
  if (!CheckHost(host).empty()) return false;

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

std::string HostText(const std::string& host) { return IsIPv6(host) ? "[" + host + "]" : host; }

std::string HostPortText(const std::string& host, LONG port) { return HostText(host) + ":" + std::to_string(port); }

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}
