// Where qelhost's trace goes, and how much of it: every line says what happened in words first and the raw
// values after, in brackets; --quiet keeps only the per-cell summaries, --verbose adds every raw field.
// Lines come from the host's thread and from the proxies' threads, one whole line at a time.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

enum class Verbosity { Quiet, Normal, Verbose };

class TraceOutput {
 public:
  TraceOutput(FILE* out, Verbosity verbosity) : m_out(out), m_verbosity(verbosity) {}
  TraceOutput(const TraceOutput&) = delete;
  TraceOutput& operator=(const TraceOutput&) = delete;

  // "cell N: WORDS [RAW]"; with --verbose "cell N: WORDS [RAW DETAIL]"; "session: ..." for cell -1, what
  // belongs to no one cell. Nothing with --quiet.
  void Event(int cell, const std::string& words, const std::string& raw, const std::string& detail = "");
  // "cell N: WORDS [FIELDS]", or "session: ..." for cell -1: one event as the trace shows it.
  static std::string EventLine(int cell, const std::string& words, const std::string& fields);
  // The script step about to run: "> STEP". Nothing with --quiet.
  void Step(const std::string& text);
  // "cell N: summary: TEXT", whatever the verbosity.
  void Summary(int cell, const std::string& text);

 private:
  void Line(const std::string& text);

  FILE* m_out;
  const Verbosity m_verbosity;
  std::mutex m_lock;
};
