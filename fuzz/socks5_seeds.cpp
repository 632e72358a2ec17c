// Writes the seed corpus of the SOCKS5 fuzzer: whole conversations, with and without a login, and with
// each kind of bound address in the reply.
#include <cstdio>
#include <string>
#include <vector>

#include "seed_writer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  const std::vector<std::vector<unsigned char>> seeds = {
      {0, 5, 0, 5, 0, 0, 1, 127, 0, 0, 1, 0x1F, 0x90},
      {2, 5, 2, 1, 0, 5, 0, 0, 3, 4, 'h', 'o', 's', 't', 0, 80},
      {3, 5, 2, 1, 1},
      {1, 5, 0, 5, 0, 0, 4, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 0, 80},
      {0, 5, 0, 5, 5, 0, 1},
  };
  for (size_t i = 0; i < seeds.size(); ++i) {
    const std::string path = std::string(argv[1]) + "/seed" + std::to_string(i);
    if (!WriteSeed(path, seeds[i].data(), seeds[i].size())) return 1;
  }
  return 0;
}
