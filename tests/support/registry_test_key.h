// A registry key of the test's own under HKEY_CURRENT_USER, made before the test and removed after it,
// named for the process and the test so tests may run side by side.
#pragma once

#ifdef _WIN32
#include <gtest/gtest.h>

#include <string>

#include "base/platform.h"

class RegistryKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_subKey = "Software\\QelVorlaProxyTests\\" + std::to_string(GetCurrentProcessId()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, m_subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key,
                              nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(m_key);
    RegDeleteKeyA(HKEY_CURRENT_USER, m_subKey.c_str());
  }
  void SetValue(const char* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetValueExA(m_key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  }
  void SetDword(const char* name, DWORD value) { SetValue(name, REG_DWORD, &value, sizeof value); }
  void SetString(const char* name, const std::string& text) {
    SetValue(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
  }

  std::string m_subKey;
  HKEY m_key = nullptr;
};
#endif
