// A host process of its own writing into a log file: LINES lines "TAG N", N counting from 0. Exits with 3
// when a line could not be written.
//   log_line_writer.exe FILE TAG LINES [LIMIT]
// LIMIT is the size limit in bytes; without it the largest, so the file is never moved aside.
#include <cstdlib>

#include "log/ctrl_log.h"

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) return 2;
  CQelCtrlLog log;
  log.UseSettings(argv[1], 1, argc == 5 ? std::atoi(argv[4]) : 10239 * 1024);
  const int lines = std::atoi(argv[3]);
  // Goes on after a line that was not written, so what follows it can be checked too.
  int lost = 0;
  for (int i = 0; i < lines; ++i)
    if (log.LogF(1, "%s %d", argv[2], i) != 1) ++lost;
  return lost == 0 ? 0 : 3;
}
