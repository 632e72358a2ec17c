#include "config/url_parser.h"

#include <cstring>

#include "config/url_cracker.h"

namespace {

// Compared in this order, without regard to case; the first match clears the mark.
constexpr const char* kOwnSchemes[] = {"rtmp", "rtmps", "rtmpe", "https"};

bool EqualsIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    const char la = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
    const char lb = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
    if (la != lb) return false;
  }
  return *a == *b;
}

}  // namespace

CQELURLParser::CQELURLParser()
    : m_uc(), m_szScheme(), m_szHost(), m_szUser(), m_szPassword(), m_szUrlPath(), m_szExtraInfo() {}

bool CQELURLParser::Parse(const char* pszURL) {
  if (pszURL == nullptr) return false;
  std::memset(&m_uc, 0, sizeof m_uc);
  m_uc.dwStructSize = sizeof m_uc;
  m_uc.lpszScheme = m_szScheme;
  m_uc.dwSchemeLength = kPieceSize;
  m_uc.lpszHostName = m_szHost;
  m_uc.dwHostNameLength = kPieceSize;
  m_uc.lpszUserName = m_szUser;
  m_uc.dwUserNameLength = kPieceSize;
  m_uc.lpszPassword = m_szPassword;
  m_uc.dwPasswordLength = kPieceSize;
  m_uc.lpszUrlPath = m_szUrlPath;
  m_uc.dwUrlPathLength = kPieceSize;
  m_uc.lpszExtraInfo = m_szExtraInfo;
  m_uc.dwExtraInfoLength = kPieceSize;
  return CrackUrl(pszURL, 0, ICU_DECODE, &m_uc) != FALSE;
}

bool CQELURLParser::IsFileURL(const char* pszURL) {
  if (pszURL == nullptr || *pszURL == '\0') return false;
  return Parse(pszURL) && m_uc.nScheme == INTERNET_SCHEME_FILE;
}

LONG CQELURLParser::GetPort() const {
  const LONG port = m_uc.nPort;
  // An explicit port 0 on a web scheme still means the web port.
  if (port == 0 && (m_uc.nScheme == INTERNET_SCHEME_HTTP || m_uc.nScheme == INTERNET_SCHEME_HTTPS)) return 80;
  return port;
}

bool CQELURLParser::IsOtherScheme() const {
  for (const char* scheme : kOwnSchemes) {
    if (EqualsIgnoringCase(m_szScheme, scheme)) return false;
  }
  return true;
}

bool CQELURLParser::HasNscMark(const char* pszURL) { return pszURL != nullptr && std::strstr(pszURL, ".nsc") != nullptr; }
