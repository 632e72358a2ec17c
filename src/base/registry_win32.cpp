#ifdef _WIN32
#include <vector>

#include "base/registry.h"

CRegistry::CRegistry(HKEY hRootKey, const char* subKey)
    : m_hRootKey(hRootKey), m_strSubKey(subKey != nullptr ? subKey : ""), m_lLastError(0) {}

DWORD CRegistry::ReadDword(const char* valueName) {
  if (m_hRootKey == nullptr) return 0xFFFFFFFF;
  HKEY key = nullptr;
  m_lLastError = RegOpenKeyExA(m_hRootKey, m_strSubKey.c_str(), 0, KEY_QUERY_VALUE, &key);
  if (m_lLastError != ERROR_SUCCESS) return 0xFFFFFFFF;
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  m_lLastError = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  if (m_lLastError != ERROR_SUCCESS || type != REG_DWORD) return 0xFFFFFFFF;
  return value;
}

std::string CRegistry::ReadString(const char* valueName) {
  if (m_hRootKey == nullptr) return {};
  HKEY key = nullptr;
  m_lLastError = RegOpenKeyExA(m_hRootKey, m_strSubKey.c_str(), 0, KEY_QUERY_VALUE, &key);
  if (m_lLastError != ERROR_SUCCESS) return {};
  std::string text;
  DWORD size = 0;
  m_lLastError = RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, &size);
  if (m_lLastError == ERROR_SUCCESS && size > 0) {
    std::vector<char> data(size);
    m_lLastError = RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size);
    if (m_lLastError == ERROR_SUCCESS) {
      // Never read past what the registry returned, terminated or not.
      size_t length = 0;
      while (length < size && length < data.size() && data[length] != '\0') ++length;
      text.assign(data.data(), length);
    }
  }
  RegCloseKey(key);
  return text;
}
#endif
