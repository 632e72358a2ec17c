#include "http_request_head.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

struct Rewritten {
  std::string out;
  int status = 0;
  std::string reason;
  std::vector<std::string> notices;
  std::string held;    // the bytes after a CONNECT or an upgrade request
  std::string target;  // HOST:PORT a CONNECT asked for
};

// Every row is read twice: in one piece and one byte at a time, which must give the same bytes. The bytes
// after a request that ends the reading are fed too, as a caller may have them in the same read.
Rewritten Rewrite(const std::string& in, bool byteByByte, const std::string& authority = "localhost:8080") {
  Rewritten result;
  HttpRequestRewriter rewriter(authority, [&](const std::string& text) { result.notices.push_back(text); });
  const size_t piece = byteByByte ? 1 : in.size();
  const auto reading = [&] { return result.status < 100; };
  for (size_t at = 0; at < in.size() && reading(); at += piece)
    result.status = rewriter.Feed(&in[at], piece, result.out);
  result.reason = rewriter.RefusalReason();
  result.held = rewriter.TakeHeldBytes();
  if (result.status == HttpRequestRewriter::kTunnel)
    result.target = rewriter.TunnelTarget().host + ":" + std::to_string(rewriter.TunnelTarget().port);
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
      {"field names in any case, values rebuilt without their outer whitespace",
       "GET / HTTP/1.1\r\nhOsT: x\r\nPROXY-CONNECTION: close\r\nX-A:1 \t\r\nX-B:\t\xC3\xA9 2\r\n\r\n",
       "GET / HTTP/1.1\r\nHost: localhost:8080\r\nX-A: 1\r\nX-B: \xC3\xA9 2\r\n\r\n", 0, nullptr},
      {"HTTP/1.0 without Host", "GET /a HTTP/1.0\r\n\r\n", "GET /a HTTP/1.0\r\nHost: localhost:8080\r\n\r\n", 0,
       nullptr},
      {"keep-alive: a second request, empty lines between",
       "GET /1 HTTP/1.1\r\nHost: a\r\n\r\n\r\nHEAD /2 HTTP/1.1\r\nHost: a\r\n\r\n",
       "GET /1 HTTP/1.1\r\nHost: localhost:8080\r\n\r\nHEAD /2 HTTP/1.1\r\nHost: localhost:8080\r\n\r\n", 0, nullptr},
      {"Content-Length body, then a pipelined request whose body looks like a head",
       "POST /p HTTP/1.1\r\ncontent-length: 20\r\n\r\nGET /no HTTP/1.1\r\n\r\nGET /2 HTTP/1.1\r\n\r\n",
       "POST /p HTTP/1.1\r\nHost: localhost:8080\r\ncontent-length: 20\r\n\r\nGET /no HTTP/1.1\r\n\r\n"
       "GET /2 HTTP/1.1\r\nHost: localhost:8080\r\n\r\n", 0, nullptr},
      {"chunked body with extension and trailer, then the next request",
       "POST /c HTTP/1.1\r\nTransfer-Encoding: gzip, br\r\nTransfer-Encoding: ,Chunked\r\n\r\n" + kChunked +
           "GET /n HTTP/1.1\r\n\r\n",
       "POST /c HTTP/1.1\r\nHost: localhost:8080\r\nTransfer-Encoding: gzip, br\r\n"
       "Transfer-Encoding: ,Chunked\r\n\r\n" + kChunked + "GET /n HTTP/1.1\r\nHost: localhost:8080\r\n\r\n",
       0, nullptr},
      {"a length of 18 digits", "POST /big HTTP/1.1\r\nContent-Length: 999999999999999999\r\n\r\nabc",
       "POST /big HTTP/1.1\r\nHost: localhost:8080\r\nContent-Length: 999999999999999999\r\n\r\nabc", 0, nullptr},
      {"head over the bound", "GET /" + std::string(HttpRequestRewriter::kMaxHeadBytes, 'a'), "", 431, nullptr},
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

// A request whose Content-Length covers a second request, `line` among its fields: a source that reads the
// line another way takes the second request for one of its own, never rewritten.
std::string Smuggling(const std::string& line) {
  const std::string hidden = "GET /admin HTTP/1.1\r\nHost: other.example\r\n\r\n";
  return "POST /a HTTP/1.1\r\n" + line + "\r\nContent-Length: " + std::to_string(hidden.size()) + "\r\n\r\n" + hidden;
}

const std::string kChunkedHead = "POST /c HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n";
const std::string kChunkedHeadOut = "POST /c HTTP/1.1\r\nHost: localhost:8080\r\nTransfer-Encoding: chunked\r\n\r\n";

TEST(HttpRequestRewriter, RefusesWhatASourceCouldReadAnotherWayAfterTheRequestsBeforeIt) {
  const struct {
    const char* what;
    std::string in;      // follows a request that passes
    std::string passed;  // what of it reaches the source: a chunked request's head and chunks before the fault
    const char* reason;
  } rows[] = {
      {"a bare CR ending a value", Smuggling("X: a\r"), "", "a control byte in a field value"},
      {"a vertical tab in a name", Smuggling("X\x0b: a"), "", "a field name that is no token"},
      {"a space in a name", Smuggling("X Y: a"), "", "a field name that is no token"},
      {"a NUL in a name", Smuggling(std::string("X\0: a", 5)), "", "a field name that is no token"},
      {"a folded line", Smuggling("X: a\r\n b"), "", "a field line led by whitespace (a folded line)"},
      {"a whitespace-led first field line", Smuggling(" X: a"), "", "a field line led by whitespace (a folded line)"},
      {"a NUL in a value", Smuggling(std::string("X: a\0b", 6)), "", "a control byte in a field value"},
      {"a bare CR inside a value", Smuggling("X: a\rb"), "", "a control byte in a field value"},
      {"DEL in a value", Smuggling("X: a\x7f"), "", "a control byte in a field value"},
      {"a line ending in a bare LF", Smuggling("X: a\n"), "", "a line that ends in a bare LF"},
      {"whitespace before the colon", Smuggling("Host : x"), "", "a field name that is no token"},
      {"an empty name", Smuggling(": a"), "", "a field name that is no token"},
      {"a line without a colon", Smuggling("X"), "", "a field name that is no token"},
      {"a connection option that is no token", Smuggling("Connection: close;x"), "",
       "a connection option that is no token"},
      {"a method that is no token", "G@T / HTTP/1.1\r\n\r\n", "", "not a request line"},
      {"two spaces after the method", "GET  / HTTP/1.1\r\n\r\n", "", "not a request line"},
      {"a tab after the method", "GET\t/ HTTP/1.1\r\n\r\n", "", "not a request line"},
      {"a space before the method", " GET / HTTP/1.1\r\n\r\n", "", "not a request line"},
      {"a control byte in the target", "GET /a\x01 HTTP/1.1\r\n\r\n", "", "not a request line"},
      {"a space after the version", "GET / HTTP/1.1 \r\n\r\n", "", "not a request line"},
      {"a bare CR after the version", "GET / HTTP/1.1\r\r\n\r\n", "", "not HTTP/1.0 or HTTP/1.1"},
      {"HTTP/1.2", "GET / HTTP/1.2\r\n\r\n", "", "not HTTP/1.0 or HTTP/1.1"},
      {"HTTP/2 preface", "PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n", "", "not HTTP/1.0 or HTTP/1.1"},
      {"authority-form without CONNECT", "GET localhost:8080 HTTP/1.1\r\n\r\n", "",
       "a request target that is neither a path nor a URL"},
      {"a length with a sign", "POST /a HTTP/1.1\r\nContent-Length: +5\r\n\r\n", "", "bad Content-Length"},
      {"a list of lengths", "POST /a HTTP/1.1\r\nContent-Length: 5, 5\r\n\r\n", "", "bad Content-Length"},
      {"two lengths", Smuggling("Content-Length: 4"), "", "bad Content-Length"},
      {"a length of 19 digits", "POST /a HTTP/1.1\r\nContent-Length: 1000000000000000000\r\n\r\n", "",
       "bad Content-Length"},
      {"a length past 64 bits", "POST /a HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n", "",
       "bad Content-Length"},
      {"both framings", Smuggling("Transfer-Encoding: chunked"), "", "a body whose length is not certain"},
      {"a coding after chunked", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\nTransfer-Encoding: gzip\r\n\r\n", "",
       "a body whose length is not certain"},
      {"chunked twice", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked, chunked\r\n\r\n", "",
       "a body whose length is not certain"},
      {"codings without chunked", "POST / HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n", "",
       "a body whose length is not certain"},
      {"a coding with a parameter", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked;q=1\r\n\r\n", "",
       "bad Transfer-Encoding"},
      {"a Transfer-Encoding without a coding", "POST / HTTP/1.1\r\nTransfer-Encoding: ,\r\n\r\n", "",
       "bad Transfer-Encoding"},
      {"chunk data longer than its size", kChunkedHead + "2\r\nabc\r\n", kChunkedHeadOut + "2\r\nab",
       "chunk data longer than its size"},
      {"whitespace after a chunk size", kChunkedHead + "1\r\na\r\n5 \r\nhello\r\n", kChunkedHeadOut + "1\r\na\r\n",
       "bad chunk size line"},
      {"a chunk extension without a name", kChunkedHead + "5;\r\nhello\r\n", kChunkedHeadOut, "bad chunk size line"},
      {"a control byte in a quoted chunk extension", kChunkedHead + "5;a=\"\x01\"\r\nhello\r\n", kChunkedHeadOut,
       "bad chunk size line"},
      {"a chunk size in C's hex", kChunkedHead + "0x5\r\nhello\r\n", kChunkedHeadOut, "bad chunk size line"},
      {"a chunk size of 16 digits", kChunkedHead + "1000000000000000\r\n", kChunkedHeadOut, "bad chunk size line"},
      {"a bare CR after a chunk size", kChunkedHead + "5\r\r\nhello\r\n", kChunkedHeadOut, "bad chunk size line"},
      {"a chunk size line ending in a bare LF", kChunkedHead + "5\nhello\r\n", kChunkedHeadOut,
       "a line that ends in a bare LF"},
      {"a trailer name that is no token", kChunkedHead + "0\r\nX Y: a\r\n\r\n", kChunkedHeadOut + "0\r\n",
       "in a trailer, a field name that is no token"},
      {"a folded trailer line", kChunkedHead + "0\r\nX: a\r\n b\r\n\r\n", kChunkedHeadOut + "0\r\nX: a\r\n",
       "in a trailer, a field line led by whitespace (a folded line)"},
      {"a length in the trailer", kChunkedHead + "0\r\nContent-Length: 5\r\n\r\nhello", kChunkedHeadOut + "0\r\n",
       "a trailer field that frames the body"},
  };
  const std::string first = "GET /first HTTP/1.1\r\n\r\n";
  const std::string firstOut = "GET /first HTTP/1.1\r\nHost: localhost:8080\r\n\r\n";
  for (const auto& row : rows) {
    for (const bool byteByByte : {false, true}) {
      const Rewritten result = Rewrite(first + row.in, byteByByte);
      const std::string label = std::string(row.what) + (byteByByte ? ", byte by byte" : "");
      EXPECT_EQ(result.status, 400) << label;
      EXPECT_EQ(result.out, firstOut + row.passed) << label;
      EXPECT_EQ(result.reason, row.reason) << label;
    }
  }
}

TEST(HttpRequestRewriter, TellsAnObserverWhereEachRequestsHeadAndBodyEnd) {
  const std::string lengthHead = "\r\nPOST /p HTTP/1.1\r\nContent-Length: 3\r\n\r\n";
  const std::string bareHead = "GET http://x/y HTTP/1.1\r\n\r\n";
  const std::string chunks = "1\r\nz\r\n0\r\n\r\n";
  const std::string in = lengthHead + "abc" + bareHead + kChunkedHead + chunks;
  const size_t second = lengthHead.size() + 3, third = second + bareHead.size();
  const std::vector<std::string> expected = {
      "head POST /p length 3 at " + std::to_string(lengthHead.size()),
      "end at " + std::to_string(second),
      "head GET http://x/y none 0 at " + std::to_string(third),
      "end at " + std::to_string(third),
      "head POST /c chunked 0 at " + std::to_string(third + kChunkedHead.size()),
      "end at " + std::to_string(in.size()),
  };
  for (const size_t piece : {in.size(), size_t{1}}) {
    std::vector<std::string> seen;
    HttpRequestRewriter rewriter("localhost:8080");
    rewriter.Observe(
        [&](const HttpRequestRewriter::HeadRead& head) {
          const char* framing[] = {"none", "length", "chunked"};
          seen.push_back("head " + std::string(head.method) + " " + std::string(head.target) + " " +
                         framing[static_cast<int>(head.framing)] + " " + std::to_string(head.length) + " at " +
                         std::to_string(head.end));
        },
        [&](uint64_t end) { seen.push_back("end at " + std::to_string(end)); });
    std::string out;
    for (size_t at = 0; at < in.size(); at += piece) EXPECT_EQ(rewriter.Feed(&in[at], piece, out), 0);
    EXPECT_EQ(seen, expected) << "fed " << piece << " bytes at a time";
    EXPECT_EQ(rewriter.BytesRead(), in.size());
  }
}

TEST(HttpRequestRewriter, AHeadJustWithinTheBoundPassesAndPortEightyIsTheSourcesOwn) {
  const std::string start = "GET / HTTP/1.1\r\nX: ";
  const std::string head = start + std::string(HttpRequestRewriter::kMaxHeadBytes - start.size() - 4, 'v') + "\r\n\r\n";
  EXPECT_EQ(Rewrite(head, false).status, 0);
  EXPECT_EQ(Rewrite(head + "G", false).status, 0);
  EXPECT_EQ(HttpRequestRewriter::Authority("media.example", 80), "media.example");
  const Rewritten own = Rewrite("GET http://Media.Example:80/a HTTP/1.1\r\n\r\n", false, "media.example");
  EXPECT_EQ(own.out, "GET /a HTTP/1.1\r\nHost: media.example\r\n\r\n");
  EXPECT_EQ(own.notices, std::vector<std::string>{});
  EXPECT_EQ(Rewrite("GET http://media.example:8080/a HTTP/1.1\r\n\r\n", false, "media.example").notices,
            std::vector<std::string>{"request names media.example:8080, sent to the configured source media.example"});
  EXPECT_EQ(HttpRequestRewriter::Authority("::1", 8080), "[::1]:8080");
  EXPECT_EQ(HttpRequestRewriter::Response(403),
            "HTTP/1.1 403 Forbidden\r\nContent-Type: text/plain\r\nContent-Length: 15\r\n"
            "Connection: close\r\n\r\n403 Forbidden\r\n");
  // Every status the relay answers with carries its own reason phrase.
  for (const auto& [status, line] : std::vector<std::pair<int, std::string>>{
           {400, "400 Bad Request"}, {403, "403 Forbidden"}, {408, "408 Request Timeout"},
           {431, "431 Request Header Fields Too Large"},
           {502, "502 Bad Gateway"}, {503, "503 Service Unavailable"}})
    EXPECT_EQ(HttpRequestRewriter::Response(status).substr(0, 11 + line.size()), "HTTP/1.1 " + line + "\r\n");
}

// A CONNECT ends the reading with its target handed back and nothing passed on; a request with Upgrade goes
// on whole, and what follows it is held until the source's answer decides. Both are read as strictly as any
// other request.
TEST(HttpRequestRewriter, HandsBackACONNECTsTargetAndHoldsWhatFollowsAnUpgradeRequest) {
  const std::string upgrade = "GET /ws HTTP/1.1\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n\r\n";
  const std::string upgradeOut =
      "GET /ws HTTP/1.1\r\nHost: localhost:8080\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n\r\n";
  const std::string frame("\x81\x05hello", 7);
  const struct {
    const char* what;
    std::string in;
    int status;
    std::string out;
    std::string held;
    const char* target;  // HOST:PORT handed back; the reason with a refusal
  } rows[] = {
      {"CONNECT with the tunnel's first bytes", "CONNECT Media.Example:443 HTTP/1.1\r\nHost: x\r\n\r\n\x16\x03\x01",
       HttpRequestRewriter::kTunnel, "", "\x16\x03\x01", "media.example:443"},
      {"CONNECT to an IPv6 address", "CONNECT [::1]:8443 HTTP/1.0\r\n\r\n", HttpRequestRewriter::kTunnel, "", "",
       "::1:8443"},
      {"CONNECT without a port", "CONNECT media.example HTTP/1.1\r\n\r\n", 400, "", "",
       "a CONNECT target that is no host and port"},
      {"CONNECT to port 0", "CONNECT media.example:0 HTTP/1.1\r\n\r\n", 400, "", "",
       "a CONNECT target that is no host and port"},
      {"CONNECT to a port past 65535", "CONNECT media.example:65536 HTTP/1.1\r\n\r\n", 400, "", "",
       "a CONNECT target that is no host and port"},
      {"CONNECT to a path", "CONNECT /x HTTP/1.1\r\n\r\n", 400, "", "", "a CONNECT target that is no host and port"},
      {"CONNECT to a host no name holds", "CONNECT a%0d:443 HTTP/1.1\r\n\r\n", 400, "", "",
       "a CONNECT target that is no host and port"},
      {"CONNECT with a body", "CONNECT media.example:443 HTTP/1.1\r\nContent-Length: 2\r\n\r\nab", 400, "", "",
       "a CONNECT with a body"},
      {"CONNECT with a folded line", "CONNECT media.example:443 HTTP/1.1\r\nX: a\r\n b\r\n\r\n", 400, "", "",
       "a field line led by whitespace (a folded line)"},
      {"an upgrade and a frame sent before the answer", upgrade + frame, HttpRequestRewriter::kUpgrade, upgradeOut,
       frame, ""},
      {"an upgrade with a body", "POST /h2 HTTP/1.1\r\nUpgrade: h2c\r\nContent-Length: 3\r\n\r\nabcGET /",
       HttpRequestRewriter::kUpgrade,
       "POST /h2 HTTP/1.1\r\nHost: localhost:8080\r\nUpgrade: h2c\r\nContent-Length: 3\r\n\r\nabc",
       "GET /", ""},
      {"an upgrade after another request", "GET / HTTP/1.1\r\n\r\n" + upgrade, 400,
       "GET / HTTP/1.1\r\nHost: localhost:8080\r\n\r\n", "", "an upgrade after other requests on the connection"},
  };
  for (const auto& row : rows) {
    for (const bool byteByByte : {false, true}) {
      SCOPED_TRACE(std::string(row.what) + (byteByByte ? ", byte by byte" : ""));
      const Rewritten result = Rewrite(row.in, byteByByte);
      EXPECT_EQ(result.status, row.status);
      EXPECT_EQ(result.out, row.out);
      EXPECT_EQ(result.held, row.held);
      EXPECT_EQ(result.status == HttpRequestRewriter::kTunnel ? result.target : result.reason, row.target);
    }
  }
  // Declined: the reader goes on with what followed the upgrade request.
  HttpRequestRewriter reader("localhost:8080");
  std::string out;
  ASSERT_EQ(reader.Feed(upgrade.data(), upgrade.size(), out), HttpRequestRewriter::kUpgrade);
  reader.UpgradeDeclined();
  out.clear();
  const std::string next = "GET /next HTTP/1.1\r\n\r\n";
  EXPECT_EQ(reader.Feed(next.data(), next.size(), out), 0);
  EXPECT_EQ(out, "GET /next HTTP/1.1\r\nHost: localhost:8080\r\n\r\n");
}

}  // namespace
