#include "http_request_head.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "stream_address.h"

namespace {

// A Content-Length of up to 18 digits: far above any body a player sends, and below 2^63, so reading it can
// neither overflow nor throw.
constexpr size_t kMaxLengthDigits = 18;
// A chunk size of up to 15 hex digits (below 2^60), for the same reason.
constexpr size_t kMaxChunkSizeDigits = 15;

char LowerChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsWhitespace(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsWhitespace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsWhitespace(text.back())) text.remove_suffix(1);
  return text;
}

// The bytes of a token (a method, a field name, a coding, a chunk extension's name).
bool IsTokenChar(char c) {
  return (c >= '0' && c <= '9') || (LowerChar(c) >= 'a' && LowerChar(c) <= 'z') ||
         (c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

bool IsToken(std::string_view text) { return !text.empty() && std::all_of(text.begin(), text.end(), IsTokenChar); }

// Visible ASCII, bytes from 0x80 up, and SP or HTAB: no control byte that a reader could take as a line end.
bool IsValueChar(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return c == '\t' || (byte >= 0x20 && byte != 0x7F);
}

// A target's bytes: as a value's, without SP and HTAB.
bool IsTargetChar(char c) { return IsValueChar(c) && !IsWhitespace(c); }

// A digit's value, or 16 for a byte that is no hex digit.
unsigned DigitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  const char lower = LowerChar(c);
  return lower >= 'a' && lower <= 'f' ? static_cast<unsigned>(lower - 'a' + 10) : 16;
}

// Digits of `base` alone, no more than `maxDigits` of them.
bool ReadNumber(std::string_view digits, unsigned base, size_t maxDigits, uint64_t& value) {
  if (digits.empty() || digits.size() > maxDigits) return false;
  value = 0;
  for (const char c : digits) {
    if (DigitValue(c) >= base) return false;
    value = value * base + DigitValue(c);
  }
  return true;
}

// Adds the elements of a comma-separated list to `tokens`, its empty elements left out; false when an
// element is no token.
bool ReadTokenList(std::string_view value, std::vector<std::string_view>& tokens) {
  for (;;) {
    const size_t comma = value.find(',');
    const std::string_view element = Trim(value.substr(0, comma));
    if (!element.empty()) {
      if (!IsToken(element)) return false;
      tokens.push_back(element);
    }
    if (comma == std::string_view::npos) return true;
    value.remove_prefix(comma + 1);
  }
}

// A quoted-string whose bytes, escaped or not, are a value's; `at` moves past its closing quote.
bool SkipQuotedString(std::string_view text, size_t& at) {
  if (at == text.size() || text[at] != '"') return false;
  for (++at; at < text.size(); ++at) {
    if (text[at] == '"') {
      ++at;
      return true;
    }
    if (text[at] == '\\' && ++at == text.size()) return false;
    if (!IsValueChar(text[at])) return false;
  }
  return false;
}

// What may follow a chunk's size: *( BWS ";" BWS name [ BWS "=" BWS ( token / quoted-string ) ] ).
bool IsChunkExtensions(std::string_view text) {
  size_t at = 0;
  const auto skipWhitespace = [&] { while (at < text.size() && IsWhitespace(text[at])) ++at; };
  const auto skipToken = [&] {
    const size_t start = at;
    while (at < text.size() && IsTokenChar(text[at])) ++at;
    return at > start;
  };
  while (at < text.size()) {
    skipWhitespace();
    if (at == text.size() || text[at] != ';') return false;
    ++at;
    skipWhitespace();
    if (!skipToken()) return false;
    const size_t afterName = at;
    skipWhitespace();
    if (at == text.size() || text[at] != '=') {
      at = afterName;
      continue;
    }
    ++at;
    skipWhitespace();
    if (!skipToken() && !SkipQuotedString(text, at)) return false;
  }
  return true;
}

// The head's lines without their CR LF; the empty line that ends the head is left out.
std::vector<std::string_view> Lines(std::string_view head) {
  std::vector<std::string_view> lines;
  for (size_t end = head.find("\r\n"); end != 0 && end != std::string_view::npos; end = head.find("\r\n")) {
    lines.push_back(head.substr(0, end));
    head.remove_prefix(end + 2);
  }
  return lines;
}

// What the request line says, with its target already in origin-form; `error` set when it says nothing usable.
struct RequestLine {
  std::string_view method;
  std::string_view sentTarget;
  std::string target;
  std::string_view version;
  std::string namedAuthority;  // the host an absolute-form target names, lower case, without a port of 80
  std::string error;
};

RequestLine ReadRequestLine(std::string_view line) {
  RequestLine request;
  const size_t first = line.find(' ');
  const size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
  if (second == std::string_view::npos || line.find(' ', second + 1) != std::string_view::npos) {
    request.error = "not a request line";
    return request;
  }
  request.method = line.substr(0, first);
  const std::string_view target = line.substr(first + 1, second - first - 1);
  request.sentTarget = target;
  request.version = line.substr(second + 1);
  if (!IsToken(request.method) || target.empty() || !std::all_of(target.begin(), target.end(), IsTargetChar)) {
    request.error = "not a request line";
    return request;
  }
  if (request.version != "HTTP/1.1" && request.version != "HTTP/1.0") {
    request.error = "not HTTP/1.0 or HTTP/1.1";
    return request;
  }
  if (request.method == "CONNECT") return request;  // authority-form, read by the tunnel's own rule
  if (target[0] == '/' || target == "*") {
    request.target = target;
    return request;
  }
  const size_t scheme = target.find("://");
  if (scheme == std::string_view::npos || scheme == 0) {
    request.error = "a request target that is neither a path nor a URL";
    return request;
  }
  std::string_view rest = target.substr(scheme + 3);
  const size_t pathStart = std::min(rest.find_first_of("/?#"), rest.size());
  std::string_view authority = rest.substr(0, pathStart);
  authority.remove_prefix(authority.rfind('@') + 1);  // user information names no host
  request.namedAuthority = AsciiLower(authority);
  if (request.namedAuthority.size() > 3 && request.namedAuthority.compare(request.namedAuthority.size() - 3, 3, ":80") == 0)
    request.namedAuthority.resize(request.namedAuthority.size() - 3);
  std::string_view path = rest.substr(pathStart);
  path = path.substr(0, path.find('#'));
  request.target = path.empty() || path[0] != '/' ? "/" + std::string(path) : std::string(path);
  return request;
}

// The fields the relay acts on; every other field passes as it came.
enum class Field {
  Other, Host, Connection, ProxyConnection, ProxyAuthorization, ContentLength, TransferEncoding, Upgrade
};

Field Classify(std::string_view name) {
  const std::string lower = AsciiLower(name);
  if (lower == "host") return Field::Host;
  if (lower == "connection") return Field::Connection;
  if (lower == "proxy-connection") return Field::ProxyConnection;
  if (lower == "proxy-authorization") return Field::ProxyAuthorization;
  if (lower == "content-length") return Field::ContentLength;
  if (lower == "transfer-encoding") return Field::TransferEncoding;
  if (lower == "upgrade") return Field::Upgrade;
  return Field::Other;
}

// The source gets its own Host; the proxy fields were meant for the relay.
bool MeantForTheRelay(Field field) {
  return field == Field::Host || field == Field::ProxyConnection || field == Field::ProxyAuthorization;
}

struct FieldLine {
  std::string_view name;
  std::string_view value;
  Field field = Field::Other;
  const char* error = nullptr;
};

// One field line of a head or a trailer: a token, a colon, and a value free of control bytes. A line led by
// whitespace (a fold, or a first field some readers join to the request line) is refused, not joined.
FieldLine ReadField(std::string_view line) {
  FieldLine read;
  if (IsWhitespace(line[0])) {
    read.error = "a field line led by whitespace (a folded line)";
    return read;
  }
  const size_t colon = line.find(':');
  read.name = line.substr(0, colon);
  if (colon == std::string_view::npos || !IsToken(read.name)) {
    read.error = "a field name that is no token";
    return read;
  }
  read.value = Trim(line.substr(colon + 1));
  if (!std::all_of(read.value.begin(), read.value.end(), IsValueChar)) {
    read.error = "a control byte in a field value";
    return read;
  }
  read.field = Classify(read.name);
  // Connection options name the fields a hop removes: a list read two ways keeps a field for one reader.
  std::vector<std::string_view> options;
  if ((read.field == Field::Connection || read.field == Field::ProxyConnection) && !ReadTokenList(read.value, options))
    read.error = "a connection option that is no token";
  return read;
}

void AppendField(std::string& out, const FieldLine& field) {
  out.append(field.name).append(": ").append(field.value).append("\r\n");
}

const char* StatusText(int status) {
  switch (status) {
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 408: return "Request Timeout";
    case 431: return "Request Header Fields Too Large";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Error";
  }
}

}  // namespace

