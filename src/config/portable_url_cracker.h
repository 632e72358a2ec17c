// The project's own URL cracker: the outputs of the platform's InternetCrackUrlA for the URLs a host sends,
// so builds without the internet library parse stream URLs the same way. Built on every target, so the
// Windows build can compare the two.
#pragma once

#include "config/url_components.h"

// Same contract as InternetCrackUrlA: urlLength 0 means the text runs to its NUL; ICU_DECODE decodes %XX
// escapes of the whole text before it is taken apart. Every wanted piece (length not 0) needs a buffer:
// this cracker does not hand out pointers into the text. On failure returns FALSE and sets the last error:
// ERROR_INVALID_PARAMETER for missing arguments or an empty text, ERROR_INTERNET_UNRECOGNIZED_SCHEME for a
// text without a scheme, ERROR_INTERNET_INVALID_URL for a port that is not 0 to 65535 in decimal digits,
// ERROR_INSUFFICIENT_BUFFER when a piece does not fit its buffer with its NUL.
BOOL PortableCrackUrl(const char* url, DWORD urlLength, DWORD flags, URL_COMPONENTSA* components);

// True when the URL names a port that a 16-bit port field cannot carry: the one case where this cracker
// refuses what the platform's accepts (it keeps the port's low 16 bits), so the platform's is guarded too.
bool UrlNamesUnfitPort(const char* url, DWORD urlLength, DWORD flags);
