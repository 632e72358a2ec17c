// One line as the log file receives it: "MM/DD/YY-HH:MM:SS.mmm TEXT" and CR LF, the text escaped by the
// line contract (log_escape.h), handed to the stream whole and flushed. Header-only, so the library and the
// plug-ins built from this tree that share its file (the relay, the stand-ins) write the one format; the
// kit's C twin is held to it byte for byte by a test.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "base/clock.h"
#include "log/log_escape.h"

// One formatted message: 1023 characters and the NUL. Longer texts are escaped in pieces of this size, all
// in the one line.
inline constexpr size_t kLogMessageBufferSize = 1024;
// "MM/DD/YY-HH:MM:SS.mmm" and the space before the text.
inline constexpr size_t kLogStampLength = 22;

// Not thread-safe: its owner writes under the log's lock.
class LogLineWriter {
 public:
  // The line stamped now, written and flushed; returns the bytes written, which the size test counts.
  size_t Write(FILE* stream, std::string_view text) {
    char line[kLogStampLength + kLogMessageBufferSize * kLogEscapeMaxGrowth + 2];
    char* out = PutStamp(line);
    size_t written = 0;
    for (;;) {
      // Whatever the log call formats fits in one piece, so its line reaches the stream in one write.
      const std::string_view piece = text.substr(0, kLogMessageBufferSize);
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

  // The same line stamped now, added to `block`: lines that must reach the file as one piece.
  void Append(std::string& block, std::string_view text) {
    const size_t start = block.size();
    block.resize(start + kLogStampLength + text.size() * kLogEscapeMaxGrowth + 2);
    char* out = EscapeLogText(text, PutStamp(&block[start]));
    *out++ = '\r';
    *out++ = '\n';
    block.resize(static_cast<size_t>(out - block.data()));
  }

 private:
  static char* PutDigits(char* out, int value, int digits) {
    if (value < 0) value = 0;
    for (int i = digits - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
    return out + digits;
  }

  // The local date "%m/%d/%y", "-", the time "%H:%M:%S", "." and the milliseconds, then the space, written
  // digit by digit because a line's budget is smaller than snprintf's.
  char* PutStamp(char* out) {
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
    out = PutDigits(out + sizeof m_stampText, now.millisecond % 1000, 3);
    *out++ = ' ';
    return out;
  }

  // The stamp's date and time change once a second: their text is made then, only the milliseconds
  // every line.
  int m_stampFields[6] = {-1, -1, -1, -1, -1, -1};
  char m_stampText[18] = {};  // "MM/DD/YY-HH:MM:SS."
};
