#include "session_script.h"

#include <gtest/gtest.h>

TEST(SessionScript, EveryStepBecomesItsCommand) {
  const std::vector<ScriptStep> steps = ParseSessionScript("demo.qel",
                                                           "# a demo\n"
                                                           "acid 17\n"
                                                           "isolated 0   # takes part\n"
                                                           "url 0 1 http://media.example.com/live\r\n"
                                                           "socks5 s1.example:1080 user secret\n"
                                                           "secure 3 0 X-Header: value\n"
                                                           "\n"
                                                           "wait 2\n"
                                                           "raw 00 00 00 01 00 00 00 CB\n"
                                                           "delete\n");
  ASSERT_EQ(steps.size(), 8u);
  EXPECT_EQ(steps[0].kind, ScriptStep::Kind::SetACID);
  EXPECT_EQ(steps[0].value, 17);
  EXPECT_EQ(steps[1].bytes, Cmd::isolated(0));
  EXPECT_EQ(steps[1].text, "isolated 0   ");
  EXPECT_EQ(steps[2].bytes, Cmd::url(0, 1, "http://media.example.com/live"));
  EXPECT_EQ(steps[3].bytes, Cmd::socks5Setting({"s1.example:1080", std::nullopt, std::string("user"), "secret"}));
  EXPECT_EQ(steps[4].bytes, Cmd::secureHeader(3, 0, "X-Header: value"));
  EXPECT_EQ(steps[5].kind, ScriptStep::Kind::Wait);
  EXPECT_EQ(steps[5].value, 2000);
  EXPECT_EQ(steps[6].bytes, (CommandBytes{0, 0, 0, 1, 0, 0, 0, 0xCB}));
  EXPECT_EQ(steps[6].line, 9);
  EXPECT_EQ(steps[7].kind, ScriptStep::Kind::Delete);
}

TEST(SessionScript, BadLinesNameTheFileTheLineAndWhatWasExpected) {
  const struct {
    const char* text;
    const char* message;
  } rows[] = {
      {"acid\n", "s.qel:1: expected an ACID"},
      {"\nurl 0 one http://x\n", "s.qel:2: expected a connection type (1 PLUG, 2 DIRECT, 3 MPROXY, 4 HTTP, 5 RTMP)"},
      {"interval 5 6\n", "s.qel:1: expected end of line, found \"6\""},
      {"raw 0\n", "s.qel:1: expected an even number of hexadecimal digits"},
      {"socks5 h:1 user\n", "s.qel:1: expected a password after the user name"},
      {"wait 99999\n", "s.qel:1: expected 0 to 3600 seconds"},
      {"acid 99999999999\n", "s.qel:1: expected an ACID"},
  };
  for (const auto& row : rows) {
    try {
      ParseSessionScript("s.qel", row.text);
      ADD_FAILURE() << row.text;
    } catch (const ScriptError& error) {
      EXPECT_EQ(error.message, row.message);
    }
  }
  try {
    ParseSessionScript("s.qel", "play now\n");
    ADD_FAILURE();
  } catch (const ScriptError& error) {
    EXPECT_NE(error.message.find("s.qel:1: expected a step"), std::string::npos);
    EXPECT_NE(error.message.find("found \"play\""), std::string::npos);
  }
}
