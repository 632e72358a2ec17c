// A socket error as the relay's log lines give it: the system's text with the code beside it.
#pragma once

#include <string>

// "Connection refused (error 111)", or "error N" when the system has no text for it.
std::string SocketErrorText(int code);
