// The PLUG and SOCKS5 proxy lists and the counted texts they are made of.
#include "video/command_payloads.h"

#include <gtest/gtest.h>

#include <string>

#include "parsed_header.h"
#include "video/payload_cursor.h"

namespace {

struct ListResult {
  bool parses;
  std::string host1;
  int32_t port1;
  std::string host2;
  int32_t port2;
  std::string extra1;  // custom header, or user name
  std::string extra2;  // password
};

ListResult ParsePlug(const CommandBytes& bytes) {
  ShortText host1, host2, header;
  int32_t port1 = -1, port2 = -1;
  const bool parses = ParsePlugProxyList(HeaderOf(bytes), host1, port1, host2, port2, header);
  return {parses, host1, port1, host2, port2, header, ""};
}

ListResult ParseSocks5(const CommandBytes& bytes) {
  ShortText host1, host2, user, password;
  int32_t port1 = -1, port2 = -1;
  const bool parses = ParseSocks5ProxyList(HeaderOf(bytes), host1, port1, host2, port2, user, password);
  return {parses, host1, port1, host2, port2, user, password};
}

void ExpectResult(const ListResult& got, const ListResult& want) {
  ASSERT_EQ(got.parses, want.parses);
  if (!want.parses) return;
  EXPECT_EQ(got.host1, want.host1);
  EXPECT_EQ(got.port1, want.port1);
  EXPECT_EQ(got.host2, want.host2);
  EXPECT_EQ(got.port2, want.port2);
  EXPECT_EQ(got.extra1, want.extra1);
  EXPECT_EQ(got.extra2, want.extra2);
}

struct ListCase {
  const char* what;
  CommandBytes bytes;
  ListResult want;
};

const ListResult kFails{false, "", 0, "", 0, "", ""};

// A SetSocks list whose T1 declares `declared` bytes and carries 255 ("a:1|" and padding), then T2 "b:2".
CommandBytes KeptTextThenT2(HeaderForm form, uint32_t declared) {
  const std::string kept = "a:1|" + std::string(251, 'p');
  return CommandWriter(form, 25).LeadField().Be32(1).ListLength(declared).Bytes(kept).ListText("b:2").Done();
}

TEST(ParseSocks5ProxyList, AddressesAndCredentials) {
  const ListCase cases[] = {
      {"flags 0", Cmd::socks({"hostA:1080"}), {true, "hostA", 1080, "", 0, "", ""}},
      {"port without host", Cmd::socks({":1080"}), {true, "", 0, "", 0, "", ""}},
      {"port not a number", Cmd::socks({"hostA:x"}), {true, "hostA", 0, "", 0, "", ""}},
      {"T1 carries both pairs", Cmd::socks({"hostA:1|hostB:2"}), {true, "hostA", 1, "hostB", 2, "", ""}},
      {"T2 replaces the second pair", Cmd::socks({"hostA:1|hostB:2", "hostC:3|hostD:4"}),
       {true, "hostA", 1, "hostC", 3, "", ""}},
      {"credentials", Cmd::socks5Setting({"hostA:1", std::nullopt, "user", "pw"}),
       {true, "hostA", 1, "", 0, "user", "pw"}},
      {"short form", Cmd::socks({"hostA:1", "hostB:2", "user", "pw"}, HeaderForm::Short),
       {true, "hostA", 1, "hostB", 2, "user", "pw"}},
      {"escape form", Cmd::socks5Setting({"hostA:1", "hostB:2", "user", "pw"}, HeaderForm::Escape),
       {true, "hostA", 1, "hostB", 2, "user", "pw"}},
      {"empty user name, then the password",
       CommandWriter(HeaderForm::Long, 201).LeadField().Be32(4).ListText("h:1").ListLength(0).ListText("pw").Done(),
       {true, "h", 1, "", 0, "", "pw"}},
      {"negative user name length",
       CommandWriter(HeaderForm::Long, 201).LeadField().Be32(4).ListText("h:1").Be32(0xFFFFFFFF).ListText("pw").Done(),
       {true, "h", 1, "", 0, "", "pw"}},
      {"bit 1 has no meaning here", CommandWriter(HeaderForm::Long, 25).LeadField().Be32(2).ListText("h:1").Done(),
       {true, "h", 1, "", 0, "", ""}},
      // A longer text keeps its first 255 bytes, and only those need be present: the next field follows them.
      {"T1 declared 300 with its 255 kept bytes, then T2", KeptTextThenT2(HeaderForm::Long, 300),
       {true, "a", 1, "b", 2, "", ""}},
      {"the same in the escape form", KeptTextThenT2(HeaderForm::Escape, 300), {true, "a", 1, "b", 2, "", ""}},
      {"the short form's octet declares 255 at most", KeptTextThenT2(HeaderForm::Short, 255),
       {true, "a", 1, "b", 2, "", ""}},
      {"T1 empty", Cmd::socks({""}), kFails},
      {"T1 negative", CommandWriter(HeaderForm::Long, 25).LeadField().Be32(0).Be32(0x80000000).Done(), kFails},
      {"T2 empty", Cmd::socks({"h:1", ""}), kFails},
      {"T1 declared 300 with 254 bytes",
       CommandWriter(HeaderForm::Long, 25).LeadField().Be32(0).ListLength(300).Bytes(std::string(254, 'h')).Done(),
       kFails},
      {"count 2", CommandWriter(HeaderForm::Long, 25, 2).LeadField().Be32(0).ListText("h:1").Done(), kFails},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectResult(ParseSocks5(c.bytes), c.want);
  }
}

TEST(ParsePlugProxyList, AddressesAndCustomHeader) {
  const ListCase cases[] = {
      {"flags 0", Cmd::plugProxy({"hostA:80"}), {true, "hostA", 80, "", 0, "", ""}},
      {"flags 3, T2 after a bar ignored", Cmd::plugProxy({"hostA:80|hostB:90", "hostC:81|hostD:82", "X-H: 1"}),
       {true, "hostA", 80, "hostC", 81, "X-H: 1", ""}},
      {"short form", Cmd::plugProxy({"hostA:80", "hostB:81", "hdr"}, HeaderForm::Short),
       {true, "hostA", 80, "hostB", 81, "hdr", ""}},
      {"escape form", Cmd::plugProxy({"hostA:80", std::nullopt, "hdr"}, HeaderForm::Escape),
       {true, "hostA", 80, "", 0, "hdr", ""}},
      {"empty custom header", Cmd::plugProxy({"hostA:80", std::nullopt, ""}), {true, "hostA", 80, "", 0, "", ""}},
      {"negative custom header length",
       CommandWriter(HeaderForm::Long, 22).LeadField().Be32(2).ListText("h:1").Be32(0xFFFFFFF0).Done(),
       {true, "h", 1, "", 0, "", ""}},
      {"bit 2 has no meaning here",
       CommandWriter(HeaderForm::Long, 22).LeadField().Be32(4).ListText("h:1").ListText("u").Done(),
       {true, "h", 1, "", 0, "", ""}},
      {"custom header cut to 255", Cmd::plugProxy({"h:1", std::nullopt, std::string(256, 'c')}),
       {true, "h", 1, "", 0, std::string(255, 'c'), ""}},
      {"T1 empty", Cmd::plugProxy({""}), kFails},
      {"T2 empty", Cmd::plugProxy({"h:1", ""}), kFails},
      {"custom header missing", CommandWriter(HeaderForm::Long, 22).LeadField().Be32(2).ListText("h:1").Done(),
       kFails},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectResult(ParsePlug(c.bytes), c.want);
  }
}

// An escape header, so the payload is exactly the bytes written after it.
CommandWriter Payload() { return CommandWriter(HeaderForm::Escape, 0); }

struct CountedTextCase {
  const char* what;
  CommandBytes payload;
  bool oneByteLength;
  bool reads;
  int32_t length;
  std::string text;
  int32_t nextOctet;  // the byte after the text, -1 when none is left
};

TEST(ReadCountedText, LengthsAndWhereTheNextFieldStarts) {
  const CountedTextCase cases[] = {
      {"octet length", Payload().Octet(2).Bytes("ab").Octet(9).Done(), true, true, 2, "ab",
       9},
      {"be32 length", Payload().Be32(2).Bytes("ab").Octet(9).Done(), false, true, 2, "ab", 9},
      {"zero", Payload().Be32(0).Octet(9).Done(), false, true, 0, "", 9},
      {"negative copies nothing", Payload().Be32(0xFFFFFFFF).Octet(9).Done(), false, true, 0,
       "", 9},
      {"255 kept whole", Payload().Be32(255).Bytes(std::string(255, 't')).Octet(9).Done(),
       false, true, 255, std::string(255, 't'), 9},
      {"300 cut to 255, the next field right after them",
       Payload().Be32(300).Bytes(std::string(255, 't')).Octet(9).Done(), false, true, 255,
       std::string(255, 't'), 9},
      {"300 declared, 254 present", Payload().Be32(300).Bytes(std::string(254, 't')).Done(), false, false, 0, "",
       -1},
      {"text to the end", Payload().Octet(2).Bytes("ab").Done(), true, true, 2, "ab", -1},
      {"declared beyond the end", Payload().Be32(3).Bytes("ab").Done(), false, false, 0, "",
       -1},
      {"length field cut", Payload().Octet(0).Octet(0).Done(), false, false, 0, "", -1},
      {"nothing left", Payload().Done(), true, false, 0, "", -1},
  };
  for (const CountedTextCase& c : cases) {
    SCOPED_TRACE(c.what);
    PayloadCursor cursor(HeaderOf(c.payload));
    ShortText text;
    int32_t length = -1;
    const char* result = ReadCountedText(cursor, length, text, c.oneByteLength);
    ASSERT_EQ(result != nullptr, c.reads);
    if (!c.reads) continue;
    EXPECT_EQ(result, text);
    EXPECT_EQ(length, c.length);
    EXPECT_EQ(std::string(text), c.text);
    int32_t next = -1;
    if (!cursor.ReadOctet(next)) next = -1;
    EXPECT_EQ(next, c.nextOctet);
  }
}

}  // namespace
