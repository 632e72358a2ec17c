#include "http_request_head.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Rewritten {
  std::string out;
  int status = 0;
  std::vector<std::string> notices;
};

// Every row is read twice: in one piece and one byte at a time, which must give the same bytes.
Rewritten Rewrite(const std::string& in, bool byteByByte) {
  Rewritten result;
  HttpRequestRewriter rewriter("localhost:8080", [&](const std::string& text) { result.notices.push_back(text); });
  if (!byteByByte) {
    result.status = rewriter.Feed(in.data(), in.size(), result.out);
    return result;
  }
  for (size_t i = 0; i < in.size() && result.status == 0; ++i) result.status = rewriter.Feed(&in[i], 1, result.out);
  return result;
}

const std::string kChunked = "5;x=1\r\nhello\r\n10\r\n0123456789abcdef\r\n0\r\nTrailer: t\r\n\r\n";

TEST(HttpRequestRewriter, RewritesEachHeadForTheSourceAndPassesBodiesUnchanged) {
  const struct {
    const char* what;
    std::string in;
    std::string out;  // what reaches the source
    int status;
    const char* notice;
  } rows[] = {
      {"origin-form", "GET /live/a.m3u8 HTTP/1.1\r\nHost: 127.0.0.1:5000\r\nAccept: */*\r\n\r\n",
       "GET /live/a.m3u8 HTTP/1.1\r\nHost: localhost:8080\r\nAccept: */*\r\n\r\n", 0, nullptr},
      {"absolute-form, proxy fields dropped",
       "GET http://localhost:8080/s.bin?q=1 HTTP/1.1\r\nHost: localhost:8080\r\nProxy-Connection: keep-alive\r\n"
       "Proxy-Authorization: Basic eDp5\r\nUser-Agent: curl\r\n\r\n",
       "GET /s.bin?q=1 HTTP/1.1\r\nHost: localhost:8080\r\nUser-Agent: curl\r\n\r\n", 0, nullptr},
      {"absolute-form naming another host", "GET http://user@Other.Example/x#top HTTP/1.1\r\nHost: other.example\r\n\r\n",
       "GET /x HTTP/1.1\r\nHost: localhost:8080\r\n\r\n", 0,
       "request names other.example, sent to the configured source localhost:8080"},
      {"absolute-form without a path", "GET http://localhost:8080?a HTTP/1.1\r\n\r\n",
       "GET /?a HTTP/1.1\r\nHost: localhost:8080\r\n\r\n", 0, nullptr},
      {"header names in any case, folded line of a dropped field",
       "GET / HTTP/1.1\r\nhOsT: x\r\n  folded\r\nPROXY-CONNECTION: close\r\nX-A: 1\r\n\r\n",
       "GET / HTTP/1.1\r\nHost: localhost:8080\r\nX-A: 1\r\n\r\n", 0, nullptr},
      {"HTTP/1.0 without Host, bare line ends", "GET /a HTTP/1.0\n\n",
       "GET /a HTTP/1.0\r\nHost: localhost:8080\r\n\r\n", 0, nullptr},
      {"keep-alive: a second request, empty lines between",
       "GET /1 HTTP/1.1\r\nHost: a\r\n\r\n\r\nHEAD /2 HTTP/1.1\r\nHost: a\r\n\r\n",
       "GET /1 HTTP/1.1\r\nHost: localhost:8080\r\n\r\nHEAD /2 HTTP/1.1\r\nHost: localhost:8080\r\n\r\n", 0, nullptr},
      {"Content-Length body, then a pipelined request whose body looks like a head",
       "POST /p HTTP/1.1\r\ncontent-length: 20\r\n\r\nGET /no HTTP/1.1\r\n\r\nGET /2 HTTP/1.1\r\n\r\n",
       "POST /p HTTP/1.1\r\nHost: localhost:8080\r\ncontent-length: 20\r\n\r\nGET /no HTTP/1.1\r\n\r\n"
       "GET /2 HTTP/1.1\r\nHost: localhost:8080\r\n\r\n", 0, nullptr},
      {"chunked body with extension and trailer, then the next request",
       "POST /c HTTP/1.1\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n" + kChunked + "GET /n HTTP/1.1\r\n\r\n",
       "POST /c HTTP/1.1\r\nHost: localhost:8080\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n" + kChunked +
           "GET /n HTTP/1.1\r\nHost: localhost:8080\r\n\r\n", 0, nullptr},
      {"CONNECT after a passed request", "GET / HTTP/1.1\r\n\r\nCONNECT other.example:443 HTTP/1.1\r\n\r\nGET /",
       "GET / HTTP/1.1\r\nHost: localhost:8080\r\n\r\n", 405, nullptr},
      {"head over the bound", "GET /" + std::string(HttpRequestRewriter::kMaxHeadBytes, 'a'), "", 431, nullptr},
      {"both framings", "POST / HTTP/1.1\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n", "", 400, nullptr},
      {"two lengths", "POST / HTTP/1.1\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\n", "", 400, nullptr},
      {"a coding that is not chunked last", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked, gzip\r\n\r\n", "", 400,
       nullptr},
      {"chunk data longer than its size", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n",
       "POST / HTTP/1.1\r\nHost: localhost:8080\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab", 400, nullptr},
      {"HTTP/2 preface", "PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n", "", 400, nullptr},
      {"a space before the colon", "GET / HTTP/1.1\r\nHost : x\r\n\r\n", "", 400, nullptr},
      {"authority-form without CONNECT", "GET localhost:8080 HTTP/1.1\r\n\r\n", "", 400, nullptr},
  };
  for (const auto& row : rows) {
    for (const bool byteByByte : {false, true}) {
      const Rewritten result = Rewrite(row.in, byteByByte);
      const std::string label = std::string(row.what) + (byteByByte ? ", byte by byte" : "");
      EXPECT_EQ(result.out, row.out) << label;
      EXPECT_EQ(result.status, row.status) << label;
      EXPECT_EQ(result.notices, row.notice ? std::vector<std::string>{row.notice} : std::vector<std::string>{})
          << label;
    }
  }
}

TEST(HttpRequestRewriter, AHeadJustWithinTheBoundPassesAndTheAuthorityOmitsPortEighty) {
  const std::string start = "GET / HTTP/1.1\r\nX: ";
  const std::string head = start + std::string(HttpRequestRewriter::kMaxHeadBytes - start.size() - 4, 'v') + "\r\n\r\n";
  EXPECT_EQ(Rewrite(head, false).status, 0);
  EXPECT_EQ(Rewrite(head + "G", false).status, 0);
  EXPECT_EQ(HttpRequestRewriter::Authority("media.example", 80), "media.example");
  EXPECT_EQ(HttpRequestRewriter::Authority("::1", 8080), "[::1]:8080");
  EXPECT_EQ(HttpRequestRewriter::Response(405),
            "HTTP/1.1 405 Method Not Allowed\r\nContent-Type: text/plain\r\nContent-Length: 24\r\n"
            "Connection: close\r\n\r\n405 Method Not Allowed\r\n");
}

}  // namespace
