#include "shared_log_watch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "host_options.h"
#include "log/failure_lines.h"

namespace {

const std::string kStamp = "12/08/26-22:58:13.378 ";
const std::string kRelay = "QelVideoProxy_Relay: ";

std::string Messages(unsigned long code) { return code == 10061 ? "Connection refused.\r\n" : ""; }

std::string ReadAll(FILE* file) {
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  return text;
}

void Append(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::app) << text;
}

// A line `format` writes, each conversion filled with a value of its kind.
std::string Sample(const char* format) {
  std::string line;
  for (const char* at = format; *at != '\0'; ++at) {
    if (*at != '%') {
      line += *at;
      continue;
    }
    while (std::string("0123456789l").find(*++at) != std::string::npos) {
    }
    line += *at == 's' ? "Procedure not found.\\r\\n" : *at == 'X' ? "80004005" : "-1";
  }
  return line;
}

}  // namespace

// The library's failures are known by their whole line, the relay's by its mark after the connection's
// prefix; a word in a value (a URL, a host) makes no failure and shows nothing.
TEST(LogNotice, FailuresAreKnownByTheirWholeLineNeverByAWord) {
  const struct {
    std::string line;
    bool shown, failure;
    std::string source, text;
  } rows[] = {
      {kStamp + kRelay + "Relay 1 connection 1: error: cannot reach stream source 127.0.0.1:9: connect failed (10061)",
       true, true, "QelVideoProxy_Relay",
       "Relay 1 connection 1: error: cannot reach stream source 127.0.0.1:9: connect failed (10061: Connection "
       "refused.)"},
      {kStamp + kRelay + "Relay 2 connection 3: to failed.example:80 through SOCKS5 proxy 127.0.0.1:1080", true,
       false, "QelVideoProxy_Relay", "Relay 2 connection 3: to failed.example:80 through SOCKS5 proxy 127.0.0.1:1080"},
      {kStamp + kRelay + "Relay 2 listening on 127.0.0.1:4321", false, false, "QelVideoProxy_Relay",
       "Relay 2 listening on 127.0.0.1:4321"},
      {kStamp + "VideoHost::StartLocalProxies: Index=0, Failed to create local proxy plugin, Failed to call "
                "ProxyFactory method: Procedure not found.\\r\\n",
       true, true, "QelVorlaProxy",
       "VideoHost::StartLocalProxies: Index=0, Failed to create local proxy plugin, Failed to call ProxyFactory "
       "method: Procedure not found.\\r\\n"},
      {kStamp + "VideoHost::CloseProxyConnections: ProxyIndex=0, HR=0x80004005, Failed to close all proxy connection",
       true, true, "QelVorlaProxy",
       "VideoHost::CloseProxyConnections: ProxyIndex=0, HR=0x80004005, Failed to close all proxy connection"},
      {kStamp + "VideoHost::SendHeartbeat: RCode=-1, Failed", true, true, "QelVorlaProxy",
       "VideoHost::SendHeartbeat: RCode=-1, Failed"},
      {kStamp + "VideoHost::StartLocalProxies: Index=0, Create failed", true, true, "QelVorlaProxy",
       "VideoHost::StartLocalProxies: Index=0, Create failed"},
      {kStamp + "VideoHost::LoadProxyPlugin: VideoProxy plugin loaded failed, error=File not found.\\r\\n", true, true,
       "QelVorlaProxy", "VideoHost::LoadProxyPlugin: VideoProxy plugin loaded failed, error=File not found.\\r\\n"},
      {kStamp + "VideoHost::SetURL: Failed to set URL", true, true, "QelVorlaProxy", "VideoHost::SetURL: Failed to set URL"},
      {kStamp + "SendCommand: Command=240, Failed", true, false, "QelVorlaProxy", "SendCommand: Command=240, Failed"},
      {kStamp + "VideoHost::OnProcessQelVideoCmd: Cmd=201 [SOCKS5], Failed to process", true, false, "QelVorlaProxy",
       "VideoHost::OnProcessQelVideoCmd: Cmd=201 [SOCKS5], Failed to process"},
      // What the control works without, in the kit's folder.
      {kStamp + "InitControl: Failed to load QelVorlaLink.dll", false, false, "QelVorlaProxy",
       "InitControl: Failed to load QelVorlaLink.dll"},
      {kStamp + "DisplayDllVersion: File=QelVideoProxy_SS.dll, Failed to get version number", false, false,
       "QelVorlaProxy", "DisplayDllVersion: File=QelVideoProxy_SS.dll, Failed to get version number"},
      // A plug-in's own words stay in the file.
      {kStamp + "Example proxy 1: cannot reach 127.0.0.1:9 (error 10061)", false, false, "QelVorlaProxy",
       "Example proxy 1: cannot reach 127.0.0.1:9 (error 10061)"},
  };
  for (const auto& row : rows) {
    const std::optional<LogNotice> notice = ReadLogNotice(row.line, Messages);
    ASSERT_TRUE(notice.has_value()) << row.line;
    EXPECT_EQ(notice->shown, row.shown) << row.line;
    EXPECT_EQ(notice->failure, row.failure) << row.line;
    EXPECT_EQ(notice->source, row.source);
    EXPECT_EQ(notice->text, row.text);
  }
  EXPECT_EQ(ReadLogNotice(rows[2].line, Messages)->listeningPort, 4321);
  EXPECT_FALSE(ReadLogNotice("================= CREATE", Messages).has_value());

  for (const std::string word : {"Fail", "failed", "Invalid", "invalid", "cannot", "refused", "out of range",
                                 "Bad pointer", "timed out", "unreachable", "error: ", "Failed to set URL"}) {
    for (const std::string& text :
         {"VideoHost::SetURL: ProxyIndex=0, ConnIndex=0, Type=, URL=http://127.0.0.1:18081/" + word + ".bin",
          "VideoHost::SetURL: Final dest=" + word + ".example, Final port=80",
          "VideoHost::SetPLUGProxy: Proxy1=h:1, Proxy2=:0, CustomHeader=" + word}) {
      const std::optional<LogNotice> notice = ReadLogNotice(kStamp + text, Messages);
      EXPECT_FALSE(notice->shown || notice->failure) << text;
    }
  }
  // Every form of the table is recognised as what it is.
  for (const FailureLine& form : kFailureLines) {
    const std::optional<LogNotice> notice = ReadLogNotice(kStamp + Sample(form.format), Messages);
    EXPECT_EQ(notice->failure, form.weight == FailureWeight::kPlayerPath) << form.format;
    EXPECT_EQ(notice->shown, form.weight != FailureWeight::kOptional) << form.format;
  }
}

