#include "shared_log_watch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

const std::string kStamp = "12/08/26-22:58:13.378 ";

std::string Messages(unsigned long code) { return code == 10061 ? "Connection refused.\r\n" : ""; }

}  // namespace

TEST(LogNotice, TheTraceShowsFailuresAndTheRelaysRoutesWithTheSystemsText) {
  const struct {
    std::string line;
    bool read, shown, failure;
    std::string source, text;
    int relay;
  } rows[] = {
      {kStamp + "QelVideoProxy_Relay: Relay 1 connection 1: cannot reach stream source 127.0.0.1:9: connect failed (10061)",
       true, true, true, "QelVideoProxy_Relay",
       "Relay 1 connection 1: cannot reach stream source 127.0.0.1:9: connect failed (10061: Connection refused.)", 1},
      {kStamp + "QelVideoProxy_Relay: Relay 2 connection 3: to 127.0.0.1:80 through SOCKS5 proxy 127.0.0.1:1080",
       true, true, false, "QelVideoProxy_Relay",
       "Relay 2 connection 3: to 127.0.0.1:80 through SOCKS5 proxy 127.0.0.1:1080", 2},
      {kStamp + "QelVideoProxy_Relay: Relay 2 listening on 127.0.0.1:4321", true, false, false, "QelVideoProxy_Relay",
       "Relay 2 listening on 127.0.0.1:4321", 2},
      {kStamp + "VideoHost::SetURL: Failed to set URL", true, true, true, "QelVorlaProxy",
       "VideoHost::SetURL: Failed to set URL", 0},
      {kStamp + "VideoHost::SetIsolatedFlag: Flag=1 (1)", true, false, false, "QelVorlaProxy",
       "VideoHost::SetIsolatedFlag: Flag=1 (1)", 0},
      {"================= CREATE", false, false, false, "", "", 0},
  };
  for (const auto& row : rows) {
    const std::optional<LogNotice> notice = ReadLogNotice(row.line, Messages);
    ASSERT_EQ(notice.has_value(), row.read) << row.line;
    if (!notice) continue;
    EXPECT_EQ(notice->shown, row.shown) << row.line;
    EXPECT_EQ(notice->failure, row.failure) << row.line;
    EXPECT_EQ(notice->source, row.source);
    EXPECT_EQ(notice->text, row.text);
    EXPECT_EQ(notice->relay, row.relay);
  }
  EXPECT_EQ(ReadLogNotice(rows[2].line, Messages)->listeningPort, 4321);
}

// Lines written before the watch began are left out, each relay's lines reach the cell its port was
// reported to, a library line the running cell (or the session when no cell runs), and a line still
// being written waits for its end. A player that reached a backup source counts no failure.
TEST(SharedLogWatch, EachLineReachesItsCell) {
  const std::string path = ::testing::TempDir() + "shared_log_watch_test.log";
  std::ofstream(path, std::ios::binary) << kStamp << "VideoHost::SetURL: Failed before this session\r\n";
  FILE* printed = std::tmpfile();
  TraceOutput out(printed, Verbosity::Normal);
  CellTrace first(0, out), second(1, out);
  first.Talkback(240, 17, 5000);
  second.Talkback(240, 18, 6000);
  const std::vector<CellTrace*> cells = {&first, &second};
  SharedLogWatch watch(path, out, Messages);
  {
    std::ofstream log(path, std::ios::binary | std::ios::app);
    log << kStamp << "QelVideoProxy_Relay: Relay 1 listening on 127.0.0.1:5000\r\n"
        << kStamp << "QelVideoProxy_Relay: Relay 2 listening on 127.0.0.1:6000\r\n"
        << kStamp << "QelVideoProxy_Relay: Relay 2 connection 1: cannot reach stream source h:9: connect failed (10061)\r\n"
        << kStamp << "QelVideoProxy_Relay: Relay 1 connection 1: cannot reach stream source h:9 (connection 0)\r\n"
        << kStamp << "QelVideoProxy_Relay: Relay 1 connection 1: to h:80 directly (connection 1)\r\n"
        << kStamp << "StartTimer: Failed to start heartbeat timer\r\n"
        << kStamp << "InitControl: Failed";
  }
  watch.Poll(cells, -1);
  std::ofstream(path, std::ios::binary | std::ios::app) << " to create a window\r\n";
  watch.Poll(cells, 0);

  std::rewind(printed);
  std::string text;
  for (int c; (c = std::fgetc(printed)) != EOF;) text += static_cast<char>(c);
  std::fclose(printed);
  std::remove(path.c_str());
  const std::string relay = " [QelVideoProxy_Relay]\n";
  EXPECT_EQ(text.substr(text.find("cell 1: log:")),
            "cell 1: log: Relay 2 connection 1: cannot reach stream source h:9: connect failed (10061: Connection "
            "refused.)" + relay +
                "cell 0: log: Relay 1 connection 1: cannot reach stream source h:9 (connection 0)" + relay +
                "cell 0: log: Relay 1 connection 1: to h:80 directly (connection 1)" + relay +
                "session: log: StartTimer: Failed to start heartbeat timer [QelVorlaProxy]\n"
                "cell 0: log: InitControl: Failed to create a window [QelVorlaProxy]\n");
  EXPECT_EQ(first.Failures(), 1);
  EXPECT_EQ(second.Failures(), 1);
  EXPECT_EQ(watch.SessionFailures(), 1);
  EXPECT_NE(first.Summary(0).find("; 1 failure in the log; host references left 0"), std::string::npos);
}
