// The host simulator's session script: one step per line, '#' starts a comment. Steps run on every cell
// unless a "cell N" line has begun a block of steps for cell N alone ("cell all" ends it). SessionStepsHelp()
// lists every step with its arguments and their ranges.
#pragma once

#include <string>
#include <vector>

#include "script_line.h"
#include "video/command_writer.h"

// The cells a "cell N" block may name.
inline constexpr ValueRange kCellIndexRange{0, 63};

struct ScriptStep {
  enum class Kind { Command, SetACID, Wait, Show, Hide, Delete, Cell };
  static constexpr int kEveryCell = -1;
  static ScriptStep Of(Kind kind, long value = 0) {
    ScriptStep step;
    step.kind = kind;
    step.value = value;
    return step;
  }
  Kind kind = Kind::Command;
  CommandBytes bytes;  // Command: the buffer to hand to ProcessBuf
  long value = 0;      // SetACID: the ACID; Wait: milliseconds; Cell: the cell or kEveryCell
  int cell = kEveryCell;  // the cell the step runs on
  int line = 0;
  std::string text;  // the line as written, secrets masked, for the trace
  bool startsPlay = false;  // a URL for connection 0 that the library acts on: a port is due
};

// Every step of the script (a UTF-8 byte-order mark at its start is skipped); on the first bad line,
// throws ScriptError naming the file, the line and what was expected.
// A "cell" line is no step of its own: it sets the cell of the steps after it.
std::vector<ScriptStep> ParseSessionScript(const std::string& fileName, const std::string& text);

// The cells a session needs: the highest cell a block names, plus one; 0 when no block names one.
int CellsNamed(const std::vector<ScriptStep>& steps);

// One line per step: its arguments with their ranges, and what it does.
std::string SessionStepsHelp();
