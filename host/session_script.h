// The host simulator's session script: one step per line, '#' starts a comment. SessionStepsHelp()
// lists every step with its arguments and their ranges.
#pragma once

#include <string>
#include <vector>

#include "script_line.h"
#include "video/command_writer.h"

struct ScriptStep {
  enum class Kind { Command, SetACID, Wait, Show, Hide, Delete };
  static ScriptStep Of(Kind kind, long value = 0) {
    ScriptStep step;
    step.kind = kind;
    step.value = value;
    return step;
  }
  Kind kind = Kind::Command;
  CommandBytes bytes;  // Command: the buffer to hand to ProcessBuf
  long value = 0;      // SetACID: the ACID; Wait: milliseconds
  int line = 0;
  std::string text;  // the line as written, for the trace
};

// Every step of the script (a UTF-8 byte-order mark at its start is skipped); on the first bad line,
// throws ScriptError naming the file, the line and what was expected.
std::vector<ScriptStep> ParseSessionScript(const std::string& fileName, const std::string& text);

// One line per step: its arguments with their ranges, and what it does.
std::string SessionStepsHelp();
