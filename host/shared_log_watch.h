// Follows the shared log while a session runs and puts the lines a trace shows (log_notice.h) into the
// cells' traces: a relay's line goes to the cell its port was reported to, a library line to the cell whose
// step is running, or between steps to the only cell; what belongs to no one cell shows as the session's.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cell_trace.h"
#include "log_notice.h"
#include "strict_verdict.h"

class SharedLogWatch {
 public:
  // Starts at the file's present end: lines of earlier sessions in the same file are not this one's.
  SharedLogWatch(std::string path, TraceOutput& out, SystemMessageFn systemMessage);

  // Traces the lines added since the last call. `runningCell` is the cell whose step just ran, or -1.
  void Poll(const std::vector<CellTrace*>& cells, int runningCell);
  // Failures traced as the session's own, outside any cell.
  const FailureTally& SessionFailures() const { return m_sessionFailures; }

 private:
  std::vector<std::string> NewLines();
  CellTrace* Owner(const LogNotice& notice, const std::vector<CellTrace*>& cells, int runningCell) const;

  const std::string m_path;
  TraceOutput& m_out;
  const SystemMessageFn m_systemMessage;
  uint64_t m_offset = 0;
  std::map<int, long> m_relayPorts;
  FailureTally m_sessionFailures;
};
