// Writes the seed URLs of the url fuzzer, one file each, into the directory given.
#include <cstdio>
#include <string>

#include "config/cracker_rows.h"
#include "seed_writer.h"

namespace {

bool WriteUrlSeed(const std::string& directory, size_t index, const std::string& url) {
  return WriteSeed(directory + "/seed" + std::to_string(index), url.data(), url.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: url_seeds DIRECTORY\n");
    return 2;
  }
  size_t index = 0;
  for (const CrackerRow& row : MeasuredCrackerRows()) {
    if (!WriteUrlSeed(argv[1], index++, row.url)) return 1;
  }
  // Every seventh generated URL keeps the corpus small while covering each shape.
  const std::vector<std::string> generated = GeneratedUrls();
  for (size_t i = 0; i < generated.size(); i += 7) {
    if (!WriteUrlSeed(argv[1], index++, generated[i])) return 1;
  }
  return 0;
}
