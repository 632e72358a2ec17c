#include "http_request_head.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "stream_address.h"

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The head's lines without their line ends; the empty line that ends the head is left out.
std::vector<std::string_view> Lines(std::string_view head) {
  std::vector<std::string_view> lines;
  while (!head.empty()) {
    const size_t end = head.find('\n');
    std::string_view line = head.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;
    lines.push_back(line);
    head.remove_prefix(end == std::string_view::npos ? head.size() : end + 1);
  }
  return lines;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// What the request line says, with its target already in origin-form; `error` set when it says nothing usable.
struct RequestLine {
  std::string_view method;
  std::string target;
  std::string_view version;
  std::string namedAuthority;  // the host an absolute-form target names, lower case
  std::string error;
};

RequestLine ReadRequestLine(std::string_view line) {
  RequestLine request;
  const size_t first = line.find(' ');
  const size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
  if (second == std::string_view::npos || line.find(' ', second + 1) != std::string_view::npos || first == 0) {
    request.error = "not a request line";
    return request;
  }
  request.method = line.substr(0, first);
  std::string_view target = line.substr(first + 1, second - first - 1);
  request.version = line.substr(second + 1);
  if (request.version.size() != 8 || request.version.substr(0, 7) != "HTTP/1." ||
      !std::isdigit(static_cast<unsigned char>(request.version[7]))) {
    request.error = "not HTTP/1.x";
    return request;
  }
  if (!target.empty() && (target[0] == '/' || target == "*")) {
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
  request.namedAuthority = Lower(authority);
  if (request.namedAuthority.size() > 3 && request.namedAuthority.compare(request.namedAuthority.size() - 3, 3, ":80") == 0)
    request.namedAuthority.resize(request.namedAuthority.size() - 3);
  std::string_view path = rest.substr(pathStart);
  const size_t fragment = path.find('#');
  if (fragment != std::string_view::npos) path = path.substr(0, fragment);
  request.target = path.empty() || path[0] != '/' ? "/" + std::string(path) : std::string(path);
  return request;
}

// The header fields the relay acts on; every other field passes as it came.
enum class Field { Other, Host, ProxyOnly, ContentLength, TransferEncoding };

Field Classify(std::string_view name) {
  const std::string lower = Lower(name);
  if (lower == "host") return Field::Host;
  if (lower == "proxy-connection" || lower == "proxy-authorization") return Field::ProxyOnly;
  if (lower == "content-length") return Field::ContentLength;
  if (lower == "transfer-encoding") return Field::TransferEncoding;
  return Field::Other;
}

const char* StatusText(int status) {
  switch (status) {
    case 400: return "Bad Request";
    case 405: return "Method Not Allowed";
    case 431: return "Request Header Fields Too Large";
    case 502: return "Bad Gateway";
    default: return "Error";
  }
}

}  // namespace

HttpRequestRewriter::HttpRequestRewriter(std::string authority, Notice notice)
    : m_authority(std::move(authority)), m_notice(std::move(notice)) {}

std::string HttpRequestRewriter::Authority(const std::string& host, long port) {
  return port == 80 ? HostText(host) : HostPortText(host, static_cast<LONG>(port));
}

std::string HttpRequestRewriter::Response(int status) {
  const std::string body = std::to_string(status) + " " + StatusText(status) + "\r\n";
  return "HTTP/1.1 " + std::to_string(status) + " " + StatusText(status) +
         "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

int HttpRequestRewriter::Feed(const char* data, size_t size, std::string& out) {
  for (size_t used = 0; used < size && m_state != State::Refused;) {
    const char* next = data + used;
    const size_t left = size - used;
    switch (m_state) {
      case State::Head: used += ReadHead(next, left, out); break;
      case State::Body:
      case State::ChunkData: used += ReadBody(next, left, out); break;
      default: used += ReadFramingLine(next, left, out); break;
    }
  }
  return m_nStatus;
}

void HttpRequestRewriter::Refuse(int status, std::string reason) {
  m_state = State::Refused;
  m_nStatus = status;
  m_reason = std::move(reason);
}

// Takes bytes up to the end of the head; the empty lines a player may send between requests are skipped.
size_t HttpRequestRewriter::ReadHead(const char* data, size_t size, std::string& out) {
  size_t used = 0;
  if (m_line.empty())
    while (used < size && (data[used] == '\r' || data[used] == '\n')) ++used;
  while (used < size) {
    const void* found = std::memchr(data + used, '\n', size - used);
    const size_t take = found == nullptr ? size - used : static_cast<size_t>(static_cast<const char*>(found) - data) + 1 - used;
    if (m_line.size() + take > kMaxHeadBytes) {
      Refuse(431, "request head over " + std::to_string(kMaxHeadBytes) + " bytes");
      return used;
    }
    m_line.append(data + used, take);
    used += take;
    if (found == nullptr) break;
    const size_t length = m_line.size();
    if ((length >= 2 && m_line[length - 2] == '\n') || (length >= 3 && m_line.compare(length - 3, 3, "\n\r\n") == 0)) {
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
  if (m_nBodyLeft == 0) m_state = m_state == State::Body ? State::Head : State::ChunkEnd;
  return take;
}

// A chunk's size line, the line end after its data, or a trailer line: read whole, then passed on unchanged.
size_t HttpRequestRewriter::ReadFramingLine(const char* data, size_t size, std::string& out) {
  const void* found = std::memchr(data, '\n', size);
  const size_t take = found == nullptr ? size : static_cast<size_t>(static_cast<const char*>(found) - data) + 1;
  if (m_line.size() + take > kMaxHeadBytes) {
    Refuse(400, "chunk framing line over " + std::to_string(kMaxHeadBytes) + " bytes");
    return take;
  }
  m_line.append(data, take);
  if (found != nullptr) FramingLineDone(out);
  return take;
}

void HttpRequestRewriter::FramingLineDone(std::string& out) {
  std::string_view line(m_line);
  line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (m_state == State::ChunkSize) {
    const size_t digits = std::min(line.find_first_not_of("0123456789abcdefABCDEF"), line.size());
    const std::string_view rest = line.substr(digits);
    if (digits == 0 || digits > 15 || (!rest.empty() && rest[0] != ';' && rest[0] != ' ' && rest[0] != '\t'))
      return Refuse(400, "bad chunk size line");
    m_nBodyLeft = std::stoull(std::string(line.substr(0, digits)), nullptr, 16);
    m_state = m_nBodyLeft == 0 ? State::Trailer : State::ChunkData;
  } else if (m_state == State::ChunkEnd) {
    if (!line.empty()) return Refuse(400, "chunk data longer than its size");
    m_state = State::ChunkSize;
  } else if (line.empty()) {
    m_state = State::Head;  // the trailer's end: the request is complete
  }
  out += m_line;
  m_line.clear();
}

void HttpRequestRewriter::PassHead(std::string& out) {
  const std::vector<std::string_view> lines = Lines(m_line);
  const RequestLine request = ReadRequestLine(lines.at(0));
  if (request.method == "CONNECT") return Refuse(405, "CONNECT is not relayed: the relay reaches its source only");
  if (!request.error.empty()) return Refuse(400, request.error);

  std::string head;
  head.reserve(m_line.size() + m_authority.size() + 16);
  head.append(request.method).append(" ").append(request.target).append(" ").append(request.version);
  head.append("\r\nHost: ").append(m_authority).append("\r\n");
  bool chunked = false, framed = false;
  std::string length;
  Field previous = Field::Other;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    Field field = previous;  // a folded line continues the field before it
    if (line[0] != ' ' && line[0] != '\t') {
      const size_t colon = line.find(':');
      if (colon == std::string_view::npos || colon == 0 || line[colon - 1] == ' ' || line[colon - 1] == '\t')
        return Refuse(400, "a header line that is no field");
      field = Classify(line.substr(0, colon));
      const std::string_view value = Trim(line.substr(colon + 1));
      if (field == Field::ContentLength) {
        if (!AllDigits(value) || value.size() > 18 || (!length.empty() && length != value))
          return Refuse(400, "bad Content-Length");
        length = value;
      } else if (field == Field::TransferEncoding) {
        const size_t comma = value.rfind(',');
        chunked = Lower(Trim(comma == std::string_view::npos ? value : value.substr(comma + 1))) == "chunked";
        framed = true;
      }
    }
    previous = field;
    if (field == Field::Host || field == Field::ProxyOnly) continue;
    head.append(line).append("\r\n");
  }
  // A body's end must be certain, or the next request's head could be read from inside it.
  if (framed && (!chunked || !length.empty())) return Refuse(400, "a body whose length is not certain");
  head.append("\r\n");

  if (!request.namedAuthority.empty() && request.namedAuthority != Lower(m_authority) && m_notice)
    m_notice("request names " + request.namedAuthority + ", sent to the configured source " + m_authority);
  out += head;
  ++m_nRequests;
  m_nBodyLeft = length.empty() ? 0 : std::stoull(length);
  m_state = chunked ? State::ChunkSize : (m_nBodyLeft > 0 ? State::Body : State::Head);
}
