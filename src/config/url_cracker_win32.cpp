#ifdef _WIN32
#include "config/portable_url_cracker.h"
#include "config/url_cracker.h"

BOOL CrackUrl(const char* url, DWORD urlLength, DWORD flags, URL_COMPONENTSA* components) {
  // The platform keeps the low 16 bits of any port ("99999" comes back as 34463), which would send the
  // relay to a port nobody asked for.
  if (UrlNamesUnfitPort(url, urlLength, flags)) {
    SetLastError(ERROR_INTERNET_INVALID_URL);
    return FALSE;
  }
  return InternetCrackUrlA(url, urlLength, flags, components);
}
#endif
