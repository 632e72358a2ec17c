#include "config/portable_url_cracker.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

namespace {

struct CrackedUrl {
  std::string scheme;
  INTERNET_SCHEME number = INTERNET_SCHEME_UNKNOWN;
  std::string user;
  std::string password;
  std::string host;
  INTERNET_PORT port = 0;
  std::string path;
  std::string extra;
  bool portFits = true;  // false when the URL names a port that a 16-bit field cannot carry
};

struct SchemeInfo {
  const char* name;
  INTERNET_SCHEME number;
  INTERNET_PORT defaultPort;
};

// Only ftp, http and https get a default port from the platform; every other scheme reports 0.
constexpr SchemeInfo kSchemes[] = {
    {"ftp", INTERNET_SCHEME_FTP, 21},         {"gopher", INTERNET_SCHEME_GOPHER, 0},
    {"http", INTERNET_SCHEME_HTTP, 80},       {"https", INTERNET_SCHEME_HTTPS, 443},
    {"file", INTERNET_SCHEME_FILE, 0},        {"news", INTERNET_SCHEME_NEWS, 0},
    {"mailto", INTERNET_SCHEME_MAILTO, 0},    {"socks", INTERNET_SCHEME_SOCKS, 0},
    {"javascript", INTERNET_SCHEME_JAVASCRIPT, 0}, {"vbscript", INTERNET_SCHEME_VBSCRIPT, 0},
    {"res", INTERNET_SCHEME_RES, 0},
};
constexpr SchemeInfo kUnknownScheme = {"", INTERNET_SCHEME_UNKNOWN, 0};

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSchemeChar(char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '+' || c == '-' || c == '.'; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int HexValue(char c) {
  if (IsAsciiDigit(c)) return c - '0';
  const char lower = AsciiLower(c);
  if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
  return -1;
}

// One pass over the whole text: an escaped separator separates, and an escaped NUL ends the text.
std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      c = static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    }
    if (c == '\0') break;
    out.push_back(c);
  }
  return out;
}

const SchemeInfo& LookUpScheme(std::string_view scheme) {
  for (const SchemeInfo& info : kSchemes) {
    const std::string_view name(info.name);
    if (name.size() != scheme.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) same = AsciiLower(scheme[i]) == name[i];
    if (same) return info;
  }
  return kUnknownScheme;
}

std::string WithBackslashes(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

// An explicit port is decimal digits naming 0 to 65535; an empty one counts as 0, as the platform reads
// it. Anything else (a sign, a letter, 65536 and above) names no port a 16-bit field can carry: the
// platform would keep its low 16 bits and hand on a port nobody asked for, so the URL is refused.
bool ReadPort(std::string_view text, INTERNET_PORT& port) {
  uint32_t value = 0;
  for (char c : text) {
    if (!IsAsciiDigit(c)) return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
    if (value > 0xFFFFu) return false;
  }
  port = static_cast<INTERNET_PORT>(value);
  return true;
}

void SplitPathAndExtra(std::string_view text, CrackedUrl& url) {
  const size_t start = text.find_first_of("?#");
  url.path = std::string(text.substr(0, start));
  if (start != std::string_view::npos) url.extra = std::string(text.substr(start));
}

// A port colon is the last one of the host part; a bracketed address keeps its own colons.
size_t FindPortColon(std::string_view hostPort) {
  const size_t colon = hostPort.rfind(':');
  if (!hostPort.empty() && hostPort.front() == '[') {
    const size_t close = hostPort.find(']');
    if (close != std::string_view::npos && colon < close) return std::string_view::npos;
  }
  return colon;
}

// "//[user[:password]@]host[:port]" then the path; the authority ends at the first '/' or '?'.
void CrackAuthorityForm(std::string_view rest, INTERNET_PORT defaultPort, CrackedUrl& url) {
  const size_t end = rest.find_first_of("/?");
  const std::string_view authority = rest.substr(0, end);
  const std::string_view remainder = end == std::string_view::npos ? std::string_view() : rest.substr(end);

  std::string_view hostPort = authority;
  const size_t at = authority.find('@');
  if (at != std::string_view::npos) {
    const std::string_view userInfo = authority.substr(0, at);
    const size_t colon = userInfo.rfind(':');
    url.user = std::string(userInfo.substr(0, colon));
    if (colon != std::string_view::npos) url.password = std::string(userInfo.substr(colon + 1));
    hostPort = authority.substr(at + 1);
  }

  const size_t portColon = FindPortColon(hostPort);
  url.host = std::string(hostPort.substr(0, portColon));
  url.port = defaultPort;
  if (portColon != std::string_view::npos) url.portFits = ReadPort(hostPort.substr(portColon + 1), url.port);

  SplitPathAndExtra(remainder, url);
  // A bare "scheme://host[:port]" names the root; the platform does not add it when user data is given.
  if (remainder.empty() && !authority.empty() && at == std::string_view::npos) url.path = "/";
}

// A file URL becomes a local path ("file:///c:/x" gives "c:\x") or, with a server, a share name that the
// platform reports as the host ("file://server/share" gives "\\server\share").
void CrackFileForm(std::string_view rest, CrackedUrl& url) {
  if (rest.size() >= 2 && rest.substr(0, 2) == "//" && (rest.size() == 2 || rest[2] != '/')) {
    const std::string_view share = rest.substr(2);
    url.host = "\\\\" + WithBackslashes(share);
    if (!share.empty() && share.find('/') == std::string_view::npos) url.host += '\\';
    return;
  }
  std::string_view path = rest.substr(0, 2) == "//" ? rest.substr(2) : rest;
  if (path.size() >= 3 && path[0] == '/' && IsAsciiLetter(path[1]) && path[2] == ':') path.remove_prefix(1);
  url.path = WithBackslashes(path);
}

bool Crack(std::string_view text, CrackedUrl& url) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  const std::string_view scheme = text.substr(0, colon);
  for (char c : scheme) {
    if (!IsSchemeChar(c)) return false;
  }
  // One character before the colon is a drive letter: the whole text is a local path.
  if (scheme.size() == 1) {
    url.scheme = "file";
    url.number = INTERNET_SCHEME_FILE;
    url.path = WithBackslashes(text);
    return true;
  }
  const SchemeInfo& info = LookUpScheme(scheme);
  url.scheme = std::string(scheme);
  url.number = info.number;
  const std::string_view rest = text.substr(colon + 1);
  if (info.number == INTERNET_SCHEME_FILE) {
    CrackFileForm(rest, url);
  } else if (rest.substr(0, 2) == "//") {
    CrackAuthorityForm(rest.substr(2), info.defaultPort, url);
  } else {
    SplitPathAndExtra(rest, url);
  }
  return true;
}

