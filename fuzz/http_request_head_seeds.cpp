// Writes the seed corpus of the request reader's fuzzer: keep-alive and pipelined requests in both target
// forms, bodies in both framings, the requests a source could read another way (smuggling past the Host
// rewrite with a bare CR, a name that is no token, a fold; lengths and chunk lines out of bounds), and what
// players send that is no plain request (CONNECT, an upgrade, TLS, RTSP).
#include <cstdio>
#include <string>
#include <vector>

#include "seed_writer.h"

namespace {

// A request whose Content-Length covers a second one, with `line` among its fields.
std::string Smuggling(const std::string& line) {
  const std::string hidden = "GET /admin HTTP/1.1\r\nHost: other.example\r\n\r\n";
  return "POST /a HTTP/1.1\r\n" + line + "\r\nContent-Length: " + std::to_string(hidden.size()) + "\r\n\r\n" + hidden;
}

std::string Chunked(const std::string& body) { return "POST /c HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n" + body; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  // The first byte of each seed is where the fuzzer cuts the rest in two.
  const std::vector<std::string> seeds = {
      "\x10GET /live HTTP/1.1\r\nHost: 127.0.0.1:5000\r\n\r\n\r\nGET /2 HTTP/1.0\r\n\r\n",
      "\x30GET http://other:81/a?b HTTP/1.1\r\nProxy-Connection: keep-alive\r\nConnection: x, ,y\r\n\r\n",
      "\x40POST /p HTTP/1.1\r\nContent-Length: 5\r\n\r\nhelloGET * HTTP/1.1\r\n\r\n",
      "\x22" + Chunked("5;e=1;f=\"q\\\"\"\r\nhello\r\n0\r\nT: 1\r\n\r\n\r\nGET / HTTP/1.1\r\n\r\n"),
      "\x05" "CONNECT media.example:443 HTTP/1.1\r\n\r\n",
      // A tunnel's first bytes after a CONNECT, and an upgrade's first frame sent before its answer.
      std::string("\x09" "CONNECT [::1]:8443 HTTP/1.1\r\nHost: [::1]:8443\r\n\r\n\x16\x03\x01\x00\x05", 55),
      "\x21" "GET / HTTP/1.1\r\n\r\nCONNECT media.example:443 HTTP/1.1\r\n\r\nGET / HTTP/1.1\r\n\r\n",
      "\x30" "POST /h2 HTTP/1.1\r\nUpgrade: h2c\r\nContent-Length: 3\r\n\r\nabcGET /2 HTTP/1.1\r\n\r\n",
      "\x07" + Smuggling("X: a\r"),
      "\x07" + Smuggling("X\x0b: a"),
      "\x07" + Smuggling("X Y: a"),
      "\x07" + Smuggling(std::string("X\0: a", 5)),
      "\x07" + Smuggling("X: a\r\n b"),
      "\x07" + Smuggling(" X: a"),
      "\x07" + Smuggling("X: a\n"),
      "\x07" "POST /a HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\nGET / HTTP/1.1\r\n\r\n",
      "\x07" + Smuggling("Transfer-Encoding: gzip, br, chunked"),
      "\x09" "POST / HTTP/1.1\r\nTransfer-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
      "\x09" + Chunked("5 ;a = b\r\nhello\r\n10000000000000000\r\n"),
      "\x09" + Chunked("0\r\nContent-Length: 5\r\n\r\nhello"),
      "\x03" "PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n",
      // What players send that the relay does not rewrite: TLS to an https source, RTSP, a WebSocket upgrade.
      std::string("\x02\x16\x03\x01\x00\x2e\x01\x00\x00\x2a\x03\x03\x00\x01", 14),
      "\x11" "OPTIONS rtsp://127.0.0.1:8554/cam RTSP/1.0\r\nCSeq: 1\r\n\r\n",
      "\x20" "GET /ws HTTP/1.1\r\nConnection: Upgrade\r\nUpgrade: websocket\r\nSec-WebSocket-Version: 13\r\n"
      "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n\x82\x05hello",
      "\x15" "GET http://[::1]:8080/hls/a.m3u8 HTTP/1.1\r\nHost: [::1]:8080\r\nIcy-MetaData: 1\r\n"
      "Range: bytes=0-\r\n\r\n",
  };
  for (size_t i = 0; i < seeds.size(); ++i) {
    const std::string path = std::string(argv[1]) + "/seed" + std::to_string(i);
    if (!WriteSeed(path, seeds[i].data(), seeds[i].size())) return 1;
  }
  return 0;
}
