#include "support/process_log_test.h"

#include <algorithm>

#include "log/ctrl_log.h"
#include "log/log.h"
#include "log/log_file.h"
#include "support/log_reader.h"

void ProcessLogTest::SetUp() { ProcessLog().UseSettings(m_dir.File("process.log"), 3, 1024000); }

void ProcessLogTest::TearDown() {
  ProcessLog().Close();
  EXPECT_EQ(m_host.Unexpected(), Lines{});
}

Lines ProcessLogTest::LoggedLines() {
  ProcessLog().Close();
  Lines lines = ReadLogLines(m_dir.File("process.log"));
  const Lines header = HeaderBlockLines(GetCurrentProcessId(), ProcessImageName());
  if (lines.size() >= header.size() && std::equal(header.begin(), header.end(), lines.begin()))
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(header.size()));
  return lines;
}
