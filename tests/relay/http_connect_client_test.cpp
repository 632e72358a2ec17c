#include "http_connect_client.h"

#include <gtest/gtest.h>

#include "handshake_conversation.h"

namespace {

// The way the relay reads a PLUG proxy: each answer fed whole and a byte at a time.
TEST(HttpConnectClient, AsksForTheTunnelAndReadsTheAnswerUpToItsHeadOnly) {
  const std::string request = "CONNECT media.example:8080 HTTP/1.1\r\nHost: media.example:8080\r\nX-Plug: 7\r\n\r\n";
  const struct {
    std::string answer;
    std::string error;
    size_t unread;  // the target's bytes after the head
  } rows[] = {
      {"HTTP/1.1 200 Connection established\r\n\r\nRTMP", "", 4},
      {"HTTP/1.0 200 OK\n\n", "", 0},
      {"HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 0\r\n\r\n",
       "CONNECT refused: HTTP/1.1 407 Proxy Authentication Required", 0},
      {"SSH-2.0-OpenSSH\r\n\r\n", "not an HTTP answer: SSH-2.0-OpenSSH", 0},
      {"", "no answer to the CONNECT request", 0},
      {"HTTP/1.1 200 OK\r\n", "answer cut short or too long", 0},
      {"HTTP/1.1 200 OK\r\nX: " + std::string(16 * 1024, 'x'), "answer cut short or too long", 0},
  };
  // The PLUG header ends at its first line break, whichever: a proxy may take a bare LF or CR for one too.
  const char* headers[] = {"X-Plug: 7\r\nX-Injected: no", "X-Plug: 7\nX-Injected: no", "X-Plug: 7\rX-Injected: no"};
  for (const char* header : headers) {
    for (const auto& row : rows) {
      for (const size_t piece : {row.answer.size() + 1, size_t{1}}) {
        SCOPED_TRACE(row.answer.substr(0, 40) + (piece == 1 ? ", a byte at a time" : ", whole"));
        HttpConnectHandshake handshake("media.example", 8080, header);
        const Conversation talk = Converse(handshake, Text(row.answer), piece);
        EXPECT_EQ(talk.sent, Text(request)) << header;
        EXPECT_EQ(talk.error, row.error);
        if (row.error.empty()) {
          EXPECT_EQ(talk.unread, row.unread);
        }
      }
    }
  }
}

}  // namespace
