#include "stream_address.h"

#include <gtest/gtest.h>

TEST(StreamAddress, TakesTheHostAndThePortOrTheSchemesUsualOne) {
  const struct {
    const char* url;
    const char* host;
    LONG port;
  } rows[] = {
      {"http://media.example.com/live/channel1", "media.example.com", 80},
      {"HTTP://127.0.0.1:8090/page.txt?x=1", "127.0.0.1", 8090},
      {"rtmp://user:pw@origin.example:1936/app", "origin.example", 1936},
      {"rtmps://origin.example", "origin.example", 443},
      {"rtsp://[::1]:8554/cam#top", "::1", 8554},
      {"mms://[fe80::1]/x", "fe80::1", 1755},
  };
  for (const auto& row : rows) {
    StreamAddress address;
    ASSERT_TRUE(ParseStreamAddress(row.url, address)) << row.url;
    EXPECT_EQ(address.host, row.host);
    EXPECT_EQ(address.port, row.port);
  }
}

TEST(StreamAddress, RefusesWhatDoesNotNameAReachableSourceAndLeavesTheResultAlone) {
  for (const char* url : {"", "media.example.com:80", "://host", "http://", "http://:80/", "ftp://host/",
                          "http://host:0/", "http://host:65536/", "http://host:80x/", "http://host:123456/",
                          "rtsp://[::1/", "rtsp://[::1]x/", "http://a b/", "http://a%0d%0a/", "http://[[::1]]:80/"}) {
    StreamAddress address{"unchanged", 1};
    EXPECT_FALSE(ParseStreamAddress(url, address)) << url;
    EXPECT_EQ(address.host, "unchanged");
  }
}

// What a configured host may be before it reaches a CONNECT line, a Host field or a SOCKS5 request.
TEST(StreamAddress, AHostIsANameOrAnAddressWithOnePairOfBracketsAtMost) {
  const struct {
    std::string host;
    const char* problem;  // empty: taken
    const char* written;  // as the relay writes it then
  } rows[] = {
      {"media.example", "", "media.example"},
      {"_stream.cdn-1.example", "", "_stream.cdn-1.example"},
      {"127.0.0.1", "", "127.0.0.1"},
      {"::1", "", "::1"},
      {"[::1]", "", "::1"},
      {"[2001:db8::8:800:200c:417a]", "", "2001:db8::8:800:200c:417a"},
      {"1:2:3:4:5:6:7:8", "", "1:2:3:4:5:6:7:8"},
      {"::ffff:192.0.2.1", "", "::ffff:192.0.2.1"},
      {"[fe80::1%eth0]", "", "fe80::1%eth0"},
      {"", "is empty", ""},
      {"media.example\r\nX-Injected: 1", "holds a control byte", ""},
      {"media.example\n", "holds a control byte", ""},
      {std::string("media\0x", 7), "holds a control byte", ""},
      {"media\x7F", "holds a control byte", ""},
      {"media example", "holds a space", ""},
      {"media/example", "holds a byte no host name holds", ""},
      {"media.example%0d", "holds a byte no host name holds", ""},
      {"caf\xC3\xA9.example", "holds a byte no host name holds", ""},
      {"[[::1]]", "is no IPv6 address in one pair of brackets", ""},
      {"[media.example]", "is no IPv6 address in one pair of brackets", ""},
      {"media.example:80", "is no IPv6 address in one pair of brackets", ""},
      {"1::2::3", "is no IPv6 address in one pair of brackets", ""},
      {"1:2:3:4:5:6:7:8:9", "is no IPv6 address in one pair of brackets", ""},
      {"12345::1", "is no IPv6 address in one pair of brackets", ""},
      {"::256.0.0.1", "is no IPv6 address in one pair of brackets", ""},
      {"[]", "is no IPv6 address in one pair of brackets", ""},
  };
  for (const auto& row : rows) {
    std::string host = row.host;
    EXPECT_EQ(CheckHost(host), row.problem) << row.host;
    if (*row.problem == '\0') {
      EXPECT_EQ(host, row.written);
    }
  }
}
