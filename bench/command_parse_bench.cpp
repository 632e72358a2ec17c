// Header and payload parsing of each handled command in each header form, against the floor of copying
// the same bytes into a text buffer of the size the parsers fill.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "ratio_report.h"
#include "support/parse_handled_command.h"
#include "video/command_writer.h"

namespace {

void BM_ParseFloorCopy(benchmark::State& state, const CommandBytes& bytes) {
  char text[512];
  for (auto _ : state) {
    std::memset(text, 0, sizeof text);
    std::memcpy(text, bytes.data(), bytes.size());
    benchmark::DoNotOptimize(text);
  }
}

void BM_ParseCommand(benchmark::State& state, const CommandBytes& bytes) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(ParseHandledCommand(bytes.data(), static_cast<int32_t>(bytes.size())));
  }
}

// The heaviest layout: a SOCKS5 list with both addresses and the credentials.
const char* const kHeaviest = "25-long";

int RegisterCommandBenchmarks() {
  for (const NamedCommand& command : EveryHandledCommand()) {
    benchmark::RegisterBenchmark(("BM_ParseCommand/" + command.name).c_str(), BM_ParseCommand, command.bytes);
    if (command.name == kHeaviest)
      benchmark::RegisterBenchmark("BM_ParseFloorCopy", BM_ParseFloorCopy, command.bytes);
  }
  return 0;
}

const int kRegistered = RegisterCommandBenchmarks();
const int kDeclared = DeclareRatio(std::string("BM_ParseCommand/") + kHeaviest, "BM_ParseFloorCopy", 20.0);

}  // namespace
