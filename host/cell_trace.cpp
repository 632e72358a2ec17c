#include "cell_trace.h"

#include <chrono>
#include <cstdio>

#include "base/stream_vocabulary.h"
#include "player_status.h"

namespace {

std::string Fixed(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string Count(int count, const char* singular, const char* plural) {
  return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

}  // namespace

std::string RateText(uint64_t bytes, double seconds) {
  const double rate = static_cast<double>(bytes) / seconds;
  if (rate >= 1e6) return Fixed(rate / 1e6) + " MB/s";
  if (rate >= 1e3) return Fixed(rate / 1e3) + " kB/s";
  return std::to_string(static_cast<uint64_t>(rate + 0.5)) + " B/s";
}

double CellTrace::SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void CellTrace::Talkback(long command, long acid, long value) {
  std::string words;
  std::string name;
  {
    std::lock_guard<std::mutex> hold(m_lock);
    if (command == kTalkbackReportProxyPort) {
      m_port = value;
      words = "proxy port " + std::to_string(value) + " reported";
      name = " Report Proxy Port";
    } else if (command == kTalkbackProxyStatus) {
      ++m_stops;
      words = "player stopped by another player, proxy status " + std::to_string(value) + " reported";
      name = " Proxy Status";
    } else {
      words = "talkback of an unknown command";
    }
  }
  m_out.Event(m_cell, words,
              "talkback " + std::to_string(command) + name + " acid=" + std::to_string(acid) +
                  " value=" + std::to_string(value));
}

std::string CellTrace::BytesWords(uint64_t bytes, double now) {
  const std::string amount = bytes == 0 ? "no bytes" : std::to_string(bytes) + " bytes";
  if (!m_lastBeat) return amount + " since the proxy started";
  const double seconds = now - *m_lastBeat;
  if (seconds <= 0) return amount;
  return amount + " in " + Fixed(seconds) + " s" + (bytes == 0 ? "" : " (" + RateText(bytes, seconds) + ")");
}

void CellTrace::Beat(long ucid, const std::string& statusText) {
  const std::string quoted = "ucid=" + std::to_string(ucid) + " text=\"" + statusText + "\"";
  TracedPlayerStatus status;
  if (!ParsePlayerStatus(statusText, status)) {
    m_out.Event(m_cell, "alarm with an unreadable status", "request 87 CCB_SendINMSAlarm " + quoted);
    return;
  }
  const double now = m_clock();
  const uint64_t bytes = status.bits / 8;
  std::string words;
  {
    std::lock_guard<std::mutex> hold(m_lock);
    ++m_beats;
    m_playing += status.state == 1;
    m_closing += status.state == 4;
    m_idle += status.state == 6;
    m_bytes += bytes;
    const std::string state = PlayerStateName(status.state);
    words = "beat " + std::to_string(m_beats) + ": " + (state.empty() ? "state " + std::to_string(status.state) : state) +
            ", " + BytesWords(bytes, now);
    m_lastBeat = now;
  }
  if (status.kind == 7) words += ", MPROXY connection";
  else if (status.kind != 5) words += ", connection kind " + std::to_string(status.kind);
  m_out.Event(m_cell, words,
              "state=" + std::to_string(status.state) + " bits=" + std::to_string(status.bits) +
                  " kind=" + std::to_string(status.kind),
              "acid=" + status.acid + " session1=" + status.session1 + " session2=" + status.session2 + " time=\"" +
                  status.time + "\" " + quoted);
}

void CellTrace::LogLine(const LogNotice& notice) {
  const std::string words = "log: " + notice.text;
  {
    std::lock_guard<std::mutex> hold(m_lock);
    m_failures.Add(notice, TraceOutput::EventLine(m_cell, words, notice.source));
  }
  m_out.Event(m_cell, words, notice.source);
}

void CellTrace::PlayAsked() {
  std::lock_guard<std::mutex> hold(m_lock);
  m_playAsked = true;
}

std::optional<long> CellTrace::Port() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_port;
}

int CellTrace::Failures() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return static_cast<int>(m_failures.Lines().size());
}

std::vector<std::string> CellTrace::FailureLines() const {
  std::lock_guard<std::mutex> hold(m_lock);
  std::vector<std::string> lines = m_failures.Lines();
  if (m_playAsked && !m_port)
    lines.push_back(TraceOutput::EventLine(m_cell, "no proxy port reported, though a URL for connection 0 asked "
                                                   "the control to play (the plug-in's GetPort answered none, or "
                                                   "no local proxy started)",
                                           ""));
  return lines;
}

std::string CellTrace::Summary(long referencesLeft) const {
  std::lock_guard<std::mutex> hold(m_lock);
  std::string states;
  const std::pair<int, const char*> byState[] = {{m_playing, "playing"}, {m_idle, "idle"}, {m_closing, "closing"}};
  for (const auto& [count, name] : byState) {
    if (count > 0) states += (states.empty() ? " (" : ", ") + std::to_string(count) + " " + name;
  }
  if (!states.empty()) states += ")";
  const int failures = static_cast<int>(m_failures.Lines().size());
  return (m_port ? "port " + std::to_string(*m_port) : std::string("no port reported")) + "; " +
         Count(m_beats, "beat", "beats") + states + "; " + std::to_string(m_bytes) + " bytes reported; " +
         Count(m_stops, "stop", "stops") + "; " +
         (failures > 0 ? Count(failures, "failure", "failures") + " in the log; " : std::string()) +
         "host references left " + std::to_string(referencesLeft);
}
