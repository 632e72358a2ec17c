// The URL cracker's in-out description. On Windows it comes from the internet library; elsewhere the same
// structure and the few scheme numbers, flags and error codes the portable cracker reports.
#pragma once

#include "base/platform.h"

#ifdef _WIN32

#include <wininet.h>

#else

typedef WORD INTERNET_PORT;

enum INTERNET_SCHEME {
  INTERNET_SCHEME_UNKNOWN = -1,
  INTERNET_SCHEME_FTP = 1,
  INTERNET_SCHEME_GOPHER = 2,
  INTERNET_SCHEME_HTTP = 3,
  INTERNET_SCHEME_HTTPS = 4,
  INTERNET_SCHEME_FILE = 5,
  INTERNET_SCHEME_NEWS = 6,
  INTERNET_SCHEME_MAILTO = 7,
  INTERNET_SCHEME_SOCKS = 8,
  INTERNET_SCHEME_JAVASCRIPT = 9,
  INTERNET_SCHEME_VBSCRIPT = 10,
  INTERNET_SCHEME_RES = 11,
};

struct URL_COMPONENTSA {
  DWORD dwStructSize;
  char* lpszScheme;
  DWORD dwSchemeLength;
  INTERNET_SCHEME nScheme;
  char* lpszHostName;
  DWORD dwHostNameLength;
  INTERNET_PORT nPort;
  char* lpszUserName;
  DWORD dwUserNameLength;
  char* lpszPassword;
  DWORD dwPasswordLength;
  char* lpszUrlPath;
  DWORD dwUrlPathLength;
  char* lpszExtraInfo;
  DWORD dwExtraInfoLength;
};

#define ICU_DECODE 0x10000000
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INTERNET_INVALID_URL 12005L
#define ERROR_INTERNET_UNRECOGNIZED_SCHEME 12006L

#endif  // _WIN32
