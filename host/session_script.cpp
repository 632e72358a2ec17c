#include "session_script.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>

#include "script_address.h"

namespace {

constexpr ValueRange kFlagRange{0, 1};
constexpr ValueRange kWaitRange{0, 3600};
const std::string kTextBytes = "1 to " + std::to_string(kMaxTextBytes) + " bytes";
const std::string kConnectionType = "a connection type (1 PLUG, 2 DIRECT, 3 MPROXY, 4 HTTP, 5 RTMP)";

int32_t Int32(ScriptLine& line, const std::string& what) {
  return static_cast<int32_t>(line.Number(what, kInt32Range));
}

uint8_t Octet(ScriptLine& line, const std::string& what) {
  return static_cast<uint8_t>(line.Number(what, kOctetRange));
}

std::optional<std::string> OptionalText(ScriptLine& line, const std::string& what) {
  std::string word;
  if (!line.MaybeWord(word)) return std::nullopt;
  RequireLength(line, what, word, 1, kMaxTextBytes);
  return word;
}

bool IsFileScheme(const std::string& url) {
  static const std::string kFile = "file:";
  return url.size() >= kFile.size() &&
         std::equal(kFile.begin(), kFile.end(), url.begin(), [](char a, char b) { return std::tolower(b) == a; });
}

void ReadHex(ScriptLine& line, ScriptStep& step) {
  std::string hex;
  for (std::string word; line.MaybeWord(word);) hex += word;
  if (hex.empty() || hex.size() % 2 != 0) line.Fail("an even number of hexadecimal digits, found " + Quoted(hex));
  for (size_t i = 0; i < hex.size(); i += 2) {
    int64_t value = 0;
    if (!ReadNumber("0x" + hex.substr(i, 2), kOctetRange, value))
      line.Fail("hexadecimal digits, found " + Quoted(hex.substr(i, 2)));
    step.bytes.push_back(static_cast<uint8_t>(value));
  }
}

struct StepSyntax {
  std::string verb;
  std::string arguments;  // with their ranges, for the help text
  std::string meaning;
  void (*read)(ScriptLine&, ScriptStep&);
};

const std::vector<StepSyntax>& Steps() {
  using Kind = ScriptStep::Kind;
  static const std::vector<StepSyntax> steps = {
      {"acid", "N", "the cell's ACID, " + RangeText(kInt32Range),
       [](ScriptLine& line, ScriptStep& step) { step = ScriptStep::Of(Kind::SetACID, Int32(line, "an ACID")); }},
      {"isolated", "FLAG", "1 isolated, 0 stops and is stopped by other players (" + RangeText(kFlagRange) + ")",
       [](ScriptLine& line, ScriptStep& step) {
         step.bytes = Cmd::isolated(static_cast<int32_t>(line.Number("an isolation flag", kFlagRange)));
       }},
      {"interval", "SECONDS", "heartbeat interval, " + RangeText(kInt32Range) + " (0 silences, -1 stops the timer)",
       [](ScriptLine& line, ScriptStep& step) { step.bytes = Cmd::alarmInterval(Int32(line, "an interval in seconds")); }},
      {"session", "ID1 ID2", "session identifiers, each " + RangeText(kInt32Range),
       [](ScriptLine& line, ScriptStep& step) {
         const int32_t first = Int32(line, "a first session identifier");
         step.bytes = Cmd::sessionIds(first, Int32(line, "a second session identifier"));
       }},
      {"plugin-type", "N", "proxy plug-in type (1 SS, 2 VFN, any other WMP), " + RangeText(kInt32Range),
       [](ScriptLine& line, ScriptStep& step) { step.bytes = Cmd::plugInType(Int32(line, "a plug-in type")); }},
      {"socks5", "HOST:PORT[|HOST:PORT] [USER PASSWORD]",
       "the SOCKS5 chain; each address with its host, ports " + RangeText(kPortRange) + ", texts " + kTextBytes +
           "; \"|\" alone turns it off",
       [](ScriptLine& line, ScriptStep& step) {
         Socks5ProxyList list;
         ReadProxyPair(line, list.first, list.second);
         list.userName = OptionalText(line, "a user name");
         if (list.userName) list.password = line.Text("a password", true);
         step.bytes = Cmd::socks5Setting(list);
       }},
      {"plug", "HOST:PORT[|HOST:PORT] [HEADER]",
       "the PLUG chain; each address with its host, ports " + RangeText(kPortRange) + ", texts " + kTextBytes,
       [](ScriptLine& line, ScriptStep& step) {
         PlugProxyList list;
         ReadProxyPair(line, list.first, list.second);
         list.customHeader = OptionalText(line, "a header");
         step.bytes = Cmd::plugProxy(list);
       }},
      {"secure", "VERSION KEYTYPE HEADER",
       "secure message header; VERSION and KEYTYPE " + RangeText(kOctetRange) + ", HEADER (the rest of the line) " +
           kTextBytes,
       [](ScriptLine& line, ScriptStep& step) {
         const uint8_t version = Octet(line, "a version");
         const uint8_t keyType = Octet(line, "a key type");
         step.bytes = Cmd::secureHeader(version, keyType, line.Rest("a header", 1, kMaxTextBytes));
       }},
      {"key", "TOTAL INDEX KEY",
       "proxy key INDEX of TOTAL, each " + RangeText(kOctetRange) + ", INDEX below TOTAL; KEY " + kTextBytes,
       [](ScriptLine& line, ScriptStep& step) {
         const uint8_t total = Octet(line, "a key total");
         const uint8_t index = Octet(line, "a key index");
         if (index >= total)
           line.Fail("a key index below the key total " + std::to_string(total) + ", found " +
                     Quoted(std::to_string(index)));
         step.bytes = Cmd::proxyKey(total, index, line.Text("a key", true));
       }},
      {"url", "CONN TYPE URL",
       "connection CONN of proxy 0 (connection 0 starts play), TYPE 1 PLUG, 2 DIRECT, 3 MPROXY, 4 HTTP, 5 RTMP; "
       "both " + RangeText(kInt32Range) + "; URL SCHEME://HOST[:PORT][/PATH] of " + kTextBytes + ", its port " +
           RangeText(kPortRange) + ", as the library takes it",
       [](ScriptLine& line, ScriptStep& step) {
         const int32_t connection = Int32(line, "a connection index");
         const int32_t type = Int32(line, kConnectionType);
         const std::string url = ReadStreamUrl(line);
         step.bytes = Cmd::url(connection, type, url);
         // The library ignores a URL of type 0 and one of the file scheme.
         step.startsPlay = connection == 0 && type != 0 && !IsFileScheme(url);
       }},
      {"wait", "SECONDS", "pump messages so timers tick, " + RangeText(kWaitRange),
       [](ScriptLine& line, ScriptStep& step) {
         step = ScriptStep::Of(Kind::Wait, static_cast<long>(line.Number("a number of seconds", kWaitRange)) * 1000);
       }},
      {"show", "", "show the control", [](ScriptLine&, ScriptStep& step) { step.kind = Kind::Show; }},
      {"hide", "", "hide the control", [](ScriptLine&, ScriptStep& step) { step.kind = Kind::Hide; }},
      {"delete", "", "delete the control (the session's end deletes it too)",
       [](ScriptLine&, ScriptStep& step) { step.kind = Kind::Delete; }},
      {"raw", "HEX",
       "any command as bytes, in hexadecimal digits (blanks between them allowed), unchecked: for what the steps "
       "above refuse",
       ReadHex},
      {"cell", "N|all",
       "the steps that follow run on cell N alone, " + RangeText(kCellIndexRange) + ", each cell with its own "
       "ACID, URLs and settings; \"cell all\" returns to every cell. The session has as many cells as --cells "
       "asks or its highest block needs",
       [](ScriptLine& line, ScriptStep& step) {
         std::string word;
         const bool every = line.MaybeWord(word) && word == "all";
         int64_t cell = 0;
         if (!every && !ReadNumber(word, kCellIndexRange, cell))
           line.Fail("a cell " + RangeText(kCellIndexRange) + " or \"all\", found " +
                     (word.empty() ? std::string("end of line") : Quoted(word)));
         step = ScriptStep::Of(Kind::Cell, every ? ScriptStep::kEveryCell : static_cast<long>(cell));
       }},
  };
  return steps;
}

ScriptStep ParseStep(ScriptLine& line, const std::string& verb) {
  for (const StepSyntax& syntax : Steps()) {
    if (syntax.verb != verb) continue;
    ScriptStep step;
    syntax.read(line, step);
    line.End();
    return step;
  }
  std::string verbs;
  for (const StepSyntax& syntax : Steps()) verbs += (verbs.empty() ? "" : ", ") + syntax.verb;
  line.Fail("a step (" + verbs + "), found " + Quoted(verb));
}

}  // namespace

