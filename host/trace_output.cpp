#include "trace_output.h"

#include "log/log_escape.h"

void TraceOutput::Event(int cell, const std::string& words, const std::string& raw, const std::string& detail) {
  if (m_verbosity == Verbosity::Quiet) return;
  std::string fields = raw;
  if (m_verbosity == Verbosity::Verbose && !detail.empty()) fields += (fields.empty() ? "" : " ") + detail;
  Line(EventLine(cell, words, fields));
}

std::string TraceOutput::EventLine(int cell, const std::string& words, const std::string& fields) {
  return (cell < 0 ? std::string("session") : "cell " + std::to_string(cell)) + ": " + words +
         (fields.empty() ? "" : " [" + fields + "]");
}

void TraceOutput::Step(const std::string& text) {
  if (m_verbosity != Verbosity::Quiet) Line("> " + text);
}

void TraceOutput::Summary(int cell, const std::string& text) {
  Line("cell " + std::to_string(cell) + ": summary: " + text);
}

void TraceOutput::Line(const std::string& text) {
  // Scripts and the library hand the trace host-controlled texts (URLs, hosts, headers): escaped as the
  // log escapes them, so each trace line is one line.
  const std::string escaped = EscapeLogText(text);
  std::lock_guard<std::mutex> hold(m_lock);
  std::fprintf(m_out, "%s\n", escaped.c_str());
  std::fflush(m_out);
}
