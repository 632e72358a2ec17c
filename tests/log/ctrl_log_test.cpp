#include "log/ctrl_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <string>
#include <vector>

#include "base/clock.h"
#include "log/log_escape.h"
#include "log/log_file.h"
#include "support/log_reader.h"
#include "support/temp_dir.h"

using Lines = std::vector<std::string>;

namespace {

Lines Header() { return HeaderBlockLines(GetCurrentProcessId(), ProcessImageName()); }

Lines Concat(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class CtrlLogTest : public ::testing::Test {
 protected:
  void UseLog(LONG level, LONG maxSize = kDefaultLogMaxSize, const std::string& name = "app.log") {
    m_path = m_dir.File(name);
    m_log.UseSettings(m_path, level, maxSize);
  }
  TempDir m_dir;
  CQelCtrlLog m_log;
  std::string m_path;
};

}  // namespace

TEST_F(CtrlLogTest, WritesOnlyLinesAtOrBelowTheLevel) {
  UseLog(2);
  EXPECT_EQ(m_log.Write("one", 1), 1);
  EXPECT_EQ(m_log.Write("two", 2), 1);
  EXPECT_EQ(m_log.Write("three", 3), 1) << "a filtered line still reports success";
  EXPECT_EQ(m_log.LogF(3, "%s", "three again"), 1);
  EXPECT_EQ(ReadLogLines(m_path), Concat(Header(), {"one", "two"}));
}

TEST_F(CtrlLogTest, NothingIsOpenedUntilALinePassesTheLevel) {
  UseLog(1);
  m_log.Write("quiet", 2);
  EXPECT_FALSE(FileExists(m_path));
  EXPECT_EQ(m_log.Write(nullptr, 1), 0);
  EXPECT_FALSE(FileExists(m_path)) << "a null text must not open the file";
}

TEST_F(CtrlLogTest, CutsMessagesAt1023Characters) {
  UseLog(1);
  const std::string longText(3000, 'x');
  m_log.LogF(1, "%s", longText.c_str());
  m_log.LogF(1, "%s", std::string(1023, 'y').c_str());
  m_log.LogF(1, "z%s", longText.c_str());  // through the formatter, not the plain text's shortcut
  const Lines lines = ReadLogLines(m_path);
  ASSERT_EQ(lines.size(), Header().size() + 3);
  EXPECT_EQ(lines[lines.size() - 3], std::string(1023, 'x'));
  EXPECT_EQ(lines[lines.size() - 2], std::string(1023, 'y'));
  EXPECT_EQ(lines.back(), "z" + std::string(1022, 'x'));
}

TEST_F(CtrlLogTest, TimestampIsLocalDateTimeAndMilliseconds) {
  UseLog(1);
  const ClockReading at{0, 2026, 12, 7, 14, 3, 5, 42};
  PinClock(&at);
  m_log.Open();  // no header: this test reads the lines it writes
  m_log.WriteLine("VideoHost::Initialize: Done");
  // Backslashes, quotes and bytes above 0x7F are plain text.
  m_log.WriteLine("File=C:\\Logs\\x41.log \"\xE9\xFF\"");
  PinClock(nullptr);
  EXPECT_EQ(ReadWholeFile(m_path),
            "12/07/26-14:03:05.042 VideoHost::Initialize: Done\r\n"
            "12/07/26-14:03:05.042 File=C:\\Logs\\x41.log \"\xE9\xFF\"\r\n");
}

TEST_F(CtrlLogTest, ControlBytesInATextAreWrittenAsEscapes) {
  UseLog(1);
  auto bytes = [](int first, int last) {
    std::string text;
    for (int byte = first; byte <= last; ++byte) text += static_cast<char>(byte);
    return text;
  };
  // Past one piece of the line's buffer, a line end in the text still stays inside the one line.
  const std::string longText = std::string(1023, 'a') + "\n" + std::string(1500, 'b') + "\r\n";
  m_log.Write(bytes(0x01, 0xFF).c_str(), 1);  // a C text ends at 0x00
  m_log.Write(longText.c_str(), 1);
  EXPECT_EQ(ReadLogLines(m_path),
            Concat(Header(), {"\\x01\\x02\\x03\\x04\\x05\\x06\\x07\\x08\\t\\n\\x0B\\x0C\\r\\x0E\\x0F\\x10\\x11\\x12"
                              "\\x13\\x14\\x15\\x16\\x17\\x18\\x19\\x1A\\x1B\\x1C\\x1D\\x1E\\x1F" +
                                  bytes(0x20, 0x7E) + "\\x7F" + bytes(0x80, 0xFF),
                              std::string(1023, 'a') + "\\n" + std::string(1500, 'b') + "\\r\\n"}));
  EXPECT_EQ(EscapeLogText(std::string_view("\0", 1)), "\\x00");
}

TEST_F(CtrlLogTest, HeaderBlockOnEveryFreshOpen) {
  UseLog(1);
  m_log.Write("first", 1);
  m_log.Close();
  EXPECT_FALSE(m_log.IsOpen());
  m_log.Write("second", 1);
  EXPECT_EQ(ReadLogLines(m_path), Concat(Concat(Concat(Header(), {"first"}), Header()), {"second"}));
  EXPECT_EQ(m_log.Open(), 0) << "Open reports 1 only when it opened the file";
}

TEST_F(CtrlLogTest, AWriteAtAStalePositionStillLandsAtTheEnd) {
  UseLog(1);
  m_log.Write("first", 1);
  // A writer that took offset 0 for the end, as one of two processes does when the other appended
  // between its seek and its write, through the very handle the log and the plug-in write with.
  const std::string stale = "12/07/26-14:03:05.042 stale\r\n";
#ifdef _WIN32
  OVERLAPPED offsetZero{};
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(*m_log.StreamAddress()))), stale.data(),
                        static_cast<DWORD>(stale.size()), &written, &offsetZero));