std::vector<ScriptStep> ParseSessionScript(const std::string& fileName, const std::string& text) {
  static const std::string kByteOrderMark = "\xEF\xBB\xBF";
  std::vector<ScriptStep> steps;
  std::istringstream lines(text.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0
                               ? text.substr(kByteOrderMark.size())
                               : text);
  std::string content;
  int cell = ScriptStep::kEveryCell;
  for (int number = 1; std::getline(lines, content); ++number) {
    if (!content.empty() && content.back() == '\r') content.pop_back();
    content = content.substr(0, content.find('#'));
    ScriptLine line(fileName, number, content);
    std::string verb;
    if (!line.MaybeWord(verb)) continue;
    ScriptStep step = ParseStep(line, verb);
    if (step.kind == ScriptStep::Kind::Cell) {
      cell = static_cast<int>(step.value);
      continue;
    }
    step.cell = cell;
    step.line = number;
    const std::string shown = line.Shown();
    step.text = shown.substr(shown.find_first_not_of(" \t"));
    steps.push_back(std::move(step));
  }
  return steps;
}

int CellsNamed(const std::vector<ScriptStep>& steps) {
  int cells = 0;
  for (const ScriptStep& step : steps) cells = std::max(cells, step.cell + 1);
  return cells;
}

std::string SessionStepsHelp() {
  std::string help;
  for (const StepSyntax& syntax : Steps())
    help += "  " + syntax.verb + (syntax.arguments.empty() ? "" : " " + syntax.arguments) + "\n      " +
            syntax.meaning + "\n";
  return help;
}
