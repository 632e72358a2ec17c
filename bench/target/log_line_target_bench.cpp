// One flushed log line on the target, measured on this build's own log library: the floor (fopen "ab",
// fputs, fflush of the same bytes), the log's append-only stream alone, and the control log's whole line.
// The rows take turns within each round, so a change in the machine's load meets all three alike; each row
// reports the median of its rounds, timed with the performance counter.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/platform.h"
#include "log/ctrl_log.h"
#include "log/log_file.h"
#include "support/temp_dir.h"

namespace {

constexpr int kLinesPerRound = 3000;
constexpr int kRounds = 11;
constexpr double kLogLineTarget = 1.1;
constexpr const char* kText = "VideoHost::SetURL: ProxyIdx=0, ConnIdx=0, Type=1, URL=http://media.example.com/live";

// Writes one round's lines into a fresh file at `path`; only the lines are timed, not the open or close.
using Round = std::function<double(const std::string& path)>;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The same bytes the log writes: timestamp, space, text, CR LF.
const std::string& FloorLine() {
  static const std::string line = std::string("12/07/26-14:03:05.042 ") + kText + "\r\n";
  return line;
}

double PutsAndFlush(FILE* stream) {
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  for (int i = 0; i < kLinesPerRound; ++i) {
    std::fputs(FloorLine().c_str(), stream);
    std::fflush(stream);
  }
  QueryPerformanceCounter(&end);
  std::fclose(stream);
  return Seconds(start, end);
}

double FloorRound(const std::string& path) { return PutsAndFlush(std::fopen(path.c_str(), "ab")); }

double AppendStreamRound(const std::string& path) { return PutsAndFlush(OpenLogForAppend(path)); }

double LogLineRound(const std::string& path) {
  CQelCtrlLog log;
  // The largest limit: nothing is moved aside during a round.
  log.UseSettings(path, 1, 10239 * 1024);
  log.Write("open", 1);  // the open and its header block are not the line's cost
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  for (int i = 0; i < kLinesPerRound; ++i) log.LogF(1, "%s", kText);
  QueryPerformanceCounter(&end);
  log.Close();
  return Seconds(start, end);
}

struct Row {
  const char* name;
  Round round;
  std::vector<double> microsecondsPerLine;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// What the numbers were measured on: the build's word size, and Wine's version when it runs under Wine.
void PrintPlatform() {
  const char* build = sizeof(void*) == 4 ? "32-bit build" : "64-bit build (this machine cannot run the 32-bit one)";
  using WineVersion = const char*(CDECL*)();
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  const auto wineVersion =
      ntdll != nullptr ? reinterpret_cast<WineVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")))
                       : nullptr;
  if (wineVersion != nullptr) std::printf("log line on the target: %s, under Wine %s\n", build, wineVersion());
  else std::printf("log line on the target: %s, on Windows\n", build);
  std::printf("%d lines a round, %d rounds, rows in turn; median per line\n\n", kLinesPerRound, kRounds);
}

}  // namespace

int main() {
  PrintPlatform();
  std::vector<Row> rows = {{"floor: fopen \"ab\", fputs, fflush", FloorRound, {}},
                           {"append-only stream, fputs, fflush, no lock", AppendStreamRound, {}},
                           {"CQelCtrlLog::LogF at level 1", LogLineRound, {}}};
  TempDir dir;
  for (int round = 0; round < kRounds; ++round) {
    for (size_t turn = 0; turn < rows.size(); ++turn) {
      // Each round starts with another row, so none always runs first.
      Row& row = rows[(turn + static_cast<size_t>(round)) % rows.size()];
      const std::string path = dir.File("bench.log");
      std::remove(path.c_str());
      row.microsecondsPerLine.push_back(row.round(path) * 1e6 / kLinesPerRound);
      std::remove(path.c_str());
    }
  }
  const double floor = Median(rows.front().microsecondsPerLine);
  std::printf("%-46s %12s %8s %8s\n", "row", "per line", "ratio", "target");
  for (const Row& row : rows) {
    const double perLine = Median(row.microsecondsPerLine);
    std::printf("%-46s %9.2f us %8.2f", row.name, perLine, perLine / floor);
    if (&row == &rows.back())
      std::printf(" %8.2f%s", kLogLineTarget, perLine / floor > kLogLineTarget ? "  ABOVE TARGET" : "");
    std::printf("\n");
  }
  return 0;
}
