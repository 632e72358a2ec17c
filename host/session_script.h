// The host simulator's session script: one step per line, '#' starts a comment.
//   acid N | isolated N | interval SECONDS | session ID1 ID2 | plugin-type N
//   socks5 HOST:PORT[|HOST:PORT] [USER PASSWORD] | plug HOST:PORT[|HOST:PORT] [HEADER]
//   secure VERSION KEYTYPE HEADER | key TOTAL INDEX KEY | url CONN TYPE URL
//   wait SECONDS | show | hide | delete | raw HEX
#pragma once

#include <string>
#include <vector>

#include "support/command_builder.h"

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

// Every step of the script; on the first bad line, throws ScriptError naming the file, the line and what
// was expected.
std::vector<ScriptStep> ParseSessionScript(const std::string& fileName, const std::string& text);

struct ScriptError {
  std::string message;
};
