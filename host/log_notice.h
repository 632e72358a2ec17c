// What the trace shows of the shared log, and what --strict counts: the library's failures, known by the
// whole line as its failure table writes it (log/failure_lines.h), and the relay's lines about its
// players' connections (the route each took, or why it could not), a failed one known by the relay's
// mark. Nothing is judged by a word, so a URL or a host name holding "failed" or "refused" changes
// nothing. Other lines (settings, progress, a plug-in's own words) stay in the file. An error number in
// brackets gets the system's text for it beside it:
//   "connect failed (10061)" -> "connect failed (10061: No connection could be made ...)"
#pragma once

#include <functional>
#include <optional>
#include <string>

struct LogNotice {
  std::string source;  // the writing library: "QelVorlaProxy" or a plug-in's name
  std::string text;    // without the time stamp and the plug-in's name, error numbers explained
  int relay = 0;       // the relay's number in "Relay N ...", 0 for other lines
  std::optional<long> listeningPort;  // "Relay N listening on 127.0.0.1:PORT": whose port the relay serves
  bool shown = false;    // a line the trace shows
  bool failure = false;  // a failure of the player path, which --strict counts
  // "Relay N connection M" on the lines about one player's connection; `routed` when that line says it got
  // through ("...: to HOST:PORT ..."), which makes up for the sources it could not reach before.
  std::string player;
  bool routed = false;
};

using SystemMessageFn = std::function<std::string(unsigned long code)>;

// One line of the shared log ("MM/DD/YY-HH:MM:SS.mmm [NAME: ]TEXT", CR LF already removed); nullopt for a
// line that is no log line (a file header's rule, a partial line).
std::optional<LogNotice> ReadLogNotice(const std::string& line, const SystemMessageFn& systemMessage);
