// Two host processes started from one folder append to the same log file at once: every line of both
// arrives whole, and none is lost to the other's write at the same offset.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "base/platform.h"
#include "support/log_reader.h"
#include "support/temp_dir.h"

namespace {

constexpr int kLinesEach = 3000;
const char* const kTags[] = {"first", "second"};

bool IsHeaderLine(const std::string& line) {
  for (const char* prefix : {"=====", "Process ID: ", "Image Name: ", "DisplayDllVersion: "})
    if (line.rfind(prefix, 0) == 0) return true;
  return false;
}

// Runs one writer per tag at once, each writing `lines` lines, and waits for both; their process ids.
std::vector<DWORD> RunWriters(const std::string& path, int lines, const std::string& limit = "") {
  std::vector<PROCESS_INFORMATION> writers;
  for (const char* tag : kTags) {
    std::string command = "log_line_writer.exe \"" + path + "\" " + tag + " " + std::to_string(lines) + " " + limit;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    EXPECT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                               &startup, &process));
    writers.push_back(process);
  }
  // Started together, so their writes overlap from the first line to the last.
  for (const PROCESS_INFORMATION& process : writers) ResumeThread(process.hThread);
  std::vector<DWORD> ids;
  for (const PROCESS_INFORMATION& process : writers) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1000;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ids.push_back(process.dwProcessId);
  }
  return ids;
}

}  // namespace

TEST(TwoProcesses, ShareOneLogFileAndLoseNoLine) {
  TempDir dir;
  const std::string path = dir.File("shared.log");
  RunWriters(path, kLinesEach);

  std::vector<std::string> expected;
  for (const char* tag : kTags)
    for (int i = 0; i < kLinesEach; ++i) expected.push_back(std::string(tag) + " " + std::to_string(i));
  std::vector<std::string> written;
  size_t headerLines = 0;
  for (const std::string& line : ReadLogLines(path)) {
    if (IsHeaderLine(line)) ++headerLines;
    else written.push_back(line);
  }
  std::sort(expected.begin(), expected.end());
  std::sort(written.begin(), written.end());
  std::vector<std::string> lost, torn;
  std::set_difference(expected.begin(), expected.end(), written.begin(), written.end(), std::back_inserter(lost));
  std::set_difference(written.begin(), written.end(), expected.begin(), expected.end(), std::back_inserter(torn));
  EXPECT_EQ(written.size(), expected.size());
  EXPECT_TRUE(lost.empty()) << lost.size() << " lost, the first: " << lost.front();
  EXPECT_TRUE(torn.empty()) << torn.size() << " not written as such, the first: " << torn.front();
  EXPECT_EQ(headerLines, 2 * HeaderBlockLines(0, "").size()) << "one header block from each process";
}

// Both processes pass a small limit again and again, so each moves the file aside while the other writes
// or reopens: no line may be refused. Old files are replaced, so the first lines are gone, but what is left
// of each process's lines (old file, then current) runs without a gap, and no header block follows them.
TEST(TwoProcesses, MoveTheSharedLogAsideAndLoseNoLine) {
  TempDir dir;
  const std::string path = dir.File("shared.log");
  constexpr int kLines = 20000;
  const std::vector<DWORD> ids = RunWriters(path, kLines, std::to_string(64 * 1024));

  std::vector<std::string> lines = ReadLogLines(dir.File("shared_old.log"));
  for (const std::string& line : ReadLogLines(path)) lines.push_back(line);
  ASSERT_LT(lines.size(), 2u * kLines) << "the file was moved aside more than once";
  for (size_t writer = 0; writer < ids.size(); ++writer) {
    SCOPED_TRACE(kTags[writer]);
    const std::string tag = std::string(kTags[writer]) + " ";
    const std::string header = "Process ID: " + std::to_string(ids[writer]);
    std::vector<int> numbers;
    for (const std::string& line : lines) {
      if (line.rfind(tag, 0) == 0) numbers.push_back(std::atoi(line.c_str() + tag.size()));
      EXPECT_FALSE(line == header && !numbers.empty()) << "a header block after line " << numbers.back();
    }
    for (size_t i = 1; i < numbers.size(); ++i)
      ASSERT_EQ(numbers[i], numbers[i - 1] + 1) << "lost between " << numbers[i - 1] << " and " << numbers[i];
  }
}
