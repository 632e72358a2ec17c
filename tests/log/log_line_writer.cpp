// A host process of its own writing into a log file: LINES lines "TAG N", N counting from 0.
//   log_line_writer.exe FILE TAG LINES
#include <cstdlib>

#include "log/ctrl_log.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  CQelCtrlLog log;
  // The largest limit: the file is never moved aside under the other writer.
  log.UseSettings(argv[1], 1, 10239 * 1024);
  const int lines = std::atoi(argv[3]);
  for (int i = 0; i < lines; ++i)
    if (log.LogF(1, "%s %d", argv[2], i) != 1) return 3;
  return 0;
}
