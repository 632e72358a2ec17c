#include "video/proxy_address.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

struct HostPortCase {
  std::string text;
  const char* host;
  int32_t port;
};

const HostPortCase kHostPortCases[] = {
    {"hostA:80", "hostA", 80},
    {"hostA", "", 0},
    {":1080", "", 0},
    {"hostA:x", "hostA", 0},
    {"hostA:", "hostA", 0},
    {"hostA:  \t81", "hostA", 81},
    {"hostA:+81", "hostA", 81},
    {"hostA:-81", "hostA", -81},
    {"hostA:81abc", "hostA", 81},
    {"hostA:8:1", "hostA", 8},
    {"hostA:- 81", "hostA", 0},
    {"hostA:2147483647", "hostA", INT_MAX},
    {"hostA:2147483648", "hostA", INT_MAX},
    {"hostA:99999999999999999999", "hostA", INT_MAX},
    {"hostA:-2147483648", "hostA", INT_MIN},
    {"hostA:-99999999999999999999", "hostA", INT_MIN},
    {"10.0.0.1:0080", "10.0.0.1", 80},
};

TEST(SplitHostPort, HostBeforeTheFirstColonPortAsAtoiReadsIt) {
  for (const HostPortCase& c : kHostPortCases) {
    SCOPED_TRACE(c.text);
    ShortText host;
    std::memset(host, 'x', sizeof host);
    int32_t port = 77;
    SplitHostPort(c.text, host, port);
    EXPECT_STREQ(host, c.host);
    EXPECT_EQ(port, c.port);
  }
}

TEST(SplitHostPort, HostIsCutTo255Bytes) {
  const std::string text = std::string(300, 'h') + ":81";
  ShortText host;
  int32_t port = 0;
  SplitHostPort(text, host, port);
  EXPECT_EQ(std::string(host), std::string(255, 'h'));
  EXPECT_EQ(port, 81);
}

struct PairCase {
  const char* text;
  const char* host1;
  int32_t port1;
  const char* host2;
  int32_t port2;
};

// Both pairs start as "old:1" / "old:2", so an untouched pair shows.
const PairCase kPairCases[] = {
    {"hostA:80|hostB:81", "hostA", 80, "hostB", 81},
    {"hostA:80", "hostA", 80, "old", 2},
    {"hostA:80|", "hostA", 80, "old", 2},
    {"|hostB:81", "old", 1, "hostB", 81},
    {"hostA:80|hostB:81|hostC:82", "hostA", 80, "hostB", 81},
    {"hostA|hostB", "", 0, "", 0},
    {"", "old", 1, "old", 2},
    {"|", "old", 1, "old", 2},
};

TEST(SplitProxyPair, FirstBarSeparatesThePairs) {
  for (const PairCase& c : kPairCases) {
    SCOPED_TRACE(c.text);
    ShortText host1 = "old", host2 = "old";
    int32_t port1 = 1, port2 = 2;
    SplitProxyPair(c.text, host1, port1, &host2, &port2);
    EXPECT_STREQ(host1, c.host1);
    EXPECT_EQ(port1, c.port1);
    EXPECT_STREQ(host2, c.host2);
    EXPECT_EQ(port2, c.port2);
  }
}

TEST(SplitProxyPair, WithoutASecondPairTheTextAfterTheBarIsIgnored) {
  ShortText host = "old";
  int32_t port = 1;
  SplitProxyPair("hostC:81|hostD:82", host, port, nullptr, nullptr);
  EXPECT_STREQ(host, "hostC");
  EXPECT_EQ(port, 81);
}

}  // namespace
