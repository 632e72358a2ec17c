#include "support/temp_dir.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/platform.h"

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  const fs::path path = fs::temp_directory_path() /
                        ("qel-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++));
  fs::remove_all(path);
  fs::create_directories(path);
  m_path = path.string();
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(m_path, ignored);
}

std::string TempDir::File(const std::string& name) const { return (fs::path(m_path) / name).string(); }

bool FileExists(const std::string& path) { return fs::exists(path); }

long FileSize(const std::string& path) {
  std::error_code error;
  const auto size = fs::file_size(path, error);
  return error ? -1 : static_cast<long>(size);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}
