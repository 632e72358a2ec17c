// The kit's shared-log helpers against the library's own: the line, byte for byte; lines written through
// the writer the library offers, which pass the log's size test; and the line lock, one word both take turns
// on, whose holder is taken over at once when its process has ended and never released over a writer that
// took it over.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "base/clock.h"
#include "log/ctrl_log.h"
#include "log/log_escape.h"
#include "log/log_line.h"
#include "log/log_line_lock.h"
#include "shared_fields.h"
#include "support/log_reader.h"
#include "support/temp_dir.h"

namespace {

volatile long long* AsKitWord(volatile LONG64* word) { return reinterpret_cast<volatile long long*>(word); }

struct LineLockCalls {
  const char* name;
  LONG64 (*take)(volatile LONG64* word);
  void (*release)(volatile LONG64* word, LONG64 mine);
};

const LineLockCalls kLineLocks[] = {
    {"library", [](volatile LONG64* word) { return TakeLogLineLock(word); },
     [](volatile LONG64* word, LONG64 mine) { ReleaseLogLineLock(word, mine); }},
    {"kit", [](volatile LONG64* word) { return static_cast<LONG64>(KitTakeLineLock(AsKitWord(word))); },
     [](volatile LONG64* word, LONG64 mine) { KitReleaseLineLock(AsKitWord(word), mine); }},
};

LONG64 ReadWord(volatile LONG64* word) { return InterlockedCompareExchange64(word, 0, 0); }
DWORD Holder(LONG64 word) { return static_cast<DWORD>(word & 0xFFFFFFFF); }

// A process that has ended; its handle stays open, so its id is not given to another meanwhile.
class EndedProcess {
 public:
  EndedProcess() {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string command = std::string("\"") + self + "\" --gtest_list_tests";
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                        &startup, &m_process))
      return;
    TerminateProcess(m_process.hProcess, 0);
    WaitForSingleObject(m_process.hProcess, INFINITE);
  }
  ~EndedProcess() {
    if (m_process.hProcess == nullptr) return;
    CloseHandle(m_process.hThread);
    CloseHandle(m_process.hProcess);
  }
  DWORD Id() const { return m_process.dwProcessId; }

 private:
  PROCESS_INFORMATION m_process{};
};

}  // namespace

// Every kind of text, each piece boundary of a long one included, at one pinned moment.
TEST(KitLog, TheKitWritesTheLibrarysLineByteForByte) {
  std::string everyByte;
  for (int byte = 0; byte < 256; ++byte) everyByte += static_cast<char>(byte);
  const std::string texts[] = {"",
                               "VideoHost::Initialize: Done",
                               "File=C:\\Logs\\x41.log \"\xE9\xFF\" \\n",
                               everyByte,
                               std::string(1023, 'a'),
                               std::string(1024, 'b') + "\x1B",
                               std::string(1023, 'c') + "\r\n" + std::string(3000, 'd') + everyByte};
  const ClockReading at{0, 2026, 12, 7, 14, 3, 5, 42};
  const SYSTEMTIME kitAt{2026, 12, 1, 7, 14, 3, 5, 42};
  TempDir dir;
  PinClock(&at);
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.size());
    FILE* library = std::fopen(dir.File("library.log").c_str(), "wb");
    FILE* kit = std::fopen(dir.File("kit.log").c_str(), "wb");
    ASSERT_TRUE(library != nullptr && kit != nullptr);
    const size_t libraryBytes = LogLineWriter().Write(library, text);
    EXPECT_EQ(KitWriteLineAt(kit, &kitAt, text.data(), text.size()), libraryBytes);
    std::fclose(library);
    std::fclose(kit);
    EXPECT_EQ(ReadWholeFile(dir.File("kit.log")), ReadWholeFile(dir.File("library.log")));
  }
  PinClock(nullptr);
}

