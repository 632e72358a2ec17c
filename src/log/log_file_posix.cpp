#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>

#include "log/log_file.h"

FILE* OpenLogForAppend(const std::string& path) {
  // O_APPEND: the system puts every write at the end, whoever else writes to the file.
  const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (descriptor == -1) return nullptr;
  FILE* stream = fdopen(descriptor, "ab");
  if (stream == nullptr) close(descriptor);
  return stream;
}

void MoveLogAsideIfOver(const std::string& path, const std::string& oldName, LONG maxSize) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return;
  if (info.st_size <= static_cast<off_t>(static_cast<DWORD>(maxSize)) || oldName.empty()) return;
  std::remove(oldName.c_str());
  std::rename(path.c_str(), oldName.c_str());
}

long LogFileSize(FILE* stream) {
  struct stat info {};
  if (fstat(fileno(stream), &info) != 0) return -1;
  return info.st_size > LONG_MAX ? LONG_MAX : static_cast<long>(info.st_size);
}

std::string ProcessImageName() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  path[length] = '\0';
  const std::string full(path);
  const size_t slash = full.find_last_of('/');
  return slash == std::string::npos ? full : full.substr(slash + 1);
}

// No version resources off Windows.
bool ReadFileVersion(const char*, FileVersion&) { return false; }
#endif
