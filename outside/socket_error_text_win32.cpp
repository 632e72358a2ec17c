#ifdef _WIN32
#include "base/platform.h"
#include "socket_error_text_platform.h"

std::string SystemErrorMessage(int code) {
  char text[256] = "";
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
  return std::string(text, length);
}
#endif
