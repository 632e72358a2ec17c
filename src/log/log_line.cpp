#include "log/log_line.h"

#include <cstring>

#include "base/clock.h"
#include "log/ctrl_log.h"
#include "log/log_escape.h"

namespace {

// Text bytes escaped at a time: whatever the log call formats fits in one piece, so its line reaches the
// stream in one write.
constexpr size_t kPieceBytes = kLogMessageBufferSize;
constexpr size_t kStampLength = 21;  // "MM/DD/YY-HH:MM:SS.mmm"

char* PutDigits(char* out, int value, int digits) {
  if (value < 0) value = 0;
  for (int i = digits - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
  return out + digits;
}

}  // namespace

// The local date "%m/%d/%y", "-", the time "%H:%M:%S", "." and the milliseconds, written digit by digit
// because a line's budget is smaller than snprintf's.
char* LogLineWriter::PutTimestamp(char* out) {
  const ClockReading now = ReadClock();
  const int fields[] = {now.month, now.day, now.year % 100, now.hour, now.minute, now.second};
  if (std::memcmp(fields, m_stampFields, sizeof fields) != 0) {
    std::memcpy(m_stampFields, fields, sizeof fields);
    const char separators[] = {'/', '/', '-', ':', ':', '.'};
    char* text = m_stampText;
    for (size_t i = 0; i < 6; ++i) {
      text = PutDigits(text, fields[i] % 100, 2);
      *text++ = separators[i];
    }
  }
  std::memcpy(out, m_stampText, sizeof m_stampText);
  return PutDigits(out + sizeof m_stampText, now.millisecond % 1000, 3);
}

size_t LogLineWriter::Write(FILE* stream, std::string_view text) {
  char line[kStampLength + 1 + kPieceBytes * kLogEscapeMaxGrowth + 2];
  char* out = PutTimestamp(line);
  *out++ = ' ';
  size_t written = 0;
  for (;;) {
    const std::string_view piece = text.substr(0, kPieceBytes);
    text.remove_prefix(piece.size());
    out = EscapeLogText(piece, out);
    if (text.empty()) break;
    written += std::fwrite(line, 1, static_cast<size_t>(out - line), stream);
    out = line;
  }
  *out++ = '\r';
  *out++ = '\n';
  written += std::fwrite(line, 1, static_cast<size_t>(out - line), stream);
  std::fflush(stream);
  return written;
}
