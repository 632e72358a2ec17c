#include "trace_output.h"

void TraceOutput::Event(int cell, const std::string& words, const std::string& raw, const std::string& detail) {
  if (m_verbosity == Verbosity::Quiet) return;
  std::string fields = raw;
  if (m_verbosity == Verbosity::Verbose && !detail.empty()) fields += (fields.empty() ? "" : " ") + detail;
  Line("cell " + std::to_string(cell) + ": " + words + (fields.empty() ? "" : " [" + fields + "]"));
}

void TraceOutput::Step(const std::string& text) {
  if (m_verbosity != Verbosity::Quiet) Line("> " + text);
}

void TraceOutput::Summary(int cell, const std::string& text) {
  Line("cell " + std::to_string(cell) + ": summary: " + text);
}

void TraceOutput::Line(const std::string& text) {
  std::lock_guard<std::mutex> hold(m_lock);
  std::fprintf(m_out, "%s\n", text.c_str());
  std::fflush(m_out);
}
