// A host process of its own writing into a log file, or holding the line lock the way a process that ends
// or stops in the middle of a line would.
//   log_line_writer.exe FILE TAG LINES [START_EVENT [LIMIT]]  LINES lines "TAG N", N from 0, once the named
//                                                             event is set; exits with 3 when a line was lost
//                                                             (LIMIT: the size limit in bytes; without it the
//                                                             largest, so the file is never moved aside)
//   log_line_writer.exe --flood FILE TAG START_EVENT STOP_EVENT LIMIT
//                                                  a proxy plug-in (the stand-in) floods the shared log with
//                                                  lines "QelVideoProxy_WMP: TAG plugin N ....." (half a
//                                                  kilobyte) as fast as it can until the stop event is set;
//                                                  before every kLibraryEvery-th the library writes "TAG
//                                                  library N", the first opening the file, and last "TAG
//                                                  library end LINES"
//   log_line_writer.exe --sessions FILE TAG SESSIONS START_EVENT
//                                                  SESSIONS sessions of one line "TAG N" each: the line opens
//                                                  the file with a header block, then the log is closed
//   log_line_writer.exe --hold-line-lock EVENT exit|wait  takes the line lock, sets the named event, then
//                                                          ends or waits without releasing the lock
#include <cstdlib>
#include <cstring>
#include <string>

#include "log/ctrl_log.h"
#include "log/log_line_lock.h"
#include "proxy_standin_control.h"

namespace {

// Library lines are few beside the plug-in's, so a plug-in line that missed the size test would pass the
// limit many times over before the next library line.
constexpr int kLibraryEvery = 300;
// A plug-in line as long as the relay's longest notices, about half a kilobyte.
const std::string kNoticeTail(480, '.');

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

bool IsSet(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

int Flood(const char* path, const char* tag, const char* startEvent, const char* stopEvent, LONG limit) {
  StandInLibrary plugin("QelVideoProxy_WMP.dll");
  const auto setLogFile = reinterpret_cast<ProxySetLogFileFn>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleA("QelVideoProxy_WMP.dll"), kProxySetLogFileExport)));
  HANDLE stop = OpenEventA(SYNCHRONIZE, FALSE, stopEvent);
  if (!plugin.Loaded() || setLogFile == nullptr || stop == nullptr) return 6;
  if (!AwaitStart(startEvent)) return 5;
  CQelCtrlLog log;
  log.UseSettings(path, 1, limit);
  setLogFile(log.StreamAddress(), log.Level(), log.LockAddress());
  int lost = 0;
  int lines = 0;
  // Asking for the event is a call into the system: once in a while.
  for (; lines % 64 != 0 || !IsSet(stop); ++lines) {
    if (lines % kLibraryEvery == 0 && log.LogF(1, "%s library %d", tag, lines) != 1) ++lost;
    plugin.WriteLog(1, (std::string(tag) + " plugin " + std::to_string(lines) + " " + kNoticeTail).c_str());
  }
  if (log.LogF(1, "%s library end %d", tag, lines) != 1) ++lost;
  CloseHandle(stop);
  return lost == 0 ? 0 : 3;
}

int Sessions(const char* path, const char* tag, int sessions, const char* startEvent) {
  if (!AwaitStart(startEvent)) return 5;
  CQelCtrlLog log;
  log.UseSettings(path, 1, 10239 * 1024);
  int lost = 0;
  for (int i = 0; i < sessions; ++i) {
    if (log.LogF(1, "%s %d", tag, i) != 1) ++lost;
    log.Close();
  }
  return lost == 0 ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--hold-line-lock") == 0) return HoldLineLock(argv[2], argv[3]);
  if (argc == 6 && std::strcmp(argv[1], "--sessions") == 0)
    return Sessions(argv[2], argv[3], std::atoi(argv[4]), argv[5]);
  if (argc == 7 && std::strcmp(argv[1], "--flood") == 0)
    return Flood(argv[2], argv[3], argv[4], argv[5], std::atoi(argv[6]));
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
