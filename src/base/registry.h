// Reads named values under one registry key. No handle is kept: every read opens, reads and closes.
#pragma once

#include <string>

#include "base/platform.h"

class CRegistry {
 public:
  CRegistry(HKEY hRootKey, const char* subKey);
  virtual ~CRegistry() = default;

  // Virtual so that the rules built on these reads can be tested with values of a test's choosing.
  // 0xFFFFFFFF for every failure (no root, key or value missing, not a REG_DWORD), so a stored
  // 0xFFFFFFFF cannot be told from a missing value.
  virtual DWORD ReadDword(const char* valueName);
  // Empty for every failure. The type is not checked and environment references are not expanded.
  virtual std::string ReadString(const char* valueName);
  // The result of the last read's open or query; 0 before any read and when there is no root key.
  LONG LastError() const { return m_lLastError; }

 private:
  HKEY m_hRootKey;
  std::string m_strSubKey;
  LONG m_lLastError;
};
