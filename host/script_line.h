// One line of a session script, read word by word. Every refusal names the file, the line, what was
// expected and what was found, with the same wording for every number:
//   demo.qel:3: expected an ACID from -2147483648 to 2147483647, found "4294967296"
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

struct ScriptError {
  std::string message;
};

// The values a wire field can carry.
struct ValueRange {
  int64_t min;
  int64_t max;
};

inline constexpr ValueRange kInt32Range{INT32_MIN, INT32_MAX};
inline constexpr ValueRange kOctetRange{0, 255};
inline constexpr ValueRange kPortRange{0, 65535};
// What a counted text field carries, whichever its length field.
inline constexpr size_t kMaxTextBytes = 255;

// "from MIN to MAX", as refusals and the help text write a range.
std::string RangeText(const ValueRange& range);

// The token between double quotes, with a quote, a backslash and every byte that is not printable ASCII
// written as an escape (\", \\, \xNN), so a refusal shows exactly what the file holds.
std::string Quoted(const std::string& token);

class ScriptLine {
 public:
  ScriptLine(const std::string& fileName, int line, const std::string& text)
      : m_fileName(fileName), m_line(line), m_text(text), m_words(text) {}

  [[noreturn]] void Fail(const std::string& expected) const;
  // The next word; refused as `expected` when the line has ended.
  std::string Word(const std::string& expected);
  // Word, for a secret (a password, a key): the trace shows it as "****", as the log does.
  std::string SecretWord(const std::string& expected);
  // The next word as a text its field can carry: `what` of 1 to kMaxTextBytes bytes.
  std::string Text(const std::string& what, bool secret = false);
  bool MaybeWord(std::string& word) { return static_cast<bool>(m_words >> word); }
  // A decimal number (or 0x hexadecimal) inside the range; `what` names it ("an ACID").
  int64_t Number(const std::string& what, const ValueRange& range);
  // The rest of the line, leading blanks dropped, at most maxBytes long (and not empty unless minBytes is 0).
  std::string Rest(const std::string& what, size_t minBytes, size_t maxBytes);
  void End();
  // The line as the trace shows it, every secret word written as "****".
  std::string Shown() const;

 private:
  std::string m_fileName;
  int m_line;
  std::string m_text;
  std::istringstream m_words;
  std::vector<std::pair<size_t, size_t>> m_secrets;  // offset and length in m_text
};

// A number from its token; false when the token is no number or lies outside the range.
bool ReadNumber(const std::string& token, const ValueRange& range, int64_t& value);

// Refuses a text that its counted field cannot carry: `what` of minBytes to maxBytes.
void RequireLength(const ScriptLine& line, const std::string& what, const std::string& text, size_t minBytes,
                   size_t maxBytes);