#else
  ASSERT_EQ(pwrite(fileno(*m_log.StreamAddress()), stale.data(), stale.size(), 0),
            static_cast<ssize_t>(stale.size()));
#endif
  m_log.Write("second", 1);
  m_log.Close();
  EXPECT_EQ(ReadLogLines(m_path), Concat(Header(), {"first", "stale", "second"}));
}

TEST_F(CtrlLogTest, FileOverTheLimitAtOpenMovesAsideReplacingTheOldOne) {
  UseLog(1, 1000);
  const std::string oldPath = m_dir.File("app_old.log");
  WriteWholeFile(oldPath, "stale");
  WriteWholeFile(m_path, std::string(1001, 'a'));
  m_log.Write("fresh", 1);
  EXPECT_EQ(ReadWholeFile(oldPath), std::string(1001, 'a'));
  EXPECT_EQ(ReadLogLines(m_path), Concat(Header(), {"fresh"}));
}

TEST_F(CtrlLogTest, FileAtTheLimitIsKept) {
  UseLog(1, 1000);
  WriteWholeFile(m_path, std::string(1000, 'a'));
  m_log.Open();
  EXPECT_FALSE(FileExists(m_dir.File("app_old.log")));
}

TEST_F(CtrlLogTest, GrowingPastTheLimitMovesAsideWithoutANewHeader) {
  UseLog(1, 1500);
  for (int i = 0; i < 40; ++i) m_log.LogF(1, "line %02d %s", i, std::string(40, '-').c_str());
  const Lines old = ReadLogLines(m_dir.File("app_old.log"));
  const Lines current = ReadLogLines(m_path);
  ASSERT_FALSE(old.empty());
  ASSERT_FALSE(current.empty());
  EXPECT_EQ(current.front().substr(0, 5), "line ") << "no header after a move while writing";
  EXPECT_LE(FileSize(m_path), 1500 + 80);
  EXPECT_EQ(current.back(), "line 39 " + std::string(40, '-'));
}

