// The URL cracker this build uses: the platform's on Windows, the portable one elsewhere. Both refuse a
// port that does not fit 16 bits (ERROR_INTERNET_INVALID_URL).
#pragma once

#include "config/url_components.h"

// The contract of InternetCrackUrlA; urlLength 0 means the text runs to its NUL.
BOOL CrackUrl(const char* url, DWORD urlLength, DWORD flags, URL_COMPONENTSA* components);
