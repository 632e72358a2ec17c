#include "config/url_parser.h"

#include <gtest/gtest.h>

#include <string>

struct StreamValues {
  const char* url;
  const char* host;
  LONG port;
  bool otherScheme;
};

TEST(CQELURLParser, DerivesHostPortAndSchemeMark) {
  const StreamValues cases[] = {
      {"http://media.example.com/live", "media.example.com", 80, true},
      {"https://media.example.com/live", "media.example.com", 443, false},
      {"https://a.example:0/x", "a.example", 80, false},  // an explicit 0 on a web scheme is the web port
      {"http://a.example:0/x", "a.example", 80, true},
      {"rtmp://a.example/app", "a.example", 0, false},
      {"rtmp://a.example:1935/app", "a.example", 1935, false},
      {"RTMPS://a.example/app", "a.example", 0, false},
      {"RtmpE://a.example/app", "a.example", 0, false},
      {"rtmpt://a.example/app", "a.example", 0, true},
      {"HTTPS://a.example/x", "a.example", 443, false},
      {"mms://a.example/x.nsc", "a.example", 0, true},
      {"ftp://h/x", "h", 21, true},
      {"http://h%41st/x", "hAst", 80, true},
  };
  for (const StreamValues& expected : cases) {
    SCOPED_TRACE(expected.url);
    CQELURLParser parser;
    ASSERT_TRUE(parser.Parse(expected.url));
    EXPECT_STREQ(parser.GetHost(), expected.host);
    EXPECT_EQ(parser.GetPort(), expected.port);
    EXPECT_EQ(parser.IsOtherScheme(), expected.otherScheme);
  }
}

// The same table runs on the platform's cracker (Windows builds) and on the portable one (elsewhere).
TEST(CQELURLParser, AnExplicitPortMustFitSixteenBits) {
  const std::pair<const char*, LONG> cases[] = {
      {"http://h:65535/x", 65535}, {"rtmp://h:0/x", 0},     {"https://h:0/x", 80}, {"http://h:080/x", 80},
      {"http://h:/x", 80},         {"http://h:65536/x", -1}, {"http://h:99999/x", -1},
      {"rtmp://h:4294967297/x", -1}, {"http://h:-1/x", -1},  {"http://h:abc/x", -1}, {"http://h:80x/x", -1},
      {"http://h:%39%39999/x", -1},
  };
  for (const auto& [url, port] : cases) {
    CQELURLParser parser;
    EXPECT_EQ(parser.Parse(url), port >= 0) << url;
    if (port >= 0) {
      EXPECT_EQ(parser.GetPort(), port) << url;
    }
  }
}

TEST(CQELURLParser, NscMarkLooksAtTheTextAsGivenWithRegardToCase) {
  const std::pair<const char*, bool> cases[] = {
      {"mms://a.example/x.nsc", true},     {"mms://a.nsc.example/x", true}, {"http://a/x?f=b.nsc", true},
      {"mms://a.NSC.example/x", false},    {"mms://a/x.Nsc", false},        {"mms://a/x%2Ensc", false},
      {"http://a/x", false},
  };
  for (const auto& [url, mark] : cases) EXPECT_EQ(CQELURLParser::HasNscMark(url), mark) << url;
  EXPECT_FALSE(CQELURLParser::HasNscMark(nullptr));
}

TEST(CQELURLParser, RejectsTextsThatAreNoUrlAndPiecesThatDoNotFit) {
  const std::string tooLongPath = "http://h/" + std::string(300, 'a');
  const std::string longestPath = "http://h/" + std::string(253, 'a');
  const char* failing[] = {"notaurl", "", "//h/x", "h/x", tooLongPath.c_str(), nullptr};
  for (const char* url : failing) {
    CQELURLParser parser;
    EXPECT_FALSE(parser.Parse(url)) << (url ? url : "(null)");
  }
  CQELURLParser parser;
  EXPECT_TRUE(parser.Parse(longestPath.c_str()));
  EXPECT_EQ(std::string(parser.Components().lpszUrlPath).size(), 254u);
}

TEST(CQELURLParser, IsFileURLOnlyForTheFileScheme) {
  const std::pair<const char*, bool> cases[] = {
      {"file:///c:/media/x.asf", true}, {"FILE://server/share/x.asf", true}, {"c:\\media\\x.asf", true},
      {"http://h/x.asf", false},        {"notaurl", false},                  {"", false},
  };
  for (const auto& [url, isFile] : cases) {
    CQELURLParser parser;
    EXPECT_EQ(parser.IsFileURL(url), isFile) << url;
  }
  CQELURLParser parser;
  EXPECT_FALSE(parser.IsFileURL(nullptr));
}

TEST(CQELURLParser, EmptyTextIsNotHandedToTheCracker) {
  CQELURLParser parser;
  ASSERT_TRUE(parser.Parse("http://before/x"));
  EXPECT_FALSE(parser.IsFileURL(""));
  EXPECT_STREQ(parser.GetHost(), "before");
}
