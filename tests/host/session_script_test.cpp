#include "session_script.h"

#include <gtest/gtest.h>

#include "host_options.h"

namespace {

std::string Refusal(const std::string& text) {
  try {
    ParseSessionScript("s.qel", text);
  } catch (const ScriptError& error) {
    return error.message;
  }
  return "(accepted)";
}

}  // namespace

TEST(SessionScript, EveryStepBecomesItsCommand) {
  const std::vector<ScriptStep> steps = ParseSessionScript("demo.qel",
                                                           "\xEF\xBB\xBF# a demo\n"
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

TEST(SessionScript, ValuesAtTheEdgesOfTheirFieldsAreTaken) {
  const std::string longest(255, 'k');
  const std::vector<ScriptStep> steps =
      ParseSessionScript("s.qel", "acid -2147483648\nsession 0x7FFFFFFF 0\nkey 255 254 " + longest +
                                      "\nwait 3600\nsocks5 |\nplug h:65535\nurl 1 5 rtmp://u:p@h:65535/live?a=b:1\n"
                                      "url 0 4 file:///C:/stream.bin\n");
  ASSERT_EQ(steps.size(), 8u);
  EXPECT_EQ(steps[0].value, INT32_MIN);
  EXPECT_EQ(steps[1].bytes, Cmd::sessionIds(INT32_MAX, 0));
  EXPECT_EQ(steps[2].bytes, Cmd::proxyKey(255, 254, longest));
  EXPECT_EQ(steps[3].value, 3600000);
  EXPECT_EQ(steps[4].bytes, Cmd::socks5Setting({"", std::string(""), std::nullopt, ""}));
  EXPECT_EQ(steps[5].bytes, Cmd::plugProxy({"h:65535"}));
  EXPECT_EQ(steps[6].bytes, Cmd::url(1, 5, "rtmp://u:p@h:65535/live?a=b:1"));
  EXPECT_EQ(steps[7].bytes, Cmd::url(0, 4, "file:///C:/stream.bin"));
}

TEST(SessionScript, RefusalsNameTheFileTheLineTheRangeAndWhatWasFound) {
  const std::string int32 = "from -2147483648 to 2147483647";
  const struct {
    std::string text;
    std::string message;
  } rows[] = {
      {"acid 4294967296\n", "s.qel:1: expected an ACID " + int32 + ", found \"4294967296\""},
      {"acid\n", "s.qel:1: expected an ACID " + int32 + ", found end of line"},
      {"\nacid 1\x01\n", "s.qel:2: expected an ACID " + int32 + ", found \"1\\x01\""},
      {"acid \xC3\xA9\"\\\n", "s.qel:1: expected an ACID " + int32 + ", found \"\\xC3\\xA9\\\"\\\\\""},
      {"session 1\n", "s.qel:1: expected a second session identifier " + int32 + ", found end of line"},
      {"isolated 2\n", "s.qel:1: expected an isolation flag from 0 to 1, found \"2\""},
      {"key 256 0 k\n", "s.qel:1: expected a key total from 0 to 255, found \"256\""},
      {"secure 3 -1 H\n", "s.qel:1: expected a key type from 0 to 255, found \"-1\""},
      {"url 0 PLUG http://x\n",
       "s.qel:1: expected a connection type (1 PLUG, 2 DIRECT, 3 MPROXY, 4 HTTP, 5 RTMP) " + int32 + ", found \"PLUG\""},
      {"wait 99999\n", "s.qel:1: expected a number of seconds from 0 to 3600, found \"99999\""},
      {"url 0 4 http://h/" + std::string(247, 'a') + "\n", "s.qel:1: expected a URL of 1 to 255 bytes, found 256 bytes"},
      {"socks5 h:1|g:99999\n", "s.qel:1: expected a port from 0 to 65535, found \"99999\""},
      {"socks5 h:1 user\n", "s.qel:1: expected a password of 1 to 255 bytes, found end of line"},
      {"socks5 127.0.0.1 alice s3cr3tpw\n",
       "s.qel:1: expected a proxy address HOST:PORT with a port from 0 to 65535, found \"127.0.0.1\""},
      {"plug h:1|g\n", "s.qel:1: expected a proxy address HOST:PORT with a port from 0 to 65535, found \"g\""},
      {"socks5 :11080 alice s3cret\n", "s.qel:1: expected a proxy address HOST:PORT with a host, found \":11080\""},
      {"socks5 127.0.0.1:11080|:1081\n", "s.qel:1: expected a proxy address HOST:PORT with a host, found \":1081\""},
      {"plug |h:1\n", "s.qel:1: expected a first proxy address before the second, found \"|h:1\""},
      {"url 0 4 127.0.0.1:18081/x\n", "s.qel:1: expected a URL SCHEME://HOST[:PORT][/PATH], found \"127.0.0.1:18081/x\""},
      {"url 0 4 1a://h/x\n", "s.qel:1: expected a URL SCHEME://HOST[:PORT][/PATH], found \"1a://h/x\""},
      {"url 0 4 http://127.0.0.1:99999/x\n", "s.qel:1: expected a URL port from 0 to 65535, found \"99999\""},
      {"url 0 4 rtmp://u:p@[::1]:0x50/live\n", "s.qel:1: expected a URL port from 0 to 65535, found \"0x50\""},
      {"url 0 4 http://h%3A99999/x\n", "s.qel:1: expected a URL the library can take apart, found \"http://h%3A99999/x\""},
      {"url 0 4 http://:8080/x\n", "s.qel:1: expected a URL with a host, found \"http://:8080/x\""},
      {"key 3 5 k\n", "s.qel:1: expected a key index below the key total 3, found \"5\""},
      {"key 0 0 k\n", "s.qel:1: expected a key index below the key total 0, found \"0\""},
      {"cell 64\n", "s.qel:1: expected a cell from 0 to 63 or \"all\", found \"64\""},
      {"cell\n", "s.qel:1: expected a cell from 0 to 63 or \"all\", found end of line"},
      {"interval 5 6\n", "s.qel:1: expected end of line, found \"6\""},
      {"raw 0\n", "s.qel:1: expected an even number of hexadecimal digits, found \"0\""},
      {"raw 0g\n", "s.qel:1: expected hexadecimal digits, found \"0g\""},
      {"\xEF\xBB\xBFplay\n",
       "s.qel:1: expected a step (acid, isolated, interval, session, plugin-type, socks5, plug, secure, key, url, "
       "wait, show, hide, delete, raw, cell), found \"play\""},
  };
  for (const auto& row : rows) EXPECT_EQ(Refusal(row.text), row.message) << row.text;
}

TEST(SessionScript, CellBlocksGiveEachCellItsOwnSteps) {
  const std::vector<ScriptStep> steps = ParseSessionScript("s.qel",
                                                           "isolated 0\n"
                                                           "cell 2\n"
                                                           "acid 0x10\n"
                                                           "url 0 4 http://b.example/\n"
                                                           "cell 0\n"
                                                           "acid 17\n"
                                                           "cell all\n"
                                                           "wait 1\n");
  const int cells[] = {ScriptStep::kEveryCell, 2, 2, 0, ScriptStep::kEveryCell};
  ASSERT_EQ(steps.size(), std::size(cells));
  for (size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(steps[i].cell, cells[i]) << steps[i].text;
  EXPECT_EQ(steps[1].value, 16);
  EXPECT_EQ(steps[2].bytes, Cmd::url(0, 4, "http://b.example/"));
  EXPECT_EQ(CellsNamed(steps), 3);
  EXPECT_EQ(CellsNamed(ParseSessionScript("s.qel", "acid 1\n")), 0);
}

TEST(SessionScript, TheTraceShowsSecretsAsTheLogDoes) {
  const struct {
    std::string line;
    std::string shown;
    CommandBytes bytes;
  } rows[] = {
      {"socks5 h:1 alice s3cr3tpw", "socks5 h:1 alice ****",
       Cmd::socks5Setting({"h:1", std::nullopt, std::string("alice"), "s3cr3tpw"})},
      {"socks5 h:1 same same  # the user's name as password", "socks5 h:1 same ****  ",
       Cmd::socks5Setting({"h:1", std::nullopt, std::string("same"), "same"})},
      {"  key 3 0 k3y", "key 3 0 ****", Cmd::proxyKey(3, 0, "k3y")},
  };
  for (const auto& row : rows) {
    const std::vector<ScriptStep> steps = ParseSessionScript("s.qel", row.line + "\n");
    ASSERT_EQ(steps.size(), 1u) << row.line;
    EXPECT_EQ(steps[0].text, row.shown);
    EXPECT_EQ(steps[0].bytes, row.bytes) << row.line;
  }
}

TEST(HostOptions, CommandLines) {
  const struct {
    std::vector<const char*> argv;
    bool ok;
    int cells;
    Verbosity verbosity;
    const char* error;
  } rows[] = {
      {{"qelhost", "s.qel"}, true, 1, Verbosity::Normal, ""},
      {{"qelhost", "--cells", "64", "--quiet", "s.qel"}, true, 64, Verbosity::Quiet, ""},
      {{"qelhost", "s.qel", "--verbose"}, true, 1, Verbosity::Verbose, ""},
      {{"qelhost", "--cells", "65", "s.qel"}, false, 0, Verbosity::Normal,
       "--cells expects a number of cells from 1 to 64, found \"65\""},
      {{"qelhost", "--quiet", "--verbose", "s.qel"}, false, 0, Verbosity::Normal,
       "--quiet and --verbose exclude each other"},
      {{"qelhost", "--loud", "s.qel"}, false, 0, Verbosity::Normal, "unknown option \"--loud\""},
      {{"qelhost"}, false, 0, Verbosity::Normal, "no session script given"},
  };
  for (const auto& row : rows) {
    HostOptions options;
    std::string error;
    EXPECT_EQ(ParseHostOptions(static_cast<int>(row.argv.size()), row.argv.data(), options, error), row.ok)
        << row.argv.back();
    EXPECT_EQ(error, row.error);
    if (row.ok) {
      EXPECT_EQ(options.session, "s.qel");
      EXPECT_EQ(options.cells, row.cells);
      EXPECT_EQ(options.verbosity, row.verbosity);
    }
  }
  const char* help[] = {"qelhost", "--help", "s.qel"};
  HostOptions options;
  std::string error;
  EXPECT_TRUE(ParseHostOptions(3, help, options, error));
  EXPECT_TRUE(options.help);
  const char* version[] = {"qelhost", "--quiet", "--version"};
  HostOptions versionOnly;
  EXPECT_TRUE(ParseHostOptions(3, version, versionOnly, error));
  EXPECT_TRUE(versionOnly.version);
}
