// The shared log's line contract: a line ends only where its writer ends it. A byte below 0x20 or equal to
// 0x7F inside a line's text is written as an escape ("\r", "\n", "\t", otherwise "\xHH" with upper-case
// digits), so a value from the host or a stream source can neither start a line of its own nor carry
// terminal control codes. Backslashes stay as they are: paths are full of them. Header-only, so the
// library, the plug-ins that share its log and the host simulator's trace all apply the one rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// What one text byte can grow to: "\xHH".
inline constexpr size_t kLogEscapeMaxGrowth = 4;

inline bool IsLogControlByte(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

// Whether any of the eight bytes of `word` needs an escape: a byte below 0x20 borrows into its top bit
// when 0x20 is taken from it, and so does 0x7F turned into 0 by the exclusive or (bytes of 0x80 and above
// never set the top bit of ~word).
inline bool HasLogControlByte(uint64_t word) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kTopBits = 0x8080808080808080ULL;
  const uint64_t zeroAtDelete = word ^ (0x7F * kOnes);
  return ((((word - 0x20 * kOnes) & ~word) | ((zeroAtDelete - kOnes) & ~zeroAtDelete)) & kTopBits) != 0;
}

// Writes `text` escaped to `out`, which has room for kLogEscapeMaxGrowth bytes per text byte; returns the
// end of what it wrote. Every line's text passes here, so clean text goes eight bytes at a time, tested
// and copied in one pass.
inline char* EscapeLogText(std::string_view text, char* out) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  size_t i = 0;
  for (; i + sizeof(uint64_t) <= text.size(); i += sizeof(uint64_t)) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    if (HasLogControlByte(word)) break;
    std::memcpy(out, &word, sizeof word);
    out += sizeof word;
  }
  for (; i < text.size(); ++i) {
    const char c = text[i];
    const auto byte = static_cast<unsigned char>(c);
    if (!IsLogControlByte(byte)) {
      *out++ = c;
      continue;
    }
    *out++ = '\\';
    switch (byte) {
      case '\r': *out++ = 'r'; break;
      case '\n': *out++ = 'n'; break;
      case '\t': *out++ = 't'; break;
      default:
        *out++ = 'x';
        *out++ = kHexDigits[byte >> 4];
        *out++ = kHexDigits[byte & 0xF];
    }
  }
  return out;
}

inline std::string EscapeLogText(std::string_view text) {
  std::string escaped(text.size() * kLogEscapeMaxGrowth, '\0');
  escaped.resize(static_cast<size_t>(EscapeLogText(text, escaped.data()) - escaped.data()));
  return escaped;
}