TEST_F(CtrlLogTest, CheckSizeMovesAsideAndReportsAnOpenFile) {
  UseLog(1, 200);
  EXPECT_EQ(m_log.CheckSize(), 0) << "no file open yet";
  m_log.LogF(1, "%s", std::string(300, 'z').c_str());
  EXPECT_EQ(m_log.CheckSize(), 1);
  EXPECT_TRUE(FileExists(m_dir.File("app_old.log")));
  EXPECT_EQ(FileSize(m_path), 0);
  EXPECT_EQ(m_log.CheckSize(), 1) << "nothing to move: still open";
}

// Another process moved the file aside and went on in a new one: the size test follows it there, without
// moving the new file, touching the old one or writing a header block.
TEST_F(CtrlLogTest, AMoveByAnotherProcessIsFollowed) {
  UseLog(1, 1000);
  const std::string full(1100, 'f');
  m_log.Write(full.c_str(), 1);
  const std::string oldPath = m_dir.File("app_old.log");
  ASSERT_EQ(std::rename(m_path.c_str(), oldPath.c_str()), 0);
  WriteWholeFile(m_path, "12/07/26-14:03:05.042 other\r\n");
  EXPECT_EQ(m_log.CheckSize(), 1);
  m_log.Write("next", 1);
  EXPECT_EQ(ReadLogLines(m_path), (Lines{"other", "next"}));
  EXPECT_EQ(ReadLogLines(oldPath), Concat(Header(), {full}));
}

#ifdef _WIN32
// Two logs on one file stand for two processes. The line lock tells each that the other has written since
// its own last line, so its next line reads the file's size first: after the other's move-aside it goes
// into the new file, not the moved one.
TEST_F(CtrlLogTest, TheLineAfterAnotherWritersMoveGoesIntoTheNewFile) {
  UseLog(1, 1000);
  CQelCtrlLog other;
  other.UseSettings(m_path, 1, 1000);
  m_log.Write("mine", 1);
  other.Write(std::string(1100, 'o').c_str(), 1);
  other.Write("moved", 1);
  m_log.Write("after", 1);
  EXPECT_EQ(ReadLogLines(m_path), (Lines{"moved", "after"}));
}

// A writer that has not written since the first move still holds the old file open; the next move replaces
// that old file all the same.
TEST_F(CtrlLogTest, TheNextMoveReplacesAnOldFileAnotherWriterStillHolds) {
  UseLog(1, 1000);
  CQelCtrlLog other;
  other.UseSettings(m_path, 1, 1000);
  other.Write("other", 1);
  const std::string full(1100, 'f');
  m_log.Write(full.c_str(), 1);
  m_log.Write("first move", 1);
  m_log.Write(full.c_str(), 1);
  m_log.Write("second move", 1);
  EXPECT_EQ(ReadLogLines(m_path), Lines{"second move"});
  EXPECT_EQ(ReadLogLines(m_dir.File("app_old.log")), (Lines{"first move", full}));
}
#endif

TEST_F(CtrlLogTest, FileNameWithoutADotIsNeverMovedAside) {
  UseLog(1, 200, "applog");
  for (int i = 0; i < 10; ++i) m_log.LogF(1, "%s", std::string(100, 'n').c_str());
  EXPECT_GT(FileSize(m_path), 1000);
  EXPECT_EQ(ReadLogLines(m_path).size(), Header().size() + 10);
}

TEST_F(CtrlLogTest, DottedDirectoryStillMovesAsideBesideTheFile) {
  TempDir dottedParent;
  const std::string dir = dottedParent.File("logs.d");
  std::error_code ignored;
  ASSERT_TRUE(std::filesystem::create_directory(dir, ignored));
  const std::string path = dir + "/" + "app.log";
  m_log.UseSettings(path, 1, 200);
  for (int i = 0; i < 5; ++i) m_log.LogF(1, "%s", std::string(100, 'd').c_str());
  EXPECT_TRUE(FileExists(dir + "/app_old.log"));
  EXPECT_LE(FileSize(path), 200 + 130);
  m_log.Close();  // before its directory goes: a file still open there cannot go with it
}

