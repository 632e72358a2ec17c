#include "base/registry.h"

#include <gtest/gtest.h>

#include <string>

#include "support/registry_test_key.h"

#ifdef _WIN32

class RegistryTest : public RegistryKeyTest {
 protected:
  CRegistry Reader() { return CRegistry(HKEY_CURRENT_USER, m_subKey.c_str()); }
};

TEST_F(RegistryTest, ReadsADword) {
  SetDword("Level", 3);
  CRegistry reg = Reader();
  EXPECT_EQ(reg.ReadDword("Level"), 3u);
  EXPECT_EQ(reg.LastError(), ERROR_SUCCESS);
}

TEST_F(RegistryTest, DwordFailuresAllReadAsAllOnes) {
  SetValue("Text", REG_SZ, "3", 2);
  SetDword("AllOnes", 0xFFFFFFFF);
  CRegistry reg = Reader();
  EXPECT_EQ(reg.ReadDword("Text"), 0xFFFFFFFFu) << "a string is not a DWORD";
  EXPECT_EQ(reg.ReadDword("AllOnes"), 0xFFFFFFFFu);
  EXPECT_EQ(reg.ReadDword("Missing"), 0xFFFFFFFFu);
  EXPECT_EQ(reg.LastError(), ERROR_FILE_NOT_FOUND);
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
  EXPECT_EQ(reg.LastError(), ERROR_SUCCESS);
}

TEST_F(RegistryTest, MissingKeyKeepsTheOpenResult) {
  CRegistry reg(HKEY_CURRENT_USER, (m_subKey + "\\NoSuchKey").c_str());
  EXPECT_EQ(reg.ReadString("File"), "");
  EXPECT_EQ(reg.LastError(), ERROR_FILE_NOT_FOUND);
  CRegistry fresh(HKEY_CURRENT_USER, (m_subKey + "\\NoSuchKey").c_str());
  EXPECT_EQ(fresh.ReadDword("Level"), 0xFFFFFFFFu);
  EXPECT_EQ(fresh.LastError(), ERROR_FILE_NOT_FOUND);
}

#endif

TEST(Registry, NoRootKeyReadsNothingAndCallsNothing) {
  CRegistry reg(nullptr, "Software");
  EXPECT_EQ(reg.ReadDword("Level"), 0xFFFFFFFFu);
  EXPECT_EQ(reg.ReadString("File"), "");
  EXPECT_EQ(reg.LastError(), 0);
}
