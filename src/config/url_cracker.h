// The URL cracker this build uses: the platform's on Windows, the portable one elsewhere.
#pragma once

#include "config/url_components.h"

BOOL CrackUrl(const char* url, DWORD flags, URL_COMPONENTSA* components);
