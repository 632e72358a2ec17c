// Two host processes started from one folder append to the same log file at once: every line of both
// arrives whole, and none is lost to the other's write at the same offset.
#include <gtest/gtest.h>

#include <algorithm>
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

}  // namespace

TEST(TwoProcesses, ShareOneLogFileAndLoseNoLine) {
  TempDir dir;
  const std::string path = dir.File("shared.log");
  std::vector<PROCESS_INFORMATION> writers;
  for (const char* tag : kTags) {
    std::string command = "log_line_writer.exe \"" + path + "\" " + tag + " " + std::to_string(kLinesEach);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    writers.push_back(process);
  }
  for (const PROCESS_INFORMATION& process : writers) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1000;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }

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
