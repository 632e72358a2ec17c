// What one cell's host terminal received, in words, and its tally for the closing summary. A beat's bit
// field counts the bits carried since the previous beat, so its bytes are bits / 8 and its rate is those
// bytes over the seconds since that beat.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "log_notice.h"
#include "strict_verdict.h"
#include "trace_output.h"

// "1.5 MB/s", "12.0 kB/s", "300 B/s": decimal units, as players show rates.
std::string RateText(uint64_t bytes, double seconds);

class CellTrace {
 public:
  using Clock = std::function<double()>;  // seconds from any fixed origin
  static double SteadySeconds();

  CellTrace(int cell, TraceOutput& out, Clock clock = SteadySeconds) : m_cell(cell), m_out(out), m_clock(clock) {}

  void Talkback(long command, long acid, long value);
  void Beat(long ucid, const std::string& statusText);
  // Anything else the host did: words, then the raw values.
  void Note(const std::string& words, const std::string& raw) { m_out.Event(m_cell, words, raw); }
  // A line of the shared log about this cell's player path, counted as FailureTally counts.
  void LogLine(const LogNotice& notice);
  // A step asked the control to play (a URL for connection 0): from then on a port is due.
  void PlayAsked();
  // The port last reported, if any.
  std::optional<long> Port() const;
  // The failures the log showed.
  int Failures() const;
  // What --strict counts for this cell, as trace lines: the log's failures, and a port that was due and
  // never came (a plug-in whose GetPort answers none leaves no line in the log).
  std::vector<std::string> FailureLines() const;
  // "port 49731; 9 beats (6 playing, 2 idle, 1 closing); 3145728 bytes reported; 0 stops; host references left 0",
  // with "N failures in the log" before the references when the log showed any.
  std::string Summary(long referencesLeft) const;

 private:
  std::string BytesWords(uint64_t bytes, double now);

  const int m_cell;
  TraceOutput& m_out;
  const Clock m_clock;
  mutable std::mutex m_lock;  // the proxies' threads reach the host too
  std::optional<long> m_port;
  int m_beats = 0;
  int m_playing = 0;
  int m_idle = 0;
  int m_closing = 0;
  uint64_t m_bytes = 0;
  int m_stops = 0;
  FailureTally m_failures;
  bool m_playAsked = false;
  std::optional<double> m_lastBeat;
};
