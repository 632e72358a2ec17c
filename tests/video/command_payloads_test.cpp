// The fixed-layout payloads: load file, values, URL, proxy key and secure header.
#include "video/command_payloads.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "parsed_header.h"

namespace {

const HeaderForm kAllForms[] = {HeaderForm::Long, HeaderForm::Short, HeaderForm::Escape};
const HeaderForm kVideoForms[] = {HeaderForm::Long, HeaderForm::Escape};

struct TextCase {
  const char* what;
  CommandBytes bytes;
  bool parses;
  std::string text;
};

TEST(ParseLoadFile, TextLengthsAndForms) {
  const std::string long600(600, 'u');
  const TextCase cases[] = {
      {"long", Cmd::loadFile("http://a/b", HeaderForm::Long), true, "http://a/b"},
      {"short", Cmd::loadFile("http://a/b", HeaderForm::Short), true, "http://a/b"},
      {"escape", Cmd::loadFile("http://a/b", HeaderForm::Escape), true, "http://a/b"},
      {"short form reads four-byte fields", {0x95, 0x01, 0, 0, 0, 0, 0, 0, 0, 3, 'a', 'b', 'c'}, true, "abc"},
      {"600 bytes are cut to 511", Cmd::loadFile(long600), true, std::string(511, 'u')},
      {"leading NUL gives an empty text", Cmd::loadFile(std::string("\0abc", 4)), true, ""},
      {"length 0", Cmd::loadFile(""), false, ""},
      {"negative length", CommandWriter(HeaderForm::Long, 21).Be32(0).Be32(0xFFFFFFFF).Bytes("ab").Done(), false, ""},
      {"count 2", CommandWriter(HeaderForm::Long, 21, 2).Be32(0).Be32(2).Bytes("ab").Done(), false, ""},
      {"text shorter than its length", CommandWriter(HeaderForm::Long, 21).Be32(0).Be32(5).Bytes("abc").Done(), false,
       ""},
      {"a length past the payload needs only the 511 bytes read",
       CommandWriter(HeaderForm::Long, 21).Be32(0).Be32(1000).Bytes(long600.substr(0, 511)).Done(), true,
       std::string(511, 'u')},
      {"a length past the payload with 510 bytes",
       CommandWriter(HeaderForm::Long, 21).Be32(0).Be32(1000).Bytes(long600.substr(0, 510)).Done(), false, ""},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.what);
    LongText text;
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(ParseLoadFile(HeaderOf(c.bytes), text), c.parses);
    EXPECT_EQ(std::string(text), c.text);
  }
}

struct ValueCase {
  const char* what;
  CommandBytes bytes;
  bool parses;
  int32_t first;
  int32_t second;
};

TEST(ParseOneValue, SizeFieldMustBeFour) {
  const ValueCase cases[] = {
      {"escape alarm interval", {0xFF, 0xD7, 0, 0, 0, 0x1E}, true, 30, 0},
      {"long alarm interval", {0, 0, 0, 1, 0, 0, 0, 215, 0, 0, 0, 4, 0, 0, 0, 0x1E}, true, 30, 0},
      {"short form octet size", CommandWriter(HeaderForm::Short, 95).SizeField(4).Be32(7).Done(), true, 7, 0},
      {"all bits kept", Cmd::isolated(-1), true, -1, 0},
      {"long size 8", CommandWriter(HeaderForm::Long, 215).SizeField(8).Be32(30).Done(), false, 0, 0},
      {"long without size", {0, 0, 0, 1, 0, 0, 0, 215, 0, 0, 0, 0x1E}, false, 0, 0},
      {"count 2", CommandWriter(HeaderForm::Long, 215, 2).SizeField(4).Be32(30).Done(), false, 0, 0},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.what);
    int32_t value = 99;
    ASSERT_EQ(ParseOneValue(HeaderOf(c.bytes), value), c.parses);
    if (c.parses) {
      EXPECT_EQ(value, c.first);
    }
  }
}

TEST(ParseTwoValues, SizeFieldMustBeEight) {
  const ValueCase cases[] = {
      {"long", Cmd::sessionIds(1234, -5, HeaderForm::Long), true, 1234, -5},
      {"escape carries the values after the header", {0xFF, 221, 0, 0, 0, 1, 0x80, 0, 0, 0}, true, 1, INT32_MIN},
      {"long size 4", CommandWriter(HeaderForm::Long, 221).SizeField(4).Be32(1).Be32(2).Done(), false, 0, 0},
      {"count 2", CommandWriter(HeaderForm::Long, 221, 2).SizeField(8).Be32(1).Be32(2).Done(), false, 0, 0},
      {"second value missing", CommandWriter(HeaderForm::Long, 221).SizeField(8).Be32(1).Done(), false, 0, 0},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.what);
    int32_t first = 99, second = 99;
    ASSERT_EQ(ParseTwoValues(HeaderOf(c.bytes), first, second), c.parses);
    if (!c.parses) continue;
    EXPECT_EQ(first, c.first);
    EXPECT_EQ(second, c.second);
  }
}

