// qelhost's command line: qelhost [--cells N] [--quiet | --verbose] SESSION, or qelhost --help.
#pragma once

#include <string>

#include "trace_output.h"

struct HostOptions {
  int cells = 1;
  Verbosity verbosity = Verbosity::Normal;
  std::string session;
  bool help = false;
};

// False with a message for the user when the arguments make no command.
bool ParseHostOptions(int argc, const char* const* argv, HostOptions& options, std::string& error);

// The usage line, the options and every session step with its arguments and ranges.
std::string HostHelp();
