// Writes one seed file of a fuzzer's corpus.
#pragma once

#include <cstdio>
#include <string>

inline bool WriteSeed(const std::string& path, const void* bytes, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}
