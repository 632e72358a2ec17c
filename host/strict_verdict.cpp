#include "strict_verdict.h"

#include <algorithm>

#include "cell_trace.h"
#include "host_options.h"
#include "log/log_escape.h"
#include "shared_log_watch.h"

void FailureTally::Add(const LogNotice& notice, const std::string& traceLine) {
  if (notice.player.empty()) {
    if (notice.failure) m_lines.push_back(traceLine);
    return;
  }
  const auto player = std::find_if(m_failedPlayers.begin(), m_failedPlayers.end(),
                                   [&](const auto& failed) { return failed.first == notice.player; });
  if (notice.routed) {
    if (player != m_failedPlayers.end()) m_failedPlayers.erase(player);
  } else if (notice.failure && player == m_failedPlayers.end()) {
    m_failedPlayers.emplace_back(notice.player, traceLine);
  }
}

std::vector<std::string> FailureTally::Lines() const {
  std::vector<std::string> lines = m_lines;
  for (const auto& [player, line] : m_failedPlayers) lines.push_back(line);
  return lines;
}

std::vector<std::string> RunFailures(const std::vector<CellTrace*>& cells, const SharedLogWatch& log) {
  std::vector<std::string> failures;
  for (const CellTrace* cell : cells) {
    const std::vector<std::string> lines = cell->FailureLines();
    failures.insert(failures.end(), lines.begin(), lines.end());
  }
  const std::vector<std::string> session = log.SessionFailures().Lines();
  failures.insert(failures.end(), session.begin(), session.end());
  return failures;
}

int StrictExitStatus(bool strict, const std::vector<std::string>& failures) {
  return strict && !failures.empty() ? kExitFailureInLog : 0;
}

void PrintStrictVerdict(FILE* out, const std::vector<std::string>& failures) {
  std::string text = "qelhost: --strict: exit status " + std::to_string(kExitFailureInLog) + ": " +
                     std::to_string(failures.size()) + (failures.size() == 1 ? " failure" : " failures") +
                     " of the player path:\n";
  // Trace lines carry host texts: escaped as the trace escapes them.
  for (const std::string& line : failures) text += "  " + EscapeLogText(line) + "\n";
  std::fputs(text.c_str(), out);
}
