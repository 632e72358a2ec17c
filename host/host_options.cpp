#include "host_options.h"

#include "script_line.h"
#include "session_script.h"

namespace {

constexpr ValueRange kCellRange{1, kCellIndexRange.max + 1};

}  // namespace

bool ParseHostOptions(int argc, const char* const* argv, HostOptions& options, std::string& error) {
  bool quiet = false;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h" || argument == "--version") {
      (argument == "--version" ? options.version : options.help) = true;
      return true;
    }
    int64_t cells = 0;
    if (argument == "--cells") {
      if (i + 1 >= argc || !ReadNumber(argv[i + 1], kCellRange, cells)) {
        error = "--cells expects a number of cells " + RangeText(kCellRange) +
                (i + 1 < argc ? ", found " + Quoted(argv[i + 1]) : std::string());
        return false;
      }
      options.cells = static_cast<int>(cells);
      ++i;
    } else if (argument == "--quiet") {
      quiet = true;
    } else if (argument == "--verbose") {
      verbose = true;
    } else if (argument == "--strict") {
      options.strict = true;
    } else if (argument == "--timing") {
      options.timing = true;
    } else if (argument.size() > 1 && argument[0] == '-') {
      error = "unknown option " + Quoted(argument);
      return false;
    } else if (options.session.empty()) {
      options.session = argument;
    } else {
      error = "one session script only, found " + Quoted(argument) + " after " + Quoted(options.session);
      return false;
    }
  }
  if (quiet && verbose) {
    error = "--quiet and --verbose exclude each other";
    return false;
  }
  options.verbosity = quiet ? Verbosity::Quiet : verbose ? Verbosity::Verbose : Verbosity::Normal;
  if (options.session.empty()) {
    error = "no session script given";
    return false;
  }
  return true;
}

std::string HostHelp() {
  return "usage: qelhost [--cells N] [--quiet | --verbose] [--strict] [--timing] SESSION\n"
         "       qelhost --help | --version\n"
         "\n"
         "Plays the host terminal for QelVorlaProxy.dll (loaded from beside qelhost): creates one control per\n"
         "cell, runs the session script SESSION (each step on every cell, or on one cell in a \"cell N\" block)\n"
         "and traces what the host receives, each line in words first and raw values after, in brackets.\n"
         "Lines \"log: ...\" come from the shared log, so a failed player path shows on screen: the library's\n"
         "failure lines (known by their whole form, never by a word a URL could hold too) and the relay's line\n"
         "for each player's connection (the route it took, or, marked \"error:\", why it could not), an error\n"
         "number with the system's text beside it. The rest of the log (settings, progress, a plug-in's own\n"
         "lines) stays in the file; so do the absence of the optional QelVorlaLink.dll and of plug-in files\n"
         "the session does not load, which the control works without. Ends with one summary line per cell.\n"
         "Exit status 0 after the session, 2 for a bad command line or session script, 3 when the library\n"
         "cannot be used, " + std::to_string(kExitFailureInLog) + " with --strict when the player path failed.\n"
         "Ctrl-C ends the session as its end would (every control deleted, the summaries say \"interrupted\")\n"
         "with exit status " + std::to_string(kExitInterrupted) + "; ./qelhost does the same on SIGTERM, with status 143.\n"
         "\n"
         "  --cells N    the number of cells, " + RangeText(kCellRange) + " (default 1)\n"
         "  --quiet      print the per-cell summaries only\n"
         "  --verbose    add every raw field to the trace (ACID, sessions, time, the status text)\n"
         "  --strict     end with exit status " + std::to_string(kExitFailureInLog) +
         " when the player path failed: a library failure line, a player's\n"
         "               connection the relay could not carry (once per connection, none when a backup\n"
         "               source took it), or a URL for connection 0 that got no port; stderr lists them\n"
         "  --timing     after the summaries, how long each call into the library held the host's thread, by kind\n"
         "               (ProcessBuf by step, heartbeat tick, ...): calls, median, 99th percentile, longest\n"
         "  --help       this text\n"
         "  --version    the simulator's version and that of the library it loads\n"
         "\n"
         "Session steps, one per line; '#' starts a comment. Numbers are decimal, or hexadecimal after 0x\n"
         "(acid 0x10 is 16), with an optional sign.\n" +
         SessionStepsHelp();
}
