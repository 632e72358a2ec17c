#ifndef _WIN32
#include "config/portable_url_cracker.h"
#include "config/url_cracker.h"

BOOL CrackUrl(const char* url, DWORD urlLength, DWORD flags, URL_COMPONENTSA* components) {
  return PortableCrackUrl(url, urlLength, flags, components);
}
#endif
