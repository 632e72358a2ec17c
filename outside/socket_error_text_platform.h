// The system's own text for an error code, as it gives it: one file for Windows
// (socket_error_text_win32.cpp), one for the rest (socket_error_text_posix.cpp).
#pragma once

#include <string>

std::string SystemErrorMessage(int code);
