#ifdef _WIN32
#include "config/url_cracker.h"

BOOL CrackUrl(const char* url, DWORD flags, URL_COMPONENTSA* components) {
  return InternetCrackUrlA(url, 0, flags, components);
}
#endif
