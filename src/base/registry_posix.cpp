// There is no registry off Windows: every read reports the value missing.
#ifndef _WIN32
#include "base/registry.h"

CRegistry::CRegistry(HKEY hRootKey, const char* subKey)
    : m_hRootKey(hRootKey), m_strSubKey(subKey != nullptr ? subKey : ""), m_lLastError(0) {}

DWORD CRegistry::ReadDword(const char*) {
  if (m_hRootKey == nullptr) return 0xFFFFFFFF;
  m_lLastError = ERROR_FILE_NOT_FOUND;
  return 0xFFFFFFFF;
}

std::string CRegistry::ReadString(const char*) {
  if (m_hRootKey != nullptr) m_lLastError = ERROR_FILE_NOT_FOUND;
  return {};
}
#endif
