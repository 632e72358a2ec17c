#include "session_script.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sstream>

namespace {

class LineReader {
 public:
  LineReader(const std::string& fileName, int line, const std::string& text)
      : m_fileName(fileName), m_line(line), m_words(text) {}

  [[noreturn]] void Fail(const std::string& expected) const {
    throw ScriptError{m_fileName + ":" + std::to_string(m_line) + ": expected " + expected};
  }
  std::string Word(const char* expected) {
    std::string word;
    if (!(m_words >> word)) Fail(expected);
    return word;
  }
  bool MaybeWord(std::string& word) { return static_cast<bool>(m_words >> word); }
  long Number(const char* expected) {
    const std::string word = Word(expected);
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(word.c_str(), &end, 0);
    if (end == word.c_str() || *end != '\0' || errno == ERANGE || value < INT32_MIN || value > INT32_MAX)
      Fail(expected);
    return value;
  }
  // The rest of the line, leading blanks dropped.
  std::string Rest(const char* expected) {
    std::string rest;
    std::getline(m_words >> std::ws, rest);
    if (rest.empty()) Fail(expected);
    return rest;
  }
  void End() {
    std::string extra;
    if (m_words >> extra) Fail("end of line, found \"" + extra + "\"");
  }

 private:
  std::string m_fileName;
  int m_line;
  std::istringstream m_words;
};

// "HOST:PORT|HOST:PORT" into the first text and the optional second.
void SplitPair(const std::string& pair, std::string& first, std::optional<std::string>& second) {
  const size_t bar = pair.find('|');
  first = pair.substr(0, bar);
  if (bar != std::string::npos) second = pair.substr(bar + 1);
}

CommandBytes HexBytes(LineReader& reader) {
  CommandBytes bytes;
  std::string word;
  std::string hex;
  while (reader.MaybeWord(word)) hex += word;
  if (hex.empty() || hex.size() % 2 != 0) reader.Fail("an even number of hexadecimal digits");
  for (size_t i = 0; i < hex.size(); i += 2) {
    char* end = nullptr;
    const std::string digits = hex.substr(i, 2);
    const long value = std::strtol(digits.c_str(), &end, 16);
    if (*end != '\0') reader.Fail("hexadecimal digits");
    bytes.push_back(static_cast<uint8_t>(value));
  }
  return bytes;
}

ScriptStep ParseStep(LineReader& reader, const std::string& verb) {
  using Kind = ScriptStep::Kind;
  ScriptStep step;
  if (verb == "acid") {
    step = ScriptStep::Of(Kind::SetACID, reader.Number("an ACID"));
  } else if (verb == "isolated") {
    step.bytes = Cmd::isolated(static_cast<int32_t>(reader.Number("0 or 1")));
  } else if (verb == "interval") {
    step.bytes = Cmd::alarmInterval(static_cast<int32_t>(reader.Number("an interval in seconds")));
  } else if (verb == "session") {
    const long first = reader.Number("two session identifiers");
    step.bytes = Cmd::sessionIds(static_cast<int32_t>(first), static_cast<int32_t>(reader.Number("a second session identifier")));
  } else if (verb == "plugin-type") {
    step.bytes = Cmd::plugInType(static_cast<int32_t>(reader.Number("a plug-in type")));
  } else if (verb == "socks5") {
    Socks5ProxyList list;
    SplitPair(reader.Word("HOST:PORT[|HOST:PORT]"), list.first, list.second);
    std::string user;
    if (reader.MaybeWord(user)) {
      list.userName = user;
      list.password = reader.Word("a password after the user name");
    }
    step.bytes = Cmd::socks5Setting(list);
  } else if (verb == "plug") {
    PlugProxyList list;
    SplitPair(reader.Word("HOST:PORT[|HOST:PORT]"), list.first, list.second);
    std::string header;
    if (reader.MaybeWord(header)) list.customHeader = header;
    step.bytes = Cmd::plugProxy(list);
  } else if (verb == "secure") {
    const long version = reader.Number("a version");
    const long keyType = reader.Number("a key type");
    step.bytes = Cmd::secureHeader(static_cast<uint8_t>(version), static_cast<uint8_t>(keyType), reader.Rest("a header"));
    return step;
  } else if (verb == "key") {
    const long total = reader.Number("a key total");
    const long index = reader.Number("a key index");
    step.bytes = Cmd::proxyKey(static_cast<uint8_t>(total), static_cast<uint8_t>(index), reader.Word("a key"));
  } else if (verb == "url") {
    const long connection = reader.Number("a connection index");
    const long type = reader.Number("a connection type (1 PLUG, 2 DIRECT, 3 MPROXY, 4 HTTP, 5 RTMP)");
    step.bytes = Cmd::url(static_cast<int32_t>(connection), static_cast<int32_t>(type), reader.Word("a URL"));
  } else if (verb == "wait") {
    const long seconds = reader.Number("a number of seconds");
    if (seconds < 0 || seconds > 3600) reader.Fail("0 to 3600 seconds");
    step = ScriptStep::Of(Kind::Wait, seconds * 1000);
  } else if (verb == "show") {
    step.kind = Kind::Show;
  } else if (verb == "hide") {
    step.kind = Kind::Hide;
  } else if (verb == "delete") {
    step.kind = Kind::Delete;
  } else if (verb == "raw") {
    step.bytes = HexBytes(reader);
    return step;
  } else {
    reader.Fail("a step (acid, isolated, interval, session, plugin-type, socks5, plug, secure, key, url, wait, "
                "show, hide, delete, raw), found \"" + verb + "\"");
  }
  reader.End();
  return step;
}

}  // namespace

std::vector<ScriptStep> ParseSessionScript(const std::string& fileName, const std::string& text) {
  std::vector<ScriptStep> steps;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string content = line.substr(0, line.find('#'));
    LineReader reader(fileName, number, content);
    std::string verb;
    if (!reader.MaybeWord(verb)) continue;
    ScriptStep step = ParseStep(reader, verb);
    step.line = number;
    step.text = content.substr(content.find_first_not_of(" \t"));
    steps.push_back(std::move(step));
  }
  return steps;
}
