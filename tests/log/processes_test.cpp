// Host processes that share one log file: two appending at once lose no line and tear none; two or three
// with a plug-in flooding the file keep its limit; and a process that ends or stops while it holds the line
// lock keeps the others waiting no longer than the lock's bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "base/platform.h"
#include "log/log_line_lock.h"
#include "support/log_reader.h"
#include "support/temp_dir.h"

namespace {

constexpr int kLinesEach = 10000;
const char* const kTags[] = {"first", "second"};
// How long a test waits for a child before it calls the child hung; far past the lock's bound.
constexpr DWORD kPatienceMs = 10000;

bool IsHeaderLine(const std::string& line) {
  for (const char* prefix : {"=====", "Process ID: ", "Image Name: ", "DisplayDllVersion: "})
    if (line.rfind(prefix, 0) == 0) return true;
  return false;
}

std::vector<std::string> LinesWithoutHeaders(const std::string& path) {
  std::vector<std::string> lines;
  for (const std::string& line : ReadLogLines(path))
    if (!IsHeaderLine(line)) lines.push_back(line);
  return lines;
}

// Owns a child process started as "writer\log_line_writer.exe ARGUMENTS"; a child still running at the end is killed.
class Child {
 public:
  explicit Child(const std::string& arguments) {
    std::string command = "writer\\log_line_writer.exe " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    m_started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &m_process) != 0;
  }
  ~Child() {
    if (!m_started) return;
    TerminateProcess(m_process.hProcess, 99);
    WaitForSingleObject(m_process.hProcess, INFINITE);
    CloseHandle(m_process.hThread);
    CloseHandle(m_process.hProcess);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Started() const { return m_started; }
  bool Running() const { return m_started && WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT; }
  DWORD Id() const { return m_process.dwProcessId; }
  void Kill() {
    TerminateProcess(m_process.hProcess, 9);
    WaitForSingleObject(m_process.hProcess, INFINITE);
  }
  // The exit code, or STILL_ACTIVE when the child did not end within the test's patience.
  DWORD ExitCode() {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(m_process.hProcess, kPatienceMs) == WAIT_OBJECT_0)
      GetExitCodeProcess(m_process.hProcess, &code);
    return code;
  }

 private:
  bool m_started = false;
  PROCESS_INFORMATION m_process{};
};

// A manual-reset event named for this process: the children wait for it, or set it.
class NamedEvent {
 public:
  explicit NamedEvent(const char* purpose)
      : m_name(std::string("Local\\qel-") + purpose + "-" + std::to_string(GetCurrentProcessId())),
        m_event(CreateEventA(nullptr, TRUE, FALSE, m_name.c_str())) {}
  ~NamedEvent() {
    if (m_event != nullptr) CloseHandle(m_event);
  }
  NamedEvent(const NamedEvent&) = delete;
  NamedEvent& operator=(const NamedEvent&) = delete;

  bool Created() const { return m_event != nullptr; }
  const std::string& Name() const { return m_name; }
  void Set() { SetEvent(m_event); }
  bool Await() { return WaitForSingleObject(m_event, kPatienceMs) == WAIT_OBJECT_0; }

 private:
  std::string m_name;
  HANDLE m_event;
};

// One writer per tag, each writing `lines` lines into `path` (with `limit`, the size limit in bytes, when
// given), all started at one moment so that their lines really meet; the writers once they have ended.
std::vector<std::unique_ptr<Child>> RunWriters(const std::string& path, int lines, const std::string& limit = "") {
  NamedEvent start("two-writers");
  EXPECT_TRUE(start.Created());
  std::vector<std::unique_ptr<Child>> writers;
  for (const char* tag : kTags) {
    writers.push_back(std::make_unique<Child>("\"" + path + "\" " + tag + " " + std::to_string(lines) + " " +
                                              start.Name() + " " + limit));
    EXPECT_TRUE(writers.back()->Started());
  }
  start.Set();
  for (const auto& writer : writers) EXPECT_EQ(writer->ExitCode(), 0u);
  return writers;
}

