#include "shared_log_watch.h"

#include <fstream>

SharedLogWatch::SharedLogWatch(std::string path, TraceOutput& out, SystemMessageFn systemMessage)
    : m_path(std::move(path)), m_out(out), m_systemMessage(std::move(systemMessage)) {
  std::ifstream in(m_path, std::ios::binary | std::ios::ate);
  if (in) m_offset = static_cast<uint64_t>(in.tellg());
}

std::vector<std::string> SharedLogWatch::NewLines() {
  std::vector<std::string> lines;
  std::ifstream in(m_path, std::ios::binary | std::ios::ate);
  if (!in) return lines;
  const auto size = static_cast<uint64_t>(in.tellg());
  if (size < m_offset) m_offset = 0;  // moved aside past its size limit: a new file began
  std::string added(static_cast<size_t>(size - m_offset), '\0');
  in.seekg(static_cast<std::streamoff>(m_offset));
  in.read(added.data(), static_cast<std::streamsize>(added.size()));
  added.resize(static_cast<size_t>(in.gcount()));
  // A line still being written stays for the next call.
  size_t start = 0;
  for (size_t end = added.find('\n'); end != std::string::npos; end = added.find('\n', start)) {
    lines.push_back(added.substr(start, end - start - (end > start && added[end - 1] == '\r' ? 1 : 0)));
    start = end + 1;
  }
  m_offset += start;
  return lines;
}

CellTrace* SharedLogWatch::Owner(const LogNotice& notice, const std::vector<CellTrace*>& cells, int runningCell) const {
  if (notice.relay != 0) {
    const auto port = m_relayPorts.find(notice.relay);
    for (CellTrace* cell : cells)
      if (port != m_relayPorts.end() && cell->Port() == port->second) return cell;
  } else if (runningCell >= 0 && runningCell < static_cast<int>(cells.size())) {
    return cells[static_cast<size_t>(runningCell)];
  }
  return cells.size() == 1 ? cells.front() : nullptr;
}

void SharedLogWatch::Poll(const std::vector<CellTrace*>& cells, int runningCell) {
  for (const std::string& line : NewLines()) {
    const std::optional<LogNotice> notice = ReadLogNotice(line, m_systemMessage);
    if (!notice) continue;
    if (notice->listeningPort) m_relayPorts[notice->relay] = *notice->listeningPort;
    if (!notice->shown) continue;
    if (CellTrace* owner = Owner(*notice, cells, runningCell)) {
      owner->LogLine(*notice);
    } else {
      const std::string words = "log: " + notice->text;
      m_sessionFailures.Add(*notice, TraceOutput::EventLine(-1, words, notice->source));
      m_out.Event(-1, words, notice->source);
    }
  }
}
