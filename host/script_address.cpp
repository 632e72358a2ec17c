#include "script_address.h"

#include <cctype>

#include "config/url_parser.h"

namespace {

// RFC 3986: a letter, then letters, digits, "+", "-" and ".". "127.0.0.1:18081/x" has none, though the
// library's cracker would take "127.0.0.1" for one.
bool IsScheme(const std::string& text) {
  if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) return false;
  for (const char c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

// The port the URL names after its host ("" when none): SCHEME://[USER@]HOST[:PORT][/...].
std::string UrlPortToken(const std::string& url, size_t authorityStart) {
  const size_t authorityEnd = url.find_first_of("/?#", authorityStart);
  std::string authority = url.substr(authorityStart, authorityEnd - authorityStart);
  authority = authority.substr(authority.rfind('@') == std::string::npos ? 0 : authority.rfind('@') + 1);
  const size_t hostEnd = !authority.empty() && authority[0] == '[' ? authority.find(']') : 0;  // IPv6 has colons
  const size_t colon = authority.find(':', hostEnd == std::string::npos ? authority.size() : hostEnd);
  return colon == std::string::npos ? "" : authority.substr(colon + 1);
}

}  // namespace

void ReadProxyPair(ScriptLine& line, std::string& first, std::optional<std::string>& second) {
  const std::string pair = line.Text("HOST:PORT[|HOST:PORT]");
  const size_t bar = pair.find('|');
  first = pair.substr(0, bar);
  if (bar != std::string::npos) second = pair.substr(bar + 1);
  if (first.empty() && !second.value_or("").empty())
    line.Fail("a first proxy address before the second, found " + Quoted(pair));
  for (const std::string& part : {first, second.value_or("")}) {
    if (part.empty()) continue;  // "|" turns the chain off; "HOST:PORT|" clears the second hop
    const size_t colon = part.rfind(':');
    int64_t port = 0;
    if (colon == std::string::npos)
      line.Fail("a proxy address HOST:PORT with a port " + RangeText(kPortRange) + ", found " + Quoted(part));
    if (colon == 0) line.Fail("a proxy address HOST:PORT with a host, found " + Quoted(part));
    if (!ReadNumber(part.substr(colon + 1), kPortRange, port))
      line.Fail("a port " + RangeText(kPortRange) + ", found " + Quoted(part.substr(colon + 1)));
  }
}

std::string ReadStreamUrl(ScriptLine& line) {
  const std::string url = line.Text("a URL");
  const size_t separator = url.find("://");
  if (separator == std::string::npos || !IsScheme(url.substr(0, separator)))
    line.Fail("a URL SCHEME://HOST[:PORT][/PATH], found " + Quoted(url));
  // The library refuses such a port too, but only the script can say which token it was.
  const std::string port = UrlPortToken(url, separator + 3);
  const bool decimal = port.find_first_not_of("0123456789") == std::string::npos;
  int64_t value = 0;
  if (!port.empty() && !(decimal && ReadNumber(port, kPortRange, value)))
    line.Fail("a URL port " + RangeText(kPortRange) + ", found " + Quoted(port));
  CQELURLParser parser;
  if (!parser.Parse(url.c_str())) line.Fail("a URL the library can take apart, found " + Quoted(url));
  // A file URL needs none: the library ignores it.
  if (parser.GetHost()[0] == '\0' && parser.Components().nScheme != INTERNET_SCHEME_FILE)
    line.Fail("a URL with a host, found " + Quoted(url));
  return url;
}
