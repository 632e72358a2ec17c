#include "http_connect_client.h"

#include "http_status_line.h"
#include "stream_address.h"

namespace {

// A proxy's answer is a few hundred bytes; one that goes on without end is no proxy.
constexpr size_t kMaxAnswerBytes = 16 * 1024;

bool HeadEnds(const std::string& head) {
  const size_t size = head.size();
  return head.back() == '\n' &&
         ((size >= 2 && head[size - 2] == '\n') || (size >= 3 && head.compare(size - 3, 3, "\n\r\n") == 0));
}

}  // namespace

HttpConnectHandshake::HttpConnectHandshake(const std::string& host, LONG port, const std::string& extraHeader) {
  const std::string authority = HostPortText(host, port);
  std::string request = "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n";
  // A line break inside the header text would start header lines nobody configured.
  const std::string header = extraHeader.substr(0, extraHeader.find_first_of("\r\n"));
  if (!header.empty()) request += header + "\r\n";
  Send(request + "\r\n");
}

std::string HttpConnectHandshake::Unanswered() const {
  return m_head.empty() ? "no answer to the CONNECT request" : "answer cut short or too long";
}

// Takes bytes up to the end of the answer's head: what follows it is already the target's.
size_t HttpConnectHandshake::Feed(const char* data, size_t size) {
  size_t used = 0;
  while (used < size && GetState() == State::Talking) {
    m_head += data[used++];
    if (HeadEnds(m_head))
      HeadRead();
    else if (m_head.size() >= kMaxAnswerBytes)
      Fail(Unanswered());
  }
  return used;
}

void HttpConnectHandshake::HeadRead() {
  const std::string statusLine = m_head.substr(0, m_head.find_first_of("\r\n"));
  const int status = HttpStatusOf(statusLine);
  if (status == 0) return Fail("not an HTTP answer: " + statusLine);
  if (status / 100 != 2) return Fail("CONNECT refused: " + statusLine);
  Finish();
}