// The writer's plug-in lines run on without a gap to the last one it wrote, which its end line counts.
// Files replaced by later moves took the first ones: with a small limit, all of a writer's lines may be
// gone. Returns how many there are.
size_t ExpectUnbrokenTail(const std::vector<std::string>& lines, const std::string& tag) {
  SCOPED_TRACE(tag);
  const std::string plugin = "QelVideoProxy_WMP: " + tag + " plugin ";
  const std::string end = tag + " library end ";
  std::vector<int> numbers;
  int written = -1;
  for (const std::string& line : lines) {
    if (line.rfind(plugin, 0) == 0) numbers.push_back(std::atoi(line.c_str() + plugin.size()));
    if (line.rfind(end, 0) == 0) written = std::atoi(line.c_str() + end.size());
  }
  for (size_t i = 1; i < numbers.size(); ++i)
    EXPECT_EQ(numbers[i], numbers[i - 1] + 1) << "lost between " << numbers[i - 1] << " and " << numbers[i];
  EXPECT_TRUE(numbers.empty() || numbers.back() == written - 1) << "lost at the end, after " << numbers.back();
  return numbers.size();
}

// The header blocks of a process, each standing whole; returns how many there are. (The plug-in files
// beside the writer have versions: a version line is compared up to its comma.)
size_t ExpectHeaderBlocksWhole(const std::vector<std::string>& lines, DWORD processId) {
  auto upToComma = [](const std::string& line) { return line.substr(0, line.find(',')); };
  std::vector<std::string> block;
  for (const std::string& line : HeaderBlockLines(processId, "log_line_writer.exe")) block.push_back(upToComma(line));
  size_t blocks = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] != block[1]) continue;
    ++blocks;
    std::vector<std::string> found;
    for (size_t j = i - 1; i > 0 && j < lines.size() && j < i - 1 + block.size(); ++j) found.push_back(upToComma(lines[j]));
    EXPECT_EQ(found, block) << "the header block of process " << processId << " is broken up";
  }
  return blocks;
}

}  // namespace

TEST(TwoProcesses, ShareOneLogFileAndLoseNoLine) {
  TempDir dir;
  const std::string path = dir.File("shared.log");
  RunWriters(path, kLinesEach);

  std::vector<std::string> expected;
  for (const char* tag : kTags)
    for (int i = 0; i < kLinesEach; ++i) expected.push_back(std::string(tag) + " " + std::to_string(i));
  std::vector<std::string> written = LinesWithoutHeaders(path);
  const size_t headerLines = ReadLogLines(path).size() - written.size();
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
  const auto writers = RunWriters(path, kLines, std::to_string(64 * 1024));

  std::vector<std::string> lines = ReadLogLines(dir.File("shared_old.log"));
  for (const std::string& line : ReadLogLines(path)) lines.push_back(line);
  ASSERT_LT(lines.size(), 2u * kLines) << "the file was moved aside more than once";
  for (size_t writer = 0; writer < writers.size(); ++writer) {
    SCOPED_TRACE(kTags[writer]);
    const std::string tag = std::string(kTags[writer]) + " ";
    const std::string header = "Process ID: " + std::to_string(writers[writer]->Id());
    std::vector<int> numbers;
    for (const std::string& line : lines) {
      if (line.rfind(tag, 0) == 0) numbers.push_back(std::atoi(line.c_str() + tag.size()));
      EXPECT_FALSE(line == header && !numbers.empty()) << "a header block after line " << numbers.back();
    }
    for (size_t i = 1; i < numbers.size(); ++i)
      ASSERT_EQ(numbers[i], numbers[i - 1] + 1) << "lost between " << numbers[i - 1] << " and " << numbers[i];
  }
}

