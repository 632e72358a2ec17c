#include "relay_config.h"

#include <gtest/gtest.h>

#include <iterator>

#include "http_request_head.h"

namespace {

// What a relay reads of a configuration the library wrote with its own URL cracker (which keeps an IPv6
// address's brackets): the scheme alone makes a source http, whatever its type, and each host is as the relay
// writes it, or refused.
TEST(RelayConfig, TheSchemeAloneMakesASourceHttpAndEachHostIsReadAsTheRelayWritesIt) {
  const struct {
    const char* url;
    LONG type;
    bool http;
    const char* host;       // as the relay connects to it
    const char* authority;  // as a Host field names the source
  } rows[] = {
      {"http://media.example/live", 2, true, "media.example", "media.example"},
      {"HTTP://media.example:8080/live", 4, true, "media.example", "media.example:8080"},
      {"https://media.example/live", 4, false, "media.example", "media.example:443"},
      {"rtsp://127.0.0.1:8554/cam", 4, false, "127.0.0.1", "127.0.0.1:8554"},
      {"http://[::1]:8080/live", 4, true, "::1", "[::1]:8080"},
  };
  CSrcConfig config;
  for (size_t i = 0; i < std::size(rows); ++i)
    ASSERT_TRUE(config.AddConnection(static_cast<LONG>(i), rows[i].url, rows[i].type)) << rows[i].url;
  config.SetPlugHost(0, "[::1]");
  config.SetPlugHost(1, "proxy\r\n");
  const RelayRoute route = ReadRelayRoute(config);
  ASSERT_EQ(route.sources.size(), std::size(rows));
  for (size_t i = 0; i < std::size(rows); ++i) {
    const RelaySource& source = route.sources[i];
    EXPECT_EQ(source.http, rows[i].http) << rows[i].url;
    EXPECT_EQ(source.address.host, rows[i].host);
    EXPECT_EQ(HttpRequestRewriter::Authority(source.address.host, source.address.port), rows[i].authority);
    EXPECT_EQ(source.address.refusal, "");
  }
  ASSERT_EQ(route.plugHops.size(), 2u);
  EXPECT_EQ(route.plugHops[0].host, "::1");
  EXPECT_EQ(route.plugHops[0].refusal, "");
  EXPECT_EQ(route.plugHops[1].refusal, "its host holds a control byte, so it is not used");
}

}  // namespace
