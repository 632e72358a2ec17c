#include "http_upgrade_answer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The source's answer to an upgrade, whole and a byte at a time: only 101 switches, interim answers are
// passed over, and anything else (another status, bytes that are no HTTP answer) declines.
TEST(UpgradeAnswer, SwitchesOn101AloneAfterAnyInterimAnswers) {
  using Verdict = UpgradeAnswer::Verdict;
  const struct {
    const char* what;
    std::string answer;
    Verdict verdict;
  } rows[] = {
      {"101 and a frame", "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n\r\n\x81\x05hello",
       Verdict::Switched},
      {"100 Continue first", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 101 Switching Protocols\r\n\r\n",
       Verdict::Switched},
      {"103 Early Hints, then a refusal",
       "HTTP/1.1 103 Early Hints\r\nLink: </a>\r\n\r\nHTTP/1.1 426 Upgrade Required\r\n\r\n", Verdict::Declined},
      {"a bare LF interim head", "HTTP/1.1 100 Continue\n\nHTTP/1.1 101 Switching Protocols\n\n", Verdict::Switched},
      {"an ordinary answer", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", Verdict::Declined},
      {"no HTTP answer", "SSH-2.0-OpenSSH\r\n", Verdict::Declined},
      {"a status line cut short", "HTTP/1.1 10", Verdict::Undecided},
      {"an interim head cut short", "HTTP/1.1 100 Continue\r\nX: 1\r\n", Verdict::Undecided},
      {"an interim head without end", "HTTP/1.1 100 Continue\r\nX: " + std::string(70 * 1024, 'x'), Verdict::Declined},
  };
  for (const auto& row : rows) {
    for (const size_t piece : {row.answer.size(), size_t{1}}) {
      SCOPED_TRACE(std::string(row.what) + (piece == 1 ? ", a byte at a time" : ""));
      UpgradeAnswer answer;
      Verdict verdict = Verdict::Undecided;
      for (size_t at = 0; at < row.answer.size(); at += piece) verdict = answer.Feed(&row.answer[at], piece);
      EXPECT_EQ(verdict, row.verdict);
    }
  }
}

}  // namespace
