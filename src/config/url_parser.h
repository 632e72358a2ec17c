// Takes a stream URL apart with the platform's URL cracker into fixed buffers, and derives what a stream
// source keeps of it. Lives on the stack of the operation that uses it: it allocates nothing.
#pragma once

#include "config/url_components.h"

class CQELURLParser {
 public:
  static constexpr DWORD kPieceSize = 255;

  CQELURLParser();
  virtual ~CQELURLParser() = default;
  CQELURLParser(const CQELURLParser&) = delete;
  CQELURLParser& operator=(const CQELURLParser&) = delete;

  // Cracks the NUL-terminated text with its escapes decoded; false for a null text and every failure.
  bool Parse(const char* pszURL);
  // False for a null or empty text without asking the cracker.
  bool IsFileURL(const char* pszURL);

  // What a stream source takes after a successful Parse.
  const char* GetHost() const { return m_szHost; }
  LONG GetPort() const;
  bool IsOtherScheme() const;
  // Looks at the text as given, not at the decoded pieces, and with regard to case.
  static bool HasNscMark(const char* pszURL);
  // The cracker's pieces after a Parse, each in its own buffer of kPieceSize bytes.
  const URL_COMPONENTSA& Components() const { return m_uc; }

 private:
  URL_COMPONENTSA m_uc;
  char m_szScheme[kPieceSize];
  char m_szHost[kPieceSize];
  char m_szUser[kPieceSize];
  char m_szPassword[kPieceSize];
  char m_szUrlPath[kPieceSize];
  char m_szExtraInfo[kPieceSize];
};
