#include "socket_error_text.h"

#include "socket_error_text_platform.h"

std::string SocketErrorText(int code) {
  std::string message = SystemErrorMessage(code);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                              message.back() == '.'))
    message.pop_back();
  const std::string number = "error " + std::to_string(code);
  return message.empty() ? number : message + " (" + number + ")";
}
