// What the trace shows of the shared log: the library's failures and the relay's lines about its
// connections (the route it took, or why it could not), so a failed player path shows on screen and not
// only in the file. An error number in brackets gets the system's text for it beside it:
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
  bool failure = false;  // a line that says something failed
  // "Relay N connection M" on the lines about one player's connection; `routed` when that line says it got
  // through ("...: to HOST:PORT ..."), which makes up for the sources it could not reach before.
  std::string player;
  bool routed = false;
};

using SystemMessageFn = std::function<std::string(unsigned long code)>;

// One line of the shared log ("MM/DD/YY-HH:MM:SS.mmm [NAME: ]TEXT", CR LF already removed); nullopt for a
// line that is no log line (a file header's rule, a partial line).
std::optional<LogNotice> ReadLogNotice(const std::string& line, const SystemMessageFn& systemMessage);
