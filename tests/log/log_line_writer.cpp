// A host process of its own writing into a log file, or holding the line lock the way a process that ends
// or stops in the middle of a line would.
//   log_line_writer.exe FILE TAG LINES [START_EVENT [LIMIT]]  LINES lines "TAG N", N from 0, once the named
//                                                             event is set; exits with 3 when a line was lost
//                                                             (LIMIT: the size limit in bytes; without it the
//                                                             largest, so the file is never moved aside)
//   log_line_writer.exe --hold-line-lock EVENT exit|wait  takes the line lock, sets the named event, then
//                                                          ends or waits without releasing the lock
#include <cstdlib>
#include <cstring>

#include "log/ctrl_log.h"
#include "log/log_line_lock.h"

namespace {

int HoldLineLock(const char* eventName, const char* then) {
  LogLineLockSection section;
  HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, eventName);
  if (section.Word() == nullptr || held == nullptr) return 4;
  TakeLogLineLock(section.Word());
  SetEvent(held);
  if (std::strcmp(then, "wait") == 0) Sleep(INFINITE);
  return 0;
}

bool AwaitStart(const char* eventName) {
  HANDLE start = OpenEventA(SYNCHRONIZE, FALSE, eventName);
  if (start == nullptr) return false;
  const bool started = WaitForSingleObject(start, 10000) == WAIT_OBJECT_0;
  CloseHandle(start);
  return started;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--hold-line-lock") == 0) return HoldLineLock(argv[2], argv[3]);
  if (argc < 4 || argc > 6) return 2;
  if (argc >= 5 && !AwaitStart(argv[4])) return 5;
  CQelCtrlLog log;
  log.UseSettings(argv[1], 1, argc == 6 ? std::atoi(argv[5]) : 10239 * 1024);
  const int lines = std::atoi(argv[3]);
  // Goes on after a line that was not written, so what follows it can be checked too.
  int lost = 0;
  for (int i = 0; i < lines; ++i)
    if (log.LogF(1, "%s %d", argv[2], i) != 1) ++lost;
  return lost == 0 ? 0 : 3;
}
