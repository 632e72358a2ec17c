// Writes the seed corpus of the command fuzzer: one file per handled command and header form.
#include <cstdio>
#include <string>

#include "seed_writer.h"
#include "video/command_writer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  for (const NamedCommand& command : EveryHandledCommand()) {
    const std::string path = std::string(argv[1]) + "/" + command.name;
    if (!WriteSeed(path, command.bytes.data(), command.bytes.size())) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
