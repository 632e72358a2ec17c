// What qelhost --strict judges a run by: the failures of the player path its trace showed, each counted
// once and kept with the trace line that showed it, so a run that ends with status 4 can say why.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "log_notice.h"

class FailureTally {
 public:
  // A shown line of the shared log. A failure counts once; a player's connection counts once however
  // many of its lines failed (sources, proxies, the hang-up), and not at all once a later line of it says
  // it got through to a backup source.
  void Add(const LogNotice& notice, const std::string& traceLine);
  // A failure the simulator found itself.
  void AddFound(const std::string& traceLine) { m_lines.push_back(traceLine); }
  // The trace lines of the failures counted.
  std::vector<std::string> Lines() const;

 private:
  std::vector<std::string> m_lines;
  std::vector<std::pair<std::string, std::string>> m_failedPlayers;  // the connection, its first failure
};

class CellTrace;
class SharedLogWatch;

// Every failure the run counted: each cell's, then the session's own, outside any cell.
std::vector<std::string> RunFailures(const std::vector<CellTrace*>& cells, const SharedLogWatch& log);
// The exit status after a session: 0, or with --strict kExitFailureInLog when any failure was counted.
int StrictExitStatus(bool strict, const std::vector<std::string>& failures);
// "qelhost: --strict: exit status 4: N failures of the player path:" and each failure's trace line.
void PrintStrictVerdict(FILE* out, const std::vector<std::string>& failures);