// A plug-in's lines through the kit move the file aside at its limit as the library's own would.
TEST(KitLog, TheKitsLinesPassTheLogsSizeTest) {
  constexpr LONG kLimit = 2048;
  TempDir dir;
  CQelCtrlLog log;
  log.UseSettings(dir.File("kit.log"), 1, kLimit);
  log.Write("open", 1);
  KitWriteLines(log.StreamAddress(), log.Level(), log.LockAddress(), 300);
  log.Close();
  EXPECT_LE(FileSize(dir.File("kit.log")), 2 * kLimit);
  EXPECT_LE(FileSize(dir.File("kit_old.log")), 2 * kLimit);
  EXPECT_EQ(ReadLogLines(dir.File("kit.log")).back(), "kit 299");
}

// Every byte value, alone and in a run long enough for the library's eight-at-a-time path.
TEST(KitLog, TheKitEscapesEveryByteAsTheLibraryDoes) {
  std::string text = "clean text, more than eight bytes \\ kept:";
  for (int byte = 0; byte < 256; ++byte) text += static_cast<char>(byte);
  std::string escaped(text.size() * kLogEscapeMaxGrowth, '\0');
  escaped.resize(KitEscape(text.data(), text.size(), escaped.data()));
  EXPECT_EQ(escaped, EscapeLogText(text));
}

// The kit's writers and the library's take turns on one word, each counting the other's holdings.
TEST(KitLog, TheLineLockWordIsTheLibrarys) {
  volatile LONG64 word = 0;
  const LONG64 self = GetCurrentProcessId();
  const long long kitHolding = KitTakeLineLock(AsKitWord(&word));
  EXPECT_EQ(word, (LONG64{1} << 32) | self);
  KitReleaseLineLock(AsKitWord(&word), kitHolding);
  EXPECT_EQ(word, LONG64{1} << 32);
  const LONG64 libraryHolding = TakeLogLineLock(&word);
  EXPECT_EQ(libraryHolding, (LONG64{2} << 32) | self);
  ReleaseLogLineLock(&word, libraryHolding);
  EXPECT_EQ(KitTakeLineLock(AsKitWord(&word)), (LONG64{3} << 32) | self);
}

// A holder whose process has ended is taken over as soon as a waiter sees it gone. Here its word keeps
// changing, as a live holder's would between lines, so the bound on a holding's age never comes: a waiter
// that did not look at the process would wait for as long as the word changes.
TEST(KitLog, AnEndedHoldersLockIsTakenOverAtOnce) {
  const EndedProcess ended;
  ASSERT_NE(ended.Id(), 0u);
  for (const LineLockCalls& lock : kLineLocks) {
    SCOPED_TRACE(lock.name);
    volatile LONG64 word = (LONG64{7} << 32) | ended.Id();
    std::atomic<bool> taken{false};
    std::atomic<bool> stop{false};
    std::thread renew([&] {
      for (LONG64 seen = ReadWord(&word); !stop && Holder(seen) == ended.Id(); seen = ReadWord(&word)) {
        InterlockedCompareExchange64(&word, seen + (LONG64{1} << 32), seen);
        Sleep(50);
      }
    });
    std::thread waiter([&] {
      lock.take(&word);
      taken = true;
    });
    for (int i = 0; i < 100 && !taken; ++i) Sleep(30);
    EXPECT_TRUE(taken) << "still waiting on a holder whose process has ended";
    stop = true;
    renew.join();
    waiter.join();
    EXPECT_EQ(Holder(ReadWord(&word)), GetCurrentProcessId());
  }
}

// A writer that kept the lock past the bound was taken over; its late release leaves the new holder's word.
TEST(KitLog, AReleaseLeavesALockTakenOverAlone) {
  for (const LineLockCalls& lock : kLineLocks) {
    SCOPED_TRACE(lock.name);
    volatile LONG64 word = 0;
    const LONG64 mine = lock.take(&word);
    const LONG64 takenOver = ((mine >> 32) + 1) << 32 | 4;
    word = takenOver;
    lock.release(&word, mine);
    EXPECT_EQ(ReadWord(&word), takenOver);
  }
}
