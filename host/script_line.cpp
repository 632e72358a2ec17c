#include "script_line.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

std::string RangeText(const ValueRange& range) {
  return "from " + std::to_string(range.min) + " to " + std::to_string(range.max);
}

std::string Quoted(const std::string& token) {
  std::string out = "\"";
  for (const char c : token) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte > 0x7E) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

bool ReadNumber(const std::string& token, const ValueRange& range, int64_t& value) {
  const bool negative = !token.empty() && token[0] == '-';
  const std::string digits = token.substr(negative || (!token.empty() && token[0] == '+') ? 1 : 0);
  const bool hex = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
  // strtoll would take blanks and a second sign; only plain digits are a number here.
  const std::string body = hex ? digits.substr(2) : digits;
  if (body.empty() || body.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos)
    return false;
  errno = 0;
  const long long magnitude = std::strtoll(body.c_str(), nullptr, hex ? 16 : 10);
  if (errno == ERANGE) return false;
  value = negative ? -magnitude : magnitude;
  return value >= range.min && value <= range.max;
}

void ScriptLine::Fail(const std::string& expected) const {
  throw ScriptError{m_fileName + ":" + std::to_string(m_line) + ": expected " + expected};
}

std::string ScriptLine::Word(const std::string& expected) {
  std::string word;
  if (!(m_words >> word)) Fail(expected + ", found end of line");
  return word;
}

std::string ScriptLine::SecretWord(const std::string& expected) {
  std::string word = Word(expected);
  // The stream's own position, read without a sentry: at the end of the text that would set failbit.
  const auto end = m_words.rdbuf()->pubseekoff(0, std::ios::cur, std::ios::in);
  const size_t stop = end == std::streampos(-1) ? m_text.size() : static_cast<size_t>(end);
  m_secrets.emplace_back(stop - word.size(), word.size());
  return word;
}

std::string ScriptLine::Text(const std::string& what, bool secret) {
  const std::string expected = what + " of 1 to " + std::to_string(kMaxTextBytes) + " bytes";
  const std::string text = secret ? SecretWord(expected) : Word(expected);
  RequireLength(*this, what, text, 1, kMaxTextBytes);
  return text;
}

std::string ScriptLine::Shown() const {
  std::string shown = m_text;
  for (auto it = m_secrets.rbegin(); it != m_secrets.rend(); ++it) shown.replace(it->first, it->second, "****");
  return shown;
}

int64_t ScriptLine::Number(const std::string& what, const ValueRange& range) {
  const std::string expected = what + " " + RangeText(range);
  const std::string token = Word(expected);
  int64_t value = 0;
  if (!ReadNumber(token, range, value)) Fail(expected + ", found " + Quoted(token));
  return value;
}

std::string ScriptLine::Rest(const std::string& what, size_t minBytes, size_t maxBytes) {
  std::string rest;
  std::getline(m_words >> std::ws, rest);
  while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.pop_back();
  RequireLength(*this, what, rest, minBytes, maxBytes);
  return rest;
}

void ScriptLine::End() {
  std::string extra;
  if (m_words >> extra) Fail("end of line, found " + Quoted(extra));
}

void RequireLength(const ScriptLine& line, const std::string& what, const std::string& text, size_t minBytes,
                   size_t maxBytes) {
  if (text.size() < minBytes || text.size() > maxBytes)
    line.Fail(what + " of " + std::to_string(minBytes) + " to " + std::to_string(maxBytes) + " bytes, found " +
              std::to_string(text.size()) + " bytes");
}
