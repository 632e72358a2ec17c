#include "http_upgrade_answer.h"

#include <algorithm>

#include "http_status_line.h"

namespace {

// An interim answer's head is a few hundred bytes; one that goes on without end is no answer.
constexpr size_t kMaxHeadBytes = 64 * 1024;

}  // namespace

UpgradeAnswer::Verdict UpgradeAnswer::Feed(const char* data, size_t size) {
  if (m_verdict != Verdict::Undecided) return m_verdict;
  // Up to one byte past the bound, which is enough to tell a head that goes on without end.
  const size_t room = m_read.size() <= kMaxHeadBytes ? kMaxHeadBytes + 1 - m_read.size() : 0;
  m_read.append(data, std::min(size, room));
  while (ReadNext()) {
  }
  if (m_verdict == Verdict::Undecided && m_read.size() > kMaxHeadBytes) m_verdict = Verdict::Declined;
  return m_verdict;
}

bool UpgradeAnswer::ReadNext() {
  if (m_verdict != Verdict::Undecided) return false;
  const size_t lineEnd = m_read.find('\n');
  if (lineEnd == std::string::npos) return false;
  const int status = HttpStatusOf(std::string_view(m_read).substr(0, lineEnd));
  if (status == 101) m_verdict = Verdict::Switched;
  if (status < 100 || status > 199) m_verdict = Verdict::Declined;
  if (m_verdict != Verdict::Undecided) return false;
  // An interim answer: its head ends at the first empty line, and the next answer's status line follows.
  size_t headEnd = m_read.find("\n\r\n", lineEnd);
  size_t endSize = 3;
  const size_t bareEnd = m_read.find("\n\n", lineEnd);
  if (bareEnd < headEnd) {
    headEnd = bareEnd;
    endSize = 2;
  }
  if (headEnd == std::string::npos) return false;
  m_read.erase(0, headEnd + endSize);
  return true;
}