// Processes started together on one file with a small limit, each with a proxy plug-in that floods it for
// about a second: the plug-in's lines pass the size test as the library's do, so the file never grows past
// twice its limit, however the moves fall between the processes. Lost are only the lines of the old files
// that later moves replaced.
TEST(ProcessesWithAFloodingPlugin, KeepTheLimitAndLoseNoLine) {
  constexpr LONG kLimit = 8 * 1024;
  constexpr DWORD kFloodMs = 1000;
  const char* const tags[] = {"first", "second", "third"};
  for (size_t processes : {2u, 3u}) {
    SCOPED_TRACE(std::to_string(processes) + " processes");
    TempDir dir;
    const std::string path = dir.File("shared.log");
    const std::string oldPath = dir.File("shared_old.log");
    NamedEvent start("flood-start");
    NamedEvent stop("flood-stop");
    ASSERT_TRUE(start.Created() && stop.Created());
    std::vector<std::unique_ptr<Child>> writers;
    for (size_t i = 0; i < processes; ++i) {
      writers.push_back(std::make_unique<Child>("--flood \"" + path + "\" " + tags[i] + " " + start.Name() + " " +
                                                stop.Name() + " " + std::to_string(kLimit)));
      ASSERT_TRUE(writers.back()->Started());
    }
    start.Set();
    long largest = 0;
    for (const DWORD started = GetTickCount(); GetTickCount() - started < kFloodMs; Sleep(1))
      largest = std::max({largest, FileSize(path), FileSize(oldPath)});
    stop.Set();
    for (const auto& writer : writers) EXPECT_EQ(writer->ExitCode(), 0u);
    largest = std::max({largest, FileSize(path), FileSize(oldPath)});
    EXPECT_LE(largest, 2 * kLimit);

    std::vector<std::string> lines = ReadLogLines(oldPath);
    for (const std::string& line : ReadLogLines(path)) lines.push_back(line);
    for (const std::string& line : lines) ASSERT_EQ(line.rfind("<malformed>", 0), std::string::npos) << line;
    size_t pluginLines = 0;
    for (size_t i = 0; i < processes; ++i) {
      pluginLines += ExpectUnbrokenTail(lines, tags[i]);
      ExpectHeaderBlocksWhole(lines, writers[i]->Id());
      // The session goes on across every move: no header block follows its first line.
      const std::string tag = std::string(tags[i]) + " ";
      const auto sessionLine = std::find_if(lines.begin(), lines.end(),
                                            [&tag](const std::string& line) { return line.find(tag) != std::string::npos; });
      EXPECT_EQ(std::find(sessionLine, lines.end(), "Process ID: " + std::to_string(writers[i]->Id())), lines.end())
          << "a header block in the session of " << tags[i];
    }
    EXPECT_GT(pluginLines, 0u);
  }
}

// Processes that start sessions at the same moments (each line opens the file with a header block, then
// the file is closed) write each block whole: none falls between another's lines.
TEST(ProcessesStartingSessions, WriteTheirHeaderBlocksWhole) {
  constexpr int kSessions = 30;
  TempDir dir;
  const std::string path = dir.File("shared.log");
  NamedEvent start("sessions");
  ASSERT_TRUE(start.Created());
  std::vector<std::unique_ptr<Child>> writers;
  for (const char* tag : {"first", "second", "third"}) {
    writers.push_back(std::make_unique<Child>("--sessions \"" + path + "\" " + tag + " " +
                                              std::to_string(kSessions) + " " + start.Name()));
    ASSERT_TRUE(writers.back()->Started());
  }
  start.Set();
  for (const auto& writer : writers) EXPECT_EQ(writer->ExitCode(), 0u);
  const std::vector<std::string> lines = ReadLogLines(path);
  for (const auto& writer : writers) EXPECT_EQ(ExpectHeaderBlocksWhole(lines, writer->Id()), size_t{kSessions});
}

// A holder that ended is taken over as soon as a waiter sees it gone; one that stopped, once its holding
// is older than the bound. Either way the next writer goes on and its line arrives. (The lock serves the
// whole session, so other tests' processes may take it over first: what holds for every waiter is checked.)
TEST(LineLockHolder, EndedOrStoppedHolderKeepsNoWriterWaiting) {
  struct Case {
    const char* holder;
    const char* then;
    bool killed;
  };
  const Case cases[] = {{"ends without releasing", "exit", false},
                        {"is killed while holding", "wait", true},
                        {"stops while holding", "wait", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.holder);
    TempDir dir;
    const std::string path = dir.File("shared.log");
    // This process keeps the section, as a host that shares the log would, so the holder's mark outlives it.
    LogLineLockSection section;
    ASSERT_NE(section.Word(), nullptr);
    NamedEvent held("line-lock-held");
    ASSERT_TRUE(held.Created());
    Child holder("--hold-line-lock " + held.Name() + " " + c.then);
    ASSERT_TRUE(holder.Started());
    ASSERT_TRUE(held.Await());
    if (c.killed) holder.Kill();

    Child writer("\"" + path + "\" after 1");
    ASSERT_TRUE(writer.Started());
    EXPECT_EQ(writer.ExitCode(), 0u) << "the writer waited on the lock for good";
    EXPECT_EQ(LinesWithoutHeaders(path), std::vector<std::string>{"after 0"});
  }
}