TEST_F(CtrlLogTest, UnopenablePathFailsQuietlyAndRetries) {
  m_path = m_dir.File("missing-dir/app.log");
  m_log.UseSettings(m_path, 1, kDefaultLogMaxSize);
  EXPECT_EQ(m_log.Write("lost", 1), 0);
  EXPECT_EQ(m_log.CheckSize(), 0);
  std::filesystem::create_directory(m_dir.File("missing-dir"));
  EXPECT_EQ(m_log.Write("kept", 1), 1);
  EXPECT_EQ(ReadLogLines(m_path), Concat(Header(), {"kept"}));
}

#ifndef _WIN32
// Off Windows the folder can go while the file in it is open, so the reopen after the move-aside fails.
TEST_F(CtrlLogTest, ALineLostAtTheReopenIsFollowedByNoHeaderUntilANewSession) {
  const std::string dir = m_dir.File("logs");
  ASSERT_TRUE(std::filesystem::create_directory(dir));
  m_path = dir + "/app.log";
  m_log.UseSettings(m_path, 1, 200);
  m_log.LogF(1, "%s", std::string(300, 'a').c_str());
  std::filesystem::remove_all(dir);
  EXPECT_EQ(m_log.Write("lost", 1), 0);
  ASSERT_TRUE(std::filesystem::create_directory(dir));
  EXPECT_EQ(m_log.Write("kept", 1), 1);
  EXPECT_EQ(ReadLogLines(m_path), Lines{"kept"}) << "the same session goes on";
  m_log.Close();
  m_log.UseSettings(m_path, 1, kDefaultLogMaxSize);  // the header block alone would pass 200 bytes
  EXPECT_EQ(m_log.Write("next session", 1), 1);
  EXPECT_EQ(ReadLogLines(m_path), Concat(Concat({"kept"}, Header()), {"next session"}));
}
#endif

TEST(OldLogFileName, InsertsOldBeforeTheFirstDotOfTheFileName) {
  const struct {
    const char* path;
    const char* old;
  } rows[] = {
      {"C:\\Logs\\QelVorlaProxy.log", "C:\\Logs\\QelVorlaProxy_old.log"},
      {"QelVorlaProxy.log", "QelVorlaProxy_old.log"},
      {"C:\\Logs.d\\app.log", "C:\\Logs.d\\app_old.log"},
      {"./logs/app.log", "./logs/app_old.log"},
      {"app.tar.gz", "app_old.tar.gz"},
      {"C:\\Logs\\app", ""},
      {"C:\\Logs.d\\app", ""},
      {"", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(OldLogFileName(row.path), row.old) << row.path;
}

TEST(DisplayDllVersion, FileWithoutVersionSaysSo) {
  TempDir dir;
  CQelCtrlLog log;
  log.UseSettings(dir.File("v.log"), 1, kDefaultLogMaxSize);
  log.Open();
  log.DisplayDllVersion("NoSuchLibrary.dll");
  EXPECT_EQ(ReadLogLines(dir.File("v.log")),
            Lines{"DisplayDllVersion: File=NoSuchLibrary.dll, Failed to get version number"});
}

#ifdef _WIN32
TEST(DisplayDllVersion, ReadsASystemLibrarysVersion) {
  TempDir dir;
  CQelCtrlLog log;
  log.UseSettings(dir.File("v.log"), 1, kDefaultLogMaxSize);
  log.Open();
  log.DisplayDllVersion("kernel32.dll");
  const Lines lines = ReadLogLines(dir.File("v.log"));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(DisplayDllVersion: File=kernel32\.dll, -?\d+\.-?\d+\.-?\d+\.-?\d+)")))
      << lines[0];
}
#endif