bool WantsPiece(char* buffer, DWORD length) { return length == 0 || buffer != nullptr; }

// A piece fits when its text and its NUL fit the buffer; the length then says how many characters it has.
// When it does not fit, the length says how many bytes it would need.
bool StorePiece(const std::string& piece, char* buffer, DWORD& length) {
  if (length == 0) return true;
  if (piece.size() >= length) {
    length = static_cast<DWORD>(piece.size() + 1);
    return false;
  }
  std::memcpy(buffer, piece.data(), piece.size());
  buffer[piece.size()] = '\0';
  length = static_cast<DWORD>(piece.size());
  return true;
}

bool StorePieces(const CrackedUrl& url, URL_COMPONENTSA& uc) {
  uc.nScheme = url.number;
  uc.nPort = url.port;
  return StorePiece(url.scheme, uc.lpszScheme, uc.dwSchemeLength) &&
         StorePiece(url.host, uc.lpszHostName, uc.dwHostNameLength) &&
         StorePiece(url.user, uc.lpszUserName, uc.dwUserNameLength) &&
         StorePiece(url.password, uc.lpszPassword, uc.dwPasswordLength) &&
         StorePiece(url.path, uc.lpszUrlPath, uc.dwUrlPathLength) &&
         StorePiece(url.extra, uc.lpszExtraInfo, uc.dwExtraInfoLength);
}

bool HasEveryBuffer(const URL_COMPONENTSA& uc) {
  return WantsPiece(uc.lpszScheme, uc.dwSchemeLength) && WantsPiece(uc.lpszHostName, uc.dwHostNameLength) &&
         WantsPiece(uc.lpszUserName, uc.dwUserNameLength) && WantsPiece(uc.lpszPassword, uc.dwPasswordLength) &&
         WantsPiece(uc.lpszUrlPath, uc.dwUrlPathLength) && WantsPiece(uc.lpszExtraInfo, uc.dwExtraInfoLength);
}

std::string TextToCrack(std::string_view raw, DWORD flags) {
  return (flags & ICU_DECODE) ? Unescape(raw) : std::string(raw);
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

BOOL PortableCrackUrl(const char* url, DWORD urlLength, DWORD flags, URL_COMPONENTSA* components) {
  if (url == nullptr || components == nullptr || components->dwStructSize != sizeof(URL_COMPONENTSA) ||
      !HasEveryBuffer(*components)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const std::string_view raw(url, urlLength == 0 ? std::strlen(url) : urlLength);
  if (raw.empty()) return Fail(ERROR_INVALID_PARAMETER);
  try {
    CrackedUrl cracked;
    if (!Crack(TextToCrack(raw, flags), cracked)) return Fail(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    if (!cracked.portFits) return Fail(ERROR_INTERNET_INVALID_URL);
    if (!StorePieces(cracked, *components)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    return TRUE;
  } catch (const std::bad_alloc&) {
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
}

bool UrlNamesUnfitPort(const char* url, DWORD urlLength, DWORD flags) {
  if (url == nullptr) return false;
  try {
    CrackedUrl cracked;
    return Crack(TextToCrack(std::string_view(url, urlLength == 0 ? std::strlen(url) : urlLength), flags), cracked) &&
           !cracked.portFits;
  } catch (const std::bad_alloc&) {
    return false;
  }
}
