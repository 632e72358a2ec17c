// qelhost's command line: qelhost [--cells N] [--quiet | --verbose] [--strict] [--timing] SESSION, or --help |
// --version.
#pragma once

#include <string>

#include "trace_output.h"

struct HostOptions {
  int cells = 1;
  Verbosity verbosity = Verbosity::Normal;
  std::string session;
  bool help = false;
  bool version = false;  // the simulator's version and the library's
  bool strict = false;   // a failure of the player path in the log makes the exit status non-zero
  bool timing = false;   // after the summaries, how long the calls into the library held the host's thread
};

// False with a message for the user when the arguments make no command. Options come in any order;
// --help or --version answers alone, whatever else is given.
bool ParseHostOptions(int argc, const char* const* argv, HostOptions& options, std::string& error);

// The usage line, the options and every session step with its arguments and ranges.
std::string HostHelp();

// The exit status of a session that ran, with --strict, when the log showed a failure.
inline constexpr int kExitFailureInLog = 4;
// The exit status of a session that Ctrl-C cut short: the shell's convention for SIGINT (128 + 2).
inline constexpr int kExitInterrupted = 130;