HttpRequestRewriter::HttpRequestRewriter(std::string authority, Notice notice)
    : m_authority(std::move(authority)), m_notice(std::move(notice)) {}

std::string HttpRequestRewriter::Authority(const std::string& host, long port) {
  return port == 80 ? HostText(host) : HostPortText(host, static_cast<LONG>(port));
}

bool HttpRequestRewriter::StartsLikeRequest(std::string_view bytes) {
  const size_t space = bytes.find(' ');
  return space != std::string_view::npos && IsToken(bytes.substr(0, space));
}

std::string HttpRequestRewriter::Response(int status) {
  const std::string body = std::to_string(status) + " " + StatusText(status) + "\r\n";
  return "HTTP/1.1 " + std::to_string(status) + " " + StatusText(status) +
         "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

void HttpRequestRewriter::Observe(std::function<void(const HeadRead&)> head, std::function<void(uint64_t)> ended) {
  m_headObserver = std::move(head);
  m_endObserver = std::move(ended);
}

int HttpRequestRewriter::Feed(const char* data, size_t size, std::string& out) {
  size_t used = 0;
  while (used < size && m_state != State::Refused && m_state != State::Held) {
    const char* next = data + used;
    const size_t left = size - used;
    switch (m_state) {
      case State::Head: used += ReadHead(next, left, out); break;
      case State::Body:
      case State::ChunkData: used += ReadBody(next, left, out); break;
      case State::ChunkEnd: used += ReadChunkEnd(next, out); break;
      default: used += ReadFramingLine(next, left, out); break;
    }
  }
  if (m_state == State::Held) m_held.append(data + used, size - used);
  return m_nStatus;
}

void HttpRequestRewriter::UpgradeDeclined() {
  m_state = State::Head;
  m_nStatus = 0;
}

void HttpRequestRewriter::Refuse(int status, std::string reason) {
  m_state = State::Refused;
  m_nStatus = status;
  m_reason = std::move(reason);
}

// A request that asked to upgrade the connection holds what follows until its answer has come.
void HttpRequestRewriter::RequestEnded() {
  m_state = m_bUpgrade ? State::Held : State::Head;
  if (m_bUpgrade) m_nStatus = kUpgrade;
  if (m_endObserver) m_endObserver(m_nRead);
}

bool HttpRequestRewriter::LineEndsInCrLf() {
  if (m_line.size() >= 2 && m_line[m_line.size() - 2] == '\r') return true;
  Refuse(400, "a line that ends in a bare LF");
  return false;
}

// Takes bytes up to the end of the head, a line at a time; empty lines a player sends between requests are
// skipped.
size_t HttpRequestRewriter::ReadHead(const char* data, size_t size, std::string& out) {
  size_t used = 0;
  while (used < size) {
    const void* found = std::memchr(data + used, '\n', size - used);
    const size_t take = found == nullptr ? size - used : static_cast<size_t>(static_cast<const char*>(found) - data) + 1 - used;
    if (m_line.size() + take > kMaxHeadBytes) {
      Refuse(431, "request head over " + std::to_string(kMaxHeadBytes) + " bytes");
      return used;
    }
    m_line.append(data + used, take);
    used += take;
    if (found == nullptr || !LineEndsInCrLf()) break;
    if (m_line == "\r\n") {
      m_nRead += 2;
      m_line.clear();
    } else if (m_line.size() >= 4 && m_line.compare(m_line.size() - 4, 4, "\r\n\r\n") == 0) {
      PassHead(out);
      m_line.clear();
      break;
    }
  }
  return used;
}

size_t HttpRequestRewriter::ReadBody(const char* data, size_t size, std::string& out) {
  const size_t take = static_cast<size_t>(std::min<uint64_t>(m_nBodyLeft, size));
  out.append(data, take);
  m_nBodyLeft -= take;
  m_nRead += take;
  if (m_nBodyLeft > 0) return take;
  if (m_state == State::Body) RequestEnded();
  else m_state = State::ChunkEnd;
  return take;
}

// The CR LF after a chunk's data, a byte at a time: anything else means the data ran past its size.
size_t HttpRequestRewriter::ReadChunkEnd(const char* data, std::string& out) {
  if (*data != "\r\n"[m_line.size()]) {
    Refuse(400, "chunk data longer than its size");
    return 0;
  }
  m_line += *data;
  if (m_line.size() == 2) {
    out += m_line;
    m_nRead += 2;
    m_line.clear();
    m_state = State::ChunkSize;
  }
  return 1;
}

// A chunk's size line or a trailer line, read whole before it is checked and passed on rebuilt.
size_t HttpRequestRewriter::ReadFramingLine(const char* data, size_t size, std::string& out) {
  const void* found = std::memchr(data, '\n', size);
  const size_t take = found == nullptr ? size : static_cast<size_t>(static_cast<const char*>(found) - data) + 1;
  if (m_line.size() + take > kMaxHeadBytes) {
    Refuse(400, "chunk framing line over " + std::to_string(kMaxHeadBytes) + " bytes");
    return take;
  }
  m_line.append(data, take);
  if (found == nullptr || !LineEndsInCrLf()) return take;
  const std::string_view line(m_line.data(), m_line.size() - 2);
  if (m_state == State::ChunkSize) ChunkSizeLine(line, out);
  else TrailerLine(line, out);
  if (m_state == State::Refused) return take;
  m_nRead += m_line.size();
  m_line.clear();
  if (m_state == State::Head) RequestEnded();
  return take;
}

void HttpRequestRewriter::ChunkSizeLine(std::string_view line, std::string& out) {
  const std::string_view digits = line.substr(0, line.find_first_not_of("0123456789abcdefABCDEF"));
  const std::string_view extensions = line.substr(digits.size());
  if (!ReadNumber(digits, 16, kMaxChunkSizeDigits, m_nBodyLeft) || !IsChunkExtensions(extensions))
    return Refuse(400, "bad chunk size line");
  out.append(digits).append(extensions).append("\r\n");
  m_state = m_nBodyLeft == 0 ? State::Trailer : State::ChunkData;
}

void HttpRequestRewriter::TrailerLine(std::string_view line, std::string& out) {
  if (line.empty()) {
    out += "\r\n";
    m_state = State::Head;  // the trailer's end: the request is complete
    return;
  }
  const FieldLine field = ReadField(line);
  if (field.error != nullptr) return Refuse(400, std::string("in a trailer, ") + field.error);
  if (field.field == Field::ContentLength || field.field == Field::TransferEncoding)
    return Refuse(400, "a trailer field that frames the body");
  if (!MeantForTheRelay(field.field)) AppendField(out, field);
}

void HttpRequestRewriter::PassHead(std::string& out) {
  const std::vector<std::string_view> lines = Lines(m_line);
  const RequestLine request = ReadRequestLine(lines.at(0));
  if (!request.error.empty()) return Refuse(400, request.error);

  std::string head;
  head.reserve(m_line.size() + m_authority.size() + 16);
  head.append(request.method).append(" ").append(request.target).append(" ").append(request.version);
  head.append("\r\nHost: ").append(m_authority).append("\r\n");
  std::vector<std::string_view> codings;
  bool hasLength = false;
  uint64_t length = 0;
  m_bUpgrade = false;
  for (size_t i = 1; i < lines.size(); ++i) {
    const FieldLine field = ReadField(lines[i]);
    if (field.error != nullptr) return Refuse(400, field.error);
    if (field.field == Field::ContentLength) {
      uint64_t value = 0;
      if (!ReadNumber(field.value, 10, kMaxLengthDigits, value) || (hasLength && value != length))
        return Refuse(400, "bad Content-Length");
      hasLength = true;
      length = value;
    } else if (field.field == Field::TransferEncoding) {
      const size_t before = codings.size();
      if (!ReadTokenList(field.value, codings) || codings.size() == before) return Refuse(400, "bad Transfer-Encoding");
    }
    m_bUpgrade = m_bUpgrade || field.field == Field::Upgrade;
    if (!MeantForTheRelay(field.field)) AppendField(head, field);
  }
  if (request.method == "CONNECT") {
    if (hasLength || !codings.empty()) return Refuse(400, "a CONNECT with a body");
    return TakeConnect(request.sentTarget);
  }
  // A body's end must be certain, or the next request's head could be read from inside it: chunked comes
  // last and once, and never beside a length.
  const auto isChunked = [](std::string_view coding) { return AsciiLower(coding) == "chunked"; };
  const bool chunked = !codings.empty() && isChunked(codings.back()) &&
                       std::count_if(codings.begin(), codings.end(), isChunked) == 1;
  if (!codings.empty() && (!chunked || hasLength)) return Refuse(400, "a body whose length is not certain");
  // The source's first bytes after an upgrade request must be its answer, so no earlier answer may be due.
  if (m_bUpgrade && m_nRequests > 0) return Refuse(400, "an upgrade after other requests on the connection");
  head.append("\r\n");

  if (!request.namedAuthority.empty() && request.namedAuthority != AsciiLower(m_authority) && m_notice)
    m_notice("request names " + request.namedAuthority + ", sent to the configured source " + m_authority);
  out += head;
  ++m_nRequests;
  m_nRead += m_line.size();
  const Framing framing = chunked ? Framing::Chunked : (hasLength ? Framing::Length : Framing::None);
  if (m_headObserver) m_headObserver({request.method, request.sentTarget, framing, length, m_nRead});
  m_nBodyLeft = length;
  if (chunked) m_state = State::ChunkSize;
  else if (length > 0) m_state = State::Body;
  else RequestEnded();
}

// A CONNECT's target is HOST:PORT (authority-form), the host as a configured one must be. Nothing of it goes
// on: the relay answers it itself, and what follows is the tunnel's.
void HttpRequestRewriter::TakeConnect(std::string_view target) {
  const size_t colon = target.rfind(':');
  std::string host(target.substr(0, colon == std::string_view::npos ? 0 : colon));
  uint64_t port = 0;
  if (colon == std::string_view::npos || !CheckHost(host).empty() ||
      !ReadNumber(target.substr(colon + 1), 10, 5, port) || port == 0 || port > 65535)
    return Refuse(400, "a CONNECT target that is no host and port");
  m_tunnel = Target{AsciiLower(host), static_cast<long>(port)};
  m_nRead += m_line.size();
  if (m_headObserver) m_headObserver({"CONNECT", target, Framing::None, 0, m_nRead});
  if (m_endObserver) m_endObserver(m_nRead);
  m_state = State::Held;
  m_nStatus = kTunnel;
}
