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
                          "rtsp://[::1/", "rtsp://[::1]x/"}) {
    StreamAddress address{"unchanged", 1};
    EXPECT_FALSE(ParseStreamAddress(url, address)) << url;
    EXPECT_EQ(address.host, "unchanged");
  }
}