// Lines written before the watch began are left out, each relay's lines reach the cell its port was
// reported to, a library line the running cell (or the session when no cell runs), and a line still
// being written waits for its end. A player's connection counts once however many of its lines failed,
// and none when it reached a backup source; the session's own failures count for the exit status too.
TEST(SharedLogWatch, EachLineReachesItsCellAndEachFailureCountsOnce) {
  const std::string path = ::testing::TempDir() + "shared_log_watch_test.log";
  std::ofstream(path, std::ios::binary) << kStamp << "VideoHost::SetURL: Failed to set URL\r\n";
  FILE* printed = std::tmpfile();
  TraceOutput out(printed, Verbosity::Normal);
  CellTrace first(0, out), second(1, out);
  first.Talkback(240, 17, 5000);
  second.Talkback(240, 18, 6000);
  const std::vector<CellTrace*> cells = {&first, &second};
  SharedLogWatch watch(path, out, Messages);
  Append(path, kStamp + kRelay + "Relay 1 listening on 127.0.0.1:5000\r\n" + kStamp + kRelay +
                   "Relay 2 listening on 127.0.0.1:6000\r\n" + kStamp + kRelay +
                   "Relay 2 connection 1: error: cannot reach stream source h:9: connect failed (10061)\r\n" + kStamp +
                   kRelay + "Relay 2 connection 1: error: no stream source can be reached, player closed\r\n" +
                   kStamp + kRelay + "Relay 1 connection 1: error: cannot reach stream source h:9 (connection 0)\r\n" +
                   kStamp + kRelay + "Relay 1 connection 1: to h:80 directly (connection 1)\r\n" + kStamp +
                   "VideoHost::SendHeartbeat: RCode=5, Failed\r\n" + kStamp + "InitControl: Failed");
  watch.Poll(cells, -1);
  Append(path, " to create a window\r\n");
  watch.Poll(cells, 0);
  std::remove(path.c_str());

  const std::string relay = " [QelVideoProxy_Relay]\n";
  const std::string text = ReadAll(printed);
  std::fclose(printed);
  EXPECT_EQ(text.substr(text.find("cell 1: log:")),
            "cell 1: log: Relay 2 connection 1: error: cannot reach stream source h:9: connect failed (10061: "
            "Connection refused.)" + relay +
                "cell 1: log: Relay 2 connection 1: error: no stream source can be reached, player closed" + relay +
                "cell 0: log: Relay 1 connection 1: error: cannot reach stream source h:9 (connection 0)" + relay +
                "cell 0: log: Relay 1 connection 1: to h:80 directly (connection 1)" + relay +
                "session: log: VideoHost::SendHeartbeat: RCode=5, Failed [QelVorlaProxy]\n"
                "cell 0: log: InitControl: Failed to create a window [QelVorlaProxy]\n");
  const std::vector<std::string> failures = RunFailures(cells, watch);
  EXPECT_EQ(failures, (std::vector<std::string>{
                          "cell 0: log: InitControl: Failed to create a window [QelVorlaProxy]",
                          "cell 1: log: Relay 2 connection 1: error: cannot reach stream source h:9: connect failed "
                          "(10061: Connection refused.) [QelVideoProxy_Relay]",
                          "session: log: VideoHost::SendHeartbeat: RCode=5, Failed [QelVorlaProxy]"}));
  EXPECT_EQ(StrictExitStatus(true, failures), kExitFailureInLog);
  EXPECT_EQ(StrictExitStatus(false, failures), 0);
  EXPECT_NE(first.Summary(0).find("; 1 failure in the log; host references left 0"), std::string::npos);
}

