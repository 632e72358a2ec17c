#include "video/command_format.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct HeaderCase {
  const char* what;
  std::vector<uint8_t> bytes;
  bool parses;
  int32_t nCmd;
  int32_t nCount;
  HeaderForm form;
  int32_t nDataSize;
};

const HeaderCase kHeaderCases[] = {
    {"short LoadFile", {0x95, 0x01}, true, 21, 1, HeaderForm::Short, 0},
    {"short with payload", {0x95, 0x01, 0, 0, 0}, true, 21, 1, HeaderForm::Short, 3},
    {"short number 0, count 255", {0x80, 0xFF}, true, 0, 255, HeaderForm::Short, 0},
    {"short number 126", {0xFE, 0x01}, true, 126, 1, HeaderForm::Short, 0},
    {"short count 0", {0x95, 0x00}, false, 0, 0, HeaderForm::Long, 0},
    {"short one byte", {0x95}, false, 0, 0, HeaderForm::Long, 0},
    {"escape alarm interval", {0xFF, 0xD7, 0, 0, 0, 0x1E}, true, 215, 1, HeaderForm::Escape, 4},
    {"escape number 0", {0xFF, 0x00}, true, 0, 1, HeaderForm::Escape, 0},
    {"escape number 255", {0xFF, 0xFF}, true, 255, 1, HeaderForm::Escape, 0},
    {"escape one byte", {0xFF}, false, 0, 0, HeaderForm::Long, 0},
    {"long, header only", {0, 0, 0, 1, 0, 0, 0, 203}, true, 203, 1, HeaderForm::Long, 0},
    {"long with payload", {0, 0, 0, 1, 0, 0, 0, 227, 9, 9, 9}, true, 227, 1, HeaderForm::Long, 3},
    {"long count 255", {0, 0, 0, 0xFF, 0, 0, 0, 227}, true, 227, 255, HeaderForm::Long, 0},
    {"long count 0", {0, 0, 0, 0, 0, 0, 0, 227}, false, 0, 0, HeaderForm::Long, 0},
    {"long count 256", {0, 0, 1, 0, 0, 0, 0, 227}, false, 0, 0, HeaderForm::Long, 0},
    {"long count 0x7FFFFFFF", {0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 0, 227}, false, 0, 0, HeaderForm::Long, 0},
    {"long negative number", {0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFE}, true, -2, 1, HeaderForm::Long, 0},
    {"long number above 16 bits", {0, 0, 0, 1, 0, 1, 0, 0}, true, 0x10000, 1, HeaderForm::Long, 0},
    {"long seven bytes", {0, 0, 0, 1, 0, 0, 0}, false, 0, 0, HeaderForm::Long, 0},
    {"long one byte", {0x00}, false, 0, 0, HeaderForm::Long, 0},
};

TEST(ParseCommandHeader, FormsCountsAndSizes) {
  for (const HeaderCase& c : kHeaderCases) {
    SCOPED_TRACE(c.what);
    // An exactly sized heap copy, so the sanitizer sees any read past the end.
    std::vector<uint8_t> buffer(c.bytes);
    VideoCommand command;
    ASSERT_EQ(ParseCommandHeader(buffer.data(), static_cast<int32_t>(buffer.size()), command), c.parses);
    if (!c.parses) continue;
    EXPECT_EQ(command.nCmd, c.nCmd);
    EXPECT_EQ(command.nCount, c.nCount);
    EXPECT_EQ(command.form, c.form);
    EXPECT_EQ(command.nDataSize, c.nDataSize);
    EXPECT_EQ(command.pData, buffer.data() + (buffer.size() - static_cast<size_t>(c.nDataSize)));
  }
}

TEST(ParseCommandHeader, RejectsNullEmptyAndNegativeSizes) {
  const uint8_t bytes[] = {0xFF, 0xD7, 0, 0, 0, 0x1E};
  VideoCommand command;
  EXPECT_FALSE(ParseCommandHeader(nullptr, 6, command));
  EXPECT_FALSE(ParseCommandHeader(bytes, 0, command));
  EXPECT_FALSE(ParseCommandHeader(bytes, -6, command));
}

}  // namespace
