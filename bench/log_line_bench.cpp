// One flushed log line through the control log against the floor, fputs and fflush of the same bytes on
// the same kind of FILE*, and against the library a user would reach for: spdlog with a file sink, the
// same stamp and line end, and a flush per line.
#include <benchmark/benchmark.h>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "log/ctrl_log.h"
#include "ratio_report.h"

namespace {

constexpr const char* kText = "VideoHost::SetURL: ProxyIdx=0, ConnIdx=0, Type=1, URL=http://media.example.com/live";

std::string BenchFile(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

void BM_FputsFlushFloor(benchmark::State& state) {
  const std::string path = BenchFile("qel-bench-floor.log");
  std::remove(path.c_str());
  FILE* stream = std::fopen(path.c_str(), "ab");
  // The same bytes the log writes: timestamp, space, text, CR LF.
  const std::string line = std::string("12/07/26-14:03:05.042 ") + kText + "\r\n";
  for (auto _ : state) {
    std::fputs(line.c_str(), stream);
    std::fflush(stream);
  }
  std::fclose(stream);
  std::remove(path.c_str());
}
BENCHMARK(BM_FputsFlushFloor);

void BM_LogLine(benchmark::State& state) {
  const std::string path = BenchFile("qel-bench-log.log");
  std::remove(path.c_str());
  CQelCtrlLog log;
  // The largest limit: a move aside comes once in about 95000 lines, a cost the line rate hides.
  log.UseSettings(path, 1, 10239 * 1024);
  log.Write("open", 1);
  for (auto _ : state) benchmark::DoNotOptimize(log.LogF(1, "%s", kText));
  log.Close();
  std::remove(path.c_str());
}
BENCHMARK(BM_LogLine);

void BM_SpdlogLine(benchmark::State& state) {
  const std::string path = BenchFile("qel-bench-spdlog.log");
  std::remove(path.c_str());
  {
    spdlog::logger logger("bench", std::make_shared<spdlog::sinks::basic_file_sink_mt>(path));
    logger.set_formatter(std::make_unique<spdlog::pattern_formatter>("%m/%d/%y-%H:%M:%S.%e %v",
                                                                     spdlog::pattern_time_type::local, "\r\n"));
    logger.flush_on(spdlog::level::trace);
    for (auto _ : state) logger.info("{}", kText);
  }
  std::remove(path.c_str());
}
BENCHMARK(BM_SpdlogLine);

const int kDeclared = DeclareRatio("BM_LogLine", "BM_FputsFlushFloor", 1.1) +
                      DeclareRatio("BM_LogLine", "BM_SpdlogLine", 1.0) +
                      DeclareRatio("BM_SpdlogLine", "BM_FputsFlushFloor", 1.3);

}  // namespace
