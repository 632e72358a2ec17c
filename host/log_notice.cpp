#include "log_notice.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "log/failure_lines.h"

namespace {

constexpr size_t kStampLength = 21;  // "MM/DD/YY-HH:MM:SS.mmm"
const char* const kLibraryName = "QelVorlaProxy";
const std::string kPluginPrefix = "QelVideoProxy_";

bool IsStamp(const std::string& line) {
  if (line.size() <= kStampLength || line[kStampLength] != ' ') return false;
  for (size_t i = 0; i < kStampLength; ++i) {
    const bool digit = std::isdigit(static_cast<unsigned char>(line[i])) != 0;
    if (digit != (i != 2 && i != 5 && i != 8 && i != 11 && i != 14 && i != 17)) return false;
  }
  return true;
}

// Whether `text` is what printf writes with `format`: %s stands for any text, %d, %i and %u for a decimal
// number, %X and %x for hexadecimal digits (flags, width and length letters allowed), %% for itself.
bool WrittenWith(const char* format, std::string_view text) {
  for (; *format != '\0'; ++format) {
    if (*format != '%' || format[1] == '%') {
      if (text.empty() || text.front() != *format) return false;
      text.remove_prefix(1);
      if (*format == '%') ++format;
      continue;
    }
    ++format;
    while (*format != '\0' && std::strchr("-+ #0123456789.hl", *format) != nullptr) ++format;
    if (*format == 's') {
      for (size_t taken = 0; taken <= text.size(); ++taken)
        if (WrittenWith(format + 1, text.substr(taken))) return true;
      return false;
    }
    const bool hex = *format == 'X' || *format == 'x';
    size_t end = (*format == 'd' || *format == 'i') && !text.empty() && text.front() == '-' ? 1 : 0;
    const size_t first = end;
    while (end < text.size() && (hex ? std::isxdigit(static_cast<unsigned char>(text[end]))
                                     : std::isdigit(static_cast<unsigned char>(text[end]))))
      ++end;
    if (end == first) return false;
    text.remove_prefix(end);
  }
  return text.empty();
}

// What the library's line means for the trace: its weight when the failure table writes it.
std::optional<FailureWeight> LibraryFailure(const std::string& text) {
  for (const FailureLine& line : kFailureLines)
    if (WrittenWith(line.format, text)) return line.weight;
  return std::nullopt;
}

// "(10061)" -> "(10061: TEXT)" wherever the system has a text for the number.
std::string ExplainErrorNumbers(const std::string& text, const SystemMessageFn& systemMessage) {
  std::string out;
  size_t from = 0;
  for (size_t open = text.find('('); open != std::string::npos; open = text.find('(', open + 1)) {
    const size_t close = text.find(')', open);
    if (close == std::string::npos) break;
    const std::string digits = text.substr(open + 1, close - open - 1);
    if (digits.empty() || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos)
      continue;
    std::string message = systemMessage(std::strtoul(digits.c_str(), nullptr, 10));
    while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back()))) message.pop_back();
    if (message.empty()) continue;
    out += text.substr(from, close - from) + ": " + message;
    from = close;
  }
  return out + text.substr(from);
}

}  // namespace

std::optional<LogNotice> ReadLogNotice(const std::string& line, const SystemMessageFn& systemMessage) {
  if (!IsStamp(line)) return std::nullopt;
  LogNotice notice;
  std::string text = line.substr(kStampLength + 1);
  const size_t colon = text.find(": ");
  if (text.compare(0, kPluginPrefix.size(), kPluginPrefix) == 0 && colon != std::string::npos) {
    notice.source = text.substr(0, colon);
    text.erase(0, colon + 2);
  } else {
    notice.source = kLibraryName;
  }
  if (text.compare(0, 6, "Relay ") == 0) {
    char* end = nullptr;
    notice.relay = static_cast<int>(std::strtol(text.c_str() + 6, &end, 10));
    const std::string rest = end;
    const std::string listening = " listening on 127.0.0.1:";
    if (rest.compare(0, listening.size(), listening) == 0)
      notice.listeningPort = std::strtol(rest.c_str() + listening.size(), nullptr, 10);
    // Each connection's route: where it went and through which proxy, or why it could not.
    const size_t prefixEnd = text.find(": ");
    if (rest.compare(0, 12, " connection ") == 0 && prefixEnd != std::string::npos) {
      const std::string said = text.substr(prefixEnd + 2);
      notice.player = text.substr(0, prefixEnd);
      notice.routed = said.compare(0, 3, "to ") == 0;
      notice.failure = said.compare(0, std::strlen(kRelayFailureMark), kRelayFailureMark) == 0;
      notice.shown = true;
    }
  } else if (notice.source == kLibraryName) {
    const std::optional<FailureWeight> weight = LibraryFailure(text);
    notice.shown = weight && *weight != FailureWeight::kOptional;
    notice.failure = weight == FailureWeight::kPlayerPath;
  }
  notice.text = ExplainErrorNumbers(text, systemMessage);
  return notice;
}
