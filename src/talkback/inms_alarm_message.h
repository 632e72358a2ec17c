// The INMS alarm that carries a heartbeat's status text to the host: UCID (2), length L (2), then L bytes
// of text with its terminating NUL, integers big-endian.
#pragma once

#include <string>
#include <vector>

#include "base/platform.h"

class CInmsAlarmMessage {
 public:
  // Only the UCID's low 16 bits are sent. A text too long for the 16-bit length is cut so the length
  // always describes the bytes that follow it.
  CInmsAlarmMessage(LONG nUCID, const std::string& text);

  // The bytes to send; Size() of them, 4 + L.
  BYTE* Data() { return m_bytes.data(); }
  LONG Size() const { return static_cast<LONG>(m_bytes.size() - 1); }

 private:
  // One zero byte more than is sent, so the text stays terminated even for a reader that overruns.
  std::vector<BYTE> m_bytes;
};
