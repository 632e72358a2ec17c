#ifndef _WIN32
#include <cstring>

#include "socket_error_text_platform.h"

std::string SystemErrorMessage(int code) { return std::strerror(code); }
#endif
