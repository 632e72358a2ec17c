#include "log/qel_error.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(CQELError, ReplacesAppendsAndIgnoresNull) {
  CQELError error;
  EXPECT_STREQ(error.GetError(), "");
  error.SetError("a", 1);
  error.SetError("b", 0);
  EXPECT_STREQ(error.GetError(), "ab");
  error.SetError(nullptr, 1);
  EXPECT_STREQ(error.GetError(), "ab");
  error.SetErrorF(1, "%s=%d", "n", 5);
  EXPECT_STREQ(error.GetError(), "n=5");
  error.ClearError();
  EXPECT_STREQ(error.GetError(), "");
}

TEST(CQELError, FormattedTextIsCutAt1023) {
  CQELError error;
  error.SetErrorF(1, "%s", std::string(2000, 'e').c_str());
  EXPECT_EQ(std::string(error.GetError()), std::string(1023, 'e'));
}

TEST(CQELError, SystemErrorJoinsPrefixAndTheSystemsText) {
  const std::string system = QelSystemMessage(ERROR_FILE_NOT_FOUND);
  ASSERT_FALSE(system.empty());
  CQELError error;
  SetLastError(ERROR_FILE_NOT_FOUND);
  error.SetSystemError("Failed to call ProxyFactory method");
  EXPECT_EQ(std::string(error.GetError()), "Failed to call ProxyFactory method: " + system);

  CQELError bare;
  SetLastError(ERROR_FILE_NOT_FOUND);
  bare.SetSystemError(nullptr);
  EXPECT_EQ(std::string(bare.GetError()), system);
}

TEST(CQELError, SystemErrorWithoutAMessageKeepsThePrefix) {
  CQELError error;
  SetLastError(0x2FFFFFFF);  // no message in the system table
  error.SetSystemError("prefix");
  EXPECT_STREQ(error.GetError(), "prefix");
}

TEST(GetLastErrorText, CutsToTwoLessThanTheBuffer) {
  const std::string system = QelSystemMessage(ERROR_FILE_NOT_FOUND);
  ASSERT_GT(system.size(), 14u);
  char small[16];
  std::memset(small, 'x', sizeof small);
  SetLastError(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetLastErrorText(small, sizeof small), small);
  EXPECT_EQ(std::string(small), system.substr(0, 14));
  EXPECT_EQ(small[15], '\0');

  char loader[255];
  SetLastError(ERROR_FILE_NOT_FOUND);
  GetLastErrorText(loader, sizeof loader);
  EXPECT_EQ(std::string(loader), system);

  SetLastError(0x2FFFFFFF);
  GetLastErrorText(loader, sizeof loader);
  EXPECT_STREQ(loader, "");
  EXPECT_EQ(GetLastErrorText(nullptr, 10), nullptr);
}
