// One line as the log file receives it: "MM/DD/YY-HH:MM:SS.mmm TEXT" and CR LF, the text escaped by the
// line contract, handed to the stream whole and flushed.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

// One formatted message: 1023 characters and the NUL. Longer texts are written in pieces of this size.
inline constexpr size_t kLogMessageBufferSize = 1024;

class LogLineWriter {
 public:
  // Returns the bytes written, which the size test counts.
  size_t Write(FILE* stream, std::string_view text);

 private:
  char* PutTimestamp(char* out);

  // The stamp's date and time change once a second: their text is made then, only the milliseconds
  // every line.
  int m_stampFields[6] = {-1, -1, -1, -1, -1, -1};
  char m_stampText[18] = {};  // "MM/DD/YY-HH:MM:SS."
};