TEST(ParseBareValue, ValueAtOffsetZeroInEveryForm) {
  const ValueCase cases[] = {
      {"long", Cmd::plugInType(2, HeaderForm::Long), true, 2, 0},
      {"escape", Cmd::plugInType(3, HeaderForm::Escape), true, 3, 0},
      {"no size field is skipped", CommandWriter(HeaderForm::Long, 241).Be32(4).Be32(2).Done(), true, 4, 0},
      {"count 2", CommandWriter(HeaderForm::Long, 241, 2).Be32(2).Done(), false, 0, 0},
      {"three bytes", CommandWriter(HeaderForm::Escape, 241).Octet(0).Octet(0).Octet(2).Done(), false, 0, 0},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.what);
    int32_t value = 99;
    ASSERT_EQ(ParseBareValue(HeaderOf(c.bytes), value), c.parses);
    if (c.parses) {
      EXPECT_EQ(value, c.first);
    }
  }
}

TEST(ParseURLSetting, TypeConnectionIndexAndURL) {
  const std::string url255(255, 'w');
  for (HeaderForm form : kVideoForms) {
    int32_t type = 0, conn = 0;
    LongText url;
    ASSERT_TRUE(ParseURLSetting(HeaderOf(Cmd::url(1, 3, "http://a/b", form)), type, conn, url));
    EXPECT_EQ(type, 3);
    EXPECT_EQ(conn, 1);
    EXPECT_STREQ(url, "http://a/b");

    ASSERT_TRUE(ParseURLSetting(HeaderOf(Cmd::url(0, 1, url255, form)), type, conn, url));
    EXPECT_EQ(std::string(url), url255);
  }
  int32_t type = 0, conn = 0;
  LongText url;
  EXPECT_TRUE(ParseURLSetting(HeaderOf(Cmd::url(0, 1, "u", HeaderForm::Long, 255)), type, conn, url));
  EXPECT_FALSE(ParseURLSetting(HeaderOf(Cmd::url(0, 1, "")), type, conn, url));
  EXPECT_STREQ(url, "");
}

TEST(ParseProxyKey, BytesCopiedAsTheyCome) {
  const std::string key("ab\0cd", 5);
  for (HeaderForm form : kVideoForms) {
    int32_t total = 0, index = 0;
    LongText copy;
    ASSERT_TRUE(ParseProxyKey(HeaderOf(Cmd::proxyKey(3, 2, key, form)), total, index, copy));
    EXPECT_EQ(total, 3);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(std::string(copy, 6), key + '\0');
  }
  int32_t total = 0, index = 0;
  LongText copy;
  EXPECT_TRUE(ParseProxyKey(HeaderOf(Cmd::proxyKey(1, 0, "k", HeaderForm::Long, 255)), total, index, copy));
  EXPECT_FALSE(ParseProxyKey(HeaderOf(Cmd::proxyKey(1, 0, "")), total, index, copy));
}

TEST(ParseSecureHeader, VersionKeyTypeAndHeaderInEveryForm) {
  const std::string header255(255, 'h');
  for (HeaderForm form : kAllForms) {
    int32_t version = 0, keyType = 0;
    ShortText header;
    ASSERT_TRUE(ParseSecureHeader(HeaderOf(Cmd::secureHeader(2, 7, "hdr", form)), version, keyType, header));
    EXPECT_EQ(version, 2);
    EXPECT_EQ(keyType, 7);
    EXPECT_STREQ(header, "hdr");

    ASSERT_TRUE(ParseSecureHeader(HeaderOf(Cmd::secureHeader(1, 1, "", form)), version, keyType, header));
    EXPECT_STREQ(header, "");

    ASSERT_TRUE(ParseSecureHeader(HeaderOf(Cmd::secureHeader(1, 1, header255, form)), version, keyType, header));
    EXPECT_EQ(std::string(header), header255);
  }
  int32_t version = 0, keyType = 0;
  ShortText header;
  const CommandBytes count2 = CommandWriter(HeaderForm::Long, 113, 2).Be32(0x00000100).Octet(0).Done();
  EXPECT_FALSE(ParseSecureHeader(HeaderOf(count2), version, keyType, header));
}

}  // namespace
