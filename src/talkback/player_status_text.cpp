#include "talkback/player_status_text.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "base/platform.h"

namespace {

// Sized by a first measuring call, so no field can ever be cut.
std::string FormatToString(const char* format, ...) QEL_PRINTF_FORMAT(1, 2);

std::string FormatToString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list measureArgs;
  va_copy(measureArgs, args);
  const int length = std::vsnprintf(nullptr, 0, format, measureArgs);
  va_end(measureArgs);
  std::string text;
  if (length > 0) {
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    text.assign(buffer.data(), static_cast<size_t>(length));
  }
  va_end(args);
  return text;
}

}  // namespace

std::string FormatStatusDateTime(const ClockReading& reading) {
  return FormatToString("%02d/%02d/%04d %02d:%02d:%02d", reading.month, reading.day, reading.year, reading.hour,
                        reading.minute, reading.second);
}

std::string FormatPlayerStatusText(const PlayerStatus& status) {
  return FormatToString("%d;%d;%.d;%.d;%s;%d;%.f;%d;%d;%d;%d;%d", 1, static_cast<int>(status.nACID),
                        static_cast<int>(status.nSessionID1), static_cast<int>(status.nSessionID2),
                        status.dateTime.c_str(), static_cast<int>(status.nState), 0.0,
                        static_cast<int>(status.nCounterBits), static_cast<int>(status.nConnectionKind), 0, 0, 0);
}
