// Writes the seed corpus of the request reader's fuzzer: keep-alive and pipelined requests in both target
// forms, bodies in both framings, and requests it refuses.
#include <cstdio>
#include <string>
#include <vector>

#include "seed_writer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  const std::vector<std::string> seeds = {
      "\x10GET /live HTTP/1.1\r\nHost: 127.0.0.1:5000\r\n\r\nGET /2 HTTP/1.0\n\n",
      "\x30GET http://other:81/a?b HTTP/1.1\r\nProxy-Connection: keep-alive\r\n folded\r\n\r\n",
      "\x40POST /p HTTP/1.1\r\nContent-Length: 5\r\n\r\nhelloGET / HTTP/1.1\r\n\r\n",
      "\x22POST /c HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5;e=1\r\nhello\r\n0\r\nT: 1\r\n\r\n\r\nGET / HTTP/1.1\r\n\r\n",
      "\x05" "CONNECT media.example:443 HTTP/1.1\r\n\r\n",
  };
  for (size_t i = 0; i < seeds.size(); ++i) {
    const std::string path = std::string(argv[1]) + "/seed" + std::to_string(i);
    if (!WriteSeed(path, seeds[i].data(), seeds[i].size())) return 1;
  }
  return 0;
}
