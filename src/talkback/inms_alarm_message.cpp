#include "talkback/inms_alarm_message.h"

#include <algorithm>
#include <cstring>

#include "base/big_endian.h"

namespace {
constexpr size_t kHeaderSize = 4;
constexpr size_t kLongestText = 0xFFFF - 1;  // the 16-bit length counts the NUL as well
}  // namespace

CInmsAlarmMessage::CInmsAlarmMessage(LONG nUCID, const std::string& text) {
  const size_t textLength = std::min(text.size(), kLongestText);
  const size_t lengthWithNul = textLength + 1;
  m_bytes.assign(kHeaderSize + lengthWithNul + 1, 0);
  PutBigEndian16(&m_bytes[0], static_cast<uint32_t>(nUCID));
  PutBigEndian16(&m_bytes[2], static_cast<uint32_t>(lengthWithNul));
  std::memcpy(&m_bytes[kHeaderSize], text.data(), textLength);
}
