// A command through the control as the host sends it, with the log at level 1 into a real file, against
// the floor: the flushed log lines the command must write (BM_LogLine, one line through the same log).
// And one heartbeat tick, whose line at level 1 is none, against one line.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "control/exports.h"
#include "control/qel_vorla_proxy_ctrl.h"
#include "log/ctrl_log.h"
#include "log/log.h"
#include "ratio_report.h"
#include "support/fake_host.h"
#include "video/command_writer.h"
#include "video/fake_proxy.h"

namespace {

struct TimedCommand {
  std::string name;
  CommandBytes bytes;
  int lines;  // level-1 lines the command writes
};

// The settings commands, each with the lines it writes at level 1. Connection 1 keeps the URL from
// starting play, which would time the plug-in library's loading instead.
std::vector<TimedCommand> SettingsCommands() {
  return {
      {"plug-proxy", Cmd::plugProxy({"p1.example:80", std::string("p2.example:81"), std::string("X-Hdr")}), 1},
      {"socks5", Cmd::socks5Setting({"s1.example:1080", std::nullopt, std::string("user"), "secret"}), 1},
      {"secure-header", Cmd::secureHeader(3, 0, "header"), 2},
      {"session-ids", Cmd::sessionIds(11, 12), 1},
      {"url", Cmd::url(1, 1, "http://media.example.com/live"), 2},
      {"plug-in-type", Cmd::plugInType(0), 1},
      {"proxy-key", Cmd::proxyKey(1, 0, "0123456789abcdef"), 1},
      {"isolated", Cmd::isolated(1), 1},
  };
}

// A host that answers every request at once: the fake host's bookkeeping would be timed otherwise.
class PromptHost : public FakeHost {
 public:
  HRESULT STDMETHODCALLTYPE Request(LONG, void*, LONG, LONG* pRCode) override {
    if (pRCode != nullptr) *pRCode = 0;
    return S_OK;
  }
};

std::string BenchLog() { return (std::filesystem::temp_directory_path() / "qel-bench-processbuf.log").string(); }

// A control initialised with a host that answers every request, the log at level 1.
class BenchControl {
 public:
  BenchControl() {
    std::remove(BenchLog().c_str());
    ProcessLog().UseSettings(BenchLog(), 1, 10239 * 1024);
    ControlFactoryX(53, &m_unknown, 0);
    m_control = static_cast<CQelVorlaProxyCtrl*>(static_cast<IQELTermControl*>(m_unknown));
    m_host.AddRef();
    m_control->InitControl(nullptr, m_host.Unknown());
  }
  ~BenchControl() {
    m_control->DeleteControl();
    m_unknown->Release();
    std::remove(BenchLog().c_str());
  }
  CQelVorlaProxyCtrl& Control() { return *m_control; }

 private:
  PromptHost m_host;
  IUnknown* m_unknown = nullptr;
  CQelVorlaProxyCtrl* m_control = nullptr;
};

void BM_ProcessBuf(benchmark::State& state, const TimedCommand& command) {
  BenchControl bench;
  for (auto _ : state)
    bench.Control().ProcessBuf(command.bytes.data(), static_cast<LONG>(command.bytes.size()));
}

void BM_HeartbeatTick(benchmark::State& state) {
  FakeProxy proxy;  // outlives the control, whose video host releases it
  BenchControl bench;
  CQelVorlaProxyHost& video = *bench.Control().VideoHost();
  // The status needs a first proxy to report from.
  video.AdoptProxy(CComRef<IQelVideoProxy>::Adopt(&proxy));
  video.SetHeartbeatAlarmInterval(1);
  for (auto _ : state) bench.Control().OnTimer(kHeartbeatTimerId);
}
BENCHMARK(BM_HeartbeatTick);

int RegisterProcessBufBenchmarks() {
  static const std::vector<TimedCommand> commands = SettingsCommands();
  for (const TimedCommand& command : commands) {
    const std::string name = "BM_ProcessBuf/" + command.name;
    benchmark::RegisterBenchmark(name.c_str(), BM_ProcessBuf, command);
    DeclareRatio(name, "BM_LogLine", 2.0, command.lines);
  }
  DeclareRatio("BM_HeartbeatTick", "BM_LogLine", 2.0);
  return 0;
}

const int kRegistered = RegisterProcessBufBenchmarks();

}  // namespace
