#include "http_connect_client.h"

#include <cctype>

#include "stream_address.h"

namespace {

// A proxy's answer is a few hundred bytes; one that goes on without end is no proxy.
constexpr size_t kMaxAnswerBytes = 16 * 1024;

// The answer's head, read a byte at a time: what follows it is already the target's and stays unread.
bool ReadHead(ByteStream& proxy, std::string& head) {
  char byte;
  while (head.size() < kMaxAnswerBytes && proxy.ReceiveExact(&byte, 1)) {
    head += byte;
    const size_t size = head.size();
    if (byte == '\n' && ((size >= 2 && head[size - 2] == '\n') || (size >= 3 && head.compare(size - 3, 3, "\n\r\n") == 0)))
      return true;
  }
  return false;
}

}  // namespace

std::string HttpConnect(ByteStream& proxy, const std::string& host, LONG port, const std::string& extraHeader) {
  const std::string authority = HostPortText(host, port);
  std::string request = "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n";
  // A line break inside the header text would start header lines nobody configured.
  const std::string header = extraHeader.substr(0, extraHeader.find_first_of("\r\n"));
  if (!header.empty()) request += header + "\r\n";
  request += "\r\n";
  if (!proxy.Send(request.data(), request.size())) return "cannot send the CONNECT request";
  std::string head;
  if (!ReadHead(proxy, head)) return head.empty() ? "no answer to the CONNECT request" : "answer cut short or too long";
  const std::string statusLine = head.substr(0, head.find_first_of("\r\n"));
  const bool http = statusLine.compare(0, 7, "HTTP/1.") == 0 && statusLine.size() >= 12 && statusLine[8] == ' ';
  if (!http || !std::isdigit(static_cast<unsigned char>(statusLine[9]))) return "not an HTTP answer: " + statusLine;
  if (statusLine[9] != '2') return "CONNECT refused: " + statusLine;
  return "";
}