// A URL for connection 0 asks for a port: a cell that never gets one fails the run, though its log is
// silent (a plug-in whose GetPort answers none); one that gets its port, or was never asked, does not.
TEST(SharedLogWatch, APortThatNeverCameIsAFailure) {
  TraceOutput out(stdout, Verbosity::Quiet);
  CellTrace asked(0, out), served(1, out), idle(2, out);
  asked.PlayAsked();
  served.PlayAsked();
  served.Talkback(240, 17, 5000);
  EXPECT_EQ(asked.FailureLines(),
            std::vector<std::string>{"cell 0: no proxy port reported, though a URL for connection 0 asked the control "
                                     "to play (the plug-in's GetPort answered none, or no local proxy started)"});
  EXPECT_TRUE(served.FailureLines().empty());
  EXPECT_TRUE(idle.FailureLines().empty());
}

// The library moves a full log aside and begins a new, shorter file: the watch reads that one from its
// start, so the trace and --strict go on seeing the session's lines.
TEST(SharedLogWatch, StartsAgainWhenTheFileShrinks) {
  const std::string path = ::testing::TempDir() + "shared_log_watch_shrinks.log";
  std::ofstream(path, std::ios::binary) << kStamp << "AddControl: Count=1 and a long line before the limit\r\n";
  FILE* printed = std::tmpfile();
  TraceOutput out(printed, Verbosity::Normal);
  CellTrace cell(0, out);
  SharedLogWatch watch(path, out, Messages);
  Append(path, kStamp + "VideoHost::SetURL: Failed to set URL\r\n");
  watch.Poll({&cell}, 0);
  std::ofstream(path, std::ios::binary) << kStamp << "VideoHost::StartPlay: Failed to sent proxy port\r\n";
  watch.Poll({&cell}, 0);
  std::remove(path.c_str());

  const std::string text = ReadAll(printed);
  std::fclose(printed);
  EXPECT_EQ(text,
            "cell 0: log: VideoHost::SetURL: Failed to set URL [QelVorlaProxy]\n"
            "cell 0: log: VideoHost::StartPlay: Failed to sent proxy port [QelVorlaProxy]\n");
  EXPECT_EQ(cell.Failures(), 2);
}
