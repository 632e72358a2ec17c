#include "base/registry.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32

// Each test makes its own key under HKEY_CURRENT_USER and removes it, so tests may run side by side.
class RegistryTest : public ::testing::Test {
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
  CRegistry Reader() { return CRegistry(HKEY_CURRENT_USER, m_subKey.c_str()); }

  std::string m_subKey;
  HKEY m_key = nullptr;
};

TEST_F(RegistryTest, ReadsADword) {
  SetDword("Level", 3);
  CRegistry reg = Reader();
  EXPECT_EQ(reg.ReadDword("Level"), 3u);
  EXPECT_EQ(reg.m_lLastError, ERROR_SUCCESS);
}

TEST_F(RegistryTest, DwordFailuresAllReadAsAllOnes) {
  SetValue("Text", REG_SZ, "3", 2);
  SetDword("AllOnes", 0xFFFFFFFF);
  CRegistry reg = Reader();
  EXPECT_EQ(reg.ReadDword("Text"), 0xFFFFFFFFu) << "a string is not a DWORD";
  EXPECT_EQ(reg.ReadDword("AllOnes"), 0xFFFFFFFFu);
  EXPECT_EQ(reg.ReadDword("Missing"), 0xFFFFFFFFu);
  EXPECT_EQ(reg.m_lLastError, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, ReadsStringsUpToTheirFirstNulAndNeverPastTheirSize) {
  SetValue("File", REG_SZ, "C:\\Logs\\q.log", 14);
  SetValue("Embedded", REG_SZ, "ab\0cd", 6);
  SetValue("Unterminated", REG_BINARY, "xyz", 3);
  SetValue("Empty", REG_SZ, "", 0);
  CRegistry reg = Reader();
  EXPECT_EQ(reg.ReadString("File"), "C:\\Logs\\q.log");
  EXPECT_EQ(reg.ReadString("Embedded"), "ab");
  EXPECT_EQ(reg.ReadString("Unterminated"), "xyz");
  EXPECT_EQ(reg.ReadString("Empty"), "");
  EXPECT_EQ(reg.m_lLastError, ERROR_SUCCESS);
}

TEST_F(RegistryTest, MissingKeyKeepsTheOpenResult) {
  CRegistry reg(HKEY_CURRENT_USER, (m_subKey + "\\NoSuchKey").c_str());
  EXPECT_EQ(reg.ReadString("File"), "");
  EXPECT_EQ(reg.m_lLastError, ERROR_FILE_NOT_FOUND);
  reg.m_lLastError = 0;
  EXPECT_EQ(reg.ReadDword("Level"), 0xFFFFFFFFu);
  EXPECT_EQ(reg.m_lLastError, ERROR_FILE_NOT_FOUND);
}

#endif

TEST(Registry, NoRootKeyReadsNothingAndCallsNothing) {
  CRegistry reg(nullptr, "Software");
  EXPECT_EQ(reg.ReadDword("Level"), 0xFFFFFFFFu);
  EXPECT_EQ(reg.ReadString("File"), "");
  EXPECT_EQ(reg.m_lLastError, 0);
}
