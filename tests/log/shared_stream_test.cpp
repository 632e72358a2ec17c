// The plug-in writes into the log from its own threads through the stream pointer's address and the log's
// section, while the log moves the file aside under it. No line may be lost or torn.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "log/ctrl_log.h"
#include "support/log_reader.h"
#include "support/temp_dir.h"

namespace {

// What the plug-in does with what it is handed.
void PluginWrite(FILE** streamAddress, CRITICAL_SECTION* lock, const std::string& text) {
  EnterCriticalSection(lock);
  if (FILE* stream = *streamAddress) {
    std::fputs(text.c_str(), stream);
    std::fputs("\r\n", stream);
    std::fflush(stream);
  }
  LeaveCriticalSection(lock);
}

}  // namespace

TEST(SharedLogStream, PluginThreadsAndTheOwnerLoseNoLineAcrossAMoveAside) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 300;
  constexpr int kOwnerLines = 300;
  TempDir dir;
  CQelCtrlLog log;
  // About 75 kB are written in all: the limit is passed once and only once, so the single "_old" file
  // keeps everything written before the move.
  log.UseSettings(dir.File("shared.log"), 1, 40000);
  log.Write("start", 1);

  std::vector<std::thread> plugins;
  for (int t = 0; t < kThreads; ++t)
    plugins.emplace_back([&log, t] {
      for (int i = 0; i < kPerThread; ++i)
        PluginWrite(log.StreamAddress(), log.LockAddress(),
                    "00/00/00-00:00:00.000 plugin " + std::to_string(t) + " " + std::to_string(i));
    });
  for (int i = 0; i < kOwnerLines; ++i) log.LogF(1, "owner %d %s", i, std::string(60, '.').c_str());
  for (auto& thread : plugins) thread.join();
  // Should the plug-in threads have run late, the exact size check of the heartbeat tick makes the move
  // happen all the same.
  log.CheckSize();
  log.Close();

  ASSERT_TRUE(FileExists(dir.File("shared_old.log"))) << "the run must have moved the file aside";
  std::map<std::string, int> counts;
  for (const char* name : {"shared_old.log", "shared.log"})
    for (const std::string& line : ReadLogLines(dir.File(name))) {
      ASSERT_EQ(line.find("<malformed>"), std::string::npos) << line;
      counts[line.substr(0, line.find(' '))]++;
    }
  EXPECT_EQ(counts["owner"], kOwnerLines);
  EXPECT_EQ(counts["plugin"], kThreads * kPerThread);
  EXPECT_EQ(counts["start"], 1);
}
