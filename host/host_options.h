// qelhost's command line: qelhost [--cells N] [--quiet | --verbose] SESSION, or qelhost --help | --version.
#pragma once

#include <string>

#include "trace_output.h"

struct HostOptions {
  int cells = 1;
  Verbosity verbosity = Verbosity::Normal;
  std::string session;
  bool help = false;
  bool version = false;  // the simulator's version and the library's
};

// False with a message for the user when the arguments make no command. Options come in any order;
// --help or --version answers alone, whatever else is given.
bool ParseHostOptions(int argc, const char* const* argv, HostOptions& options, std::string& error);

// The usage line, the options and every session step with its arguments and ranges.
std::string HostHelp();
