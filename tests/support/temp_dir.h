// A directory of its own for each test, removed with everything in it afterwards.
#pragma once

#include <string>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return m_path; }
  // Path of a file inside the directory, with the platform's separator.
  std::string File(const std::string& name) const;

 private:
  std::string m_path;
};

bool FileExists(const std::string& path);
long FileSize(const std::string& path);
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
