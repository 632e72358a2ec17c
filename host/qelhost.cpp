// qelhost: the terminal host as far as QelVorlaProxy.dll sees it. Loads the library by name, creates one
// control per cell, runs a session script on every cell, pumps messages so timers tick, traces what the
// host receives and ends with a summary per cell. `qelhost --help` lists the options and the steps.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "call_times.h"
#include "host_interfaces/term_interfaces.h"
#include "host_options.h"
#include "base/com_ref.h"
#include "base/module_handle.h"
#include "base/registry.h"
#include "console.h"
#include "log/log_settings.h"
#include "log/log_file.h"
#include "shared_log_watch.h"
#include "session_script.h"
#include "strict_verdict.h"
#include "trace_host.h"

namespace {

using ControlFactoryFn = LONG(WINAPI*)(LONG, IUnknown**, LONG);

struct Cell {
  std::unique_ptr<TraceHost> host;
  CComRef<IQELTermControl> control;
};

// Pumps messages so timers tick, and traces the log's new lines every tenth of a second; returns early
// when the session is interrupted. Every timer of the process is a control's heartbeat: qelhost sets none
// of its own.
void Pump(DWORD milliseconds, SharedLogWatch& log, const std::vector<CellTrace*>& traces, CallTimes& times) {
  const DWORD end = GetTickCount() + milliseconds;
  DWORD nextPoll = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
      times.Time(msg.message == WM_TIMER ? "heartbeat tick" : "other message", [&] { DispatchMessageA(&msg); });
    if (static_cast<LONG>(GetTickCount() - nextPoll) >= 0) {
      log.Poll(traces, -1);
      nextPoll = GetTickCount() + 100;
    }
    Sleep(10);
  } while (static_cast<LONG>(end - GetTickCount()) > 0 && !Interrupted());
}

// Where the library writes its log, by its own rule: the registry's LogFile when set, else
// QelVorlaProxy.log in the current folder.
std::string SharedLogPath() {
  const std::string configured = CRegistry(HKEY_LOCAL_MACHINE, kLogSettingsKey).ReadString("LogFile");
  return configured.empty() ? kDefaultLogFile : configured;
}

void Run(Cell& cell, const ScriptStep& step, CallTimes& times) {
  CellTrace& trace = cell.host->Trace();
  switch (step.kind) {
    case ScriptStep::Kind::Command:
      if (step.startsPlay) trace.PlayAsked();
      // By step ("ProcessBuf url"): the command that starts play does far more than one that stores a setting.
      times.Time("ProcessBuf " + step.text.substr(0, step.text.find_first_of(" \t")),
                 [&] { cell.control->ProcessBuf(step.bytes.data(), static_cast<LONG>(step.bytes.size())); });
      break;
    case ScriptStep::Kind::SetACID: {
      const CComRef<IQELTCWinMan2> winMan = QueryRefOrEmpty<IQELTCWinMan2>(cell.control.Get(), IID_IQELTCWinMan2);
      if (winMan) times.Time("SetACID", [&] { winMan->SetACID(static_cast<LONG>(step.value)); });
      break;
    }
    case ScriptStep::Kind::Wait:
    case ScriptStep::Kind::Cell:
      break;  // the caller pumps for every cell at once; a cell line is no step of its own
    case ScriptStep::Kind::Show:
    case ScriptStep::Kind::Hide: {
      const LONG show = step.kind == ScriptStep::Kind::Show ? 1 : 0;
      times.Time("ShowControl", [&] { cell.control->ShowControl(show); });
      trace.Note(show ? "shown" : "hidden", "ShowControl " + std::to_string(show));
      break;
    }
    case ScriptStep::Kind::Delete:
      times.Time("DeleteControl and Release", [&] {
        cell.control->DeleteControl();
        cell.control.Reset();
      });
      trace.Note("deleted", "DeleteControl, Release");
      break;
  }
}

bool ReadSession(const std::string& fileName, std::vector<ScriptStep>& steps) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "qelhost: cannot read %s\n", fileName.c_str());
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  try {
    steps = ParseSessionScript(fileName, text.str());
    return true;
  } catch (const ScriptError& error) {
    std::fprintf(stderr, "qelhost: %s\n", error.message.c_str());
    return false;
  }
}

// "QelVorlaProxy.dll 1.0.0.0, loaded from C:\\...": the file the system's search found, so a user sees
// which build a session runs.
std::string LibraryVersion(HMODULE library) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(library, path, sizeof path);
  FileVersion version{};
  if (!ReadFileVersion(path, version)) return std::string("QelVorlaProxy.dll without a version, loaded from ") + path;
  return "QelVorlaProxy.dll " + std::to_string(version.mostSignificant >> 16) + "." +
         std::to_string(version.mostSignificant & 0xFFFF) + "." + std::to_string(version.leastSignificant >> 16) +
         "." + std::to_string(version.leastSignificant & 0xFFFF) + ", loaded from " + path;
}

}  // namespace

int main(int argc, char** argv) {
  UsePlatformLineEnds();
  HostOptions options;
  std::string error;
  if (!ParseHostOptions(argc, argv, options, error)) {
    std::fprintf(stderr,
                 "qelhost: %s\nusage: qelhost [--cells N] [--quiet | --verbose] [--strict] [--timing] SESSION"
                 " (or --help, --version)\n",
                 error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(HostHelp().c_str(), stdout);
    return 0;
  }
  std::vector<ScriptStep> steps;
  if (!options.version && !ReadSession(options.session, steps)) return 2;

  const CModuleHandle library = CModuleHandle::Load("QelVorlaProxy.dll");
  auto factory = library ? reinterpret_cast<ControlFactoryFn>(
                               reinterpret_cast<void (*)()>(GetProcAddress(library.Get(), "ControlFactoryX")))
                         : nullptr;
  if (factory == nullptr) {
    std::fprintf(stderr, "qelhost: cannot load QelVorlaProxy.dll or find ControlFactoryX\n");
    return 3;
  }
  if (options.version) {
    std::printf("qelhost %s (commit %s), the host simulator\n%s\n", QEL_VERSION, QEL_COMMIT,
                LibraryVersion(library.Get()).c_str());
    return 0;
  }

  CatchInterrupts();
  TraceOutput out(stdout, options.verbosity);
  CallTimes times(options.timing);
  SharedLogWatch log(SharedLogPath(), out, QelSystemMessage);
  std::vector<Cell> all(static_cast<size_t>(std::max(options.cells, CellsNamed(steps))));
  std::vector<CellTrace*> traces;
  for (size_t i = 0; i < all.size(); ++i) {
    Cell& cell = all[i];
    cell.host = std::make_unique<TraceHost>(static_cast<int>(i), out);
    traces.push_back(&cell.host->Trace());
    CComRef<IUnknown> unknown;
    if (factory(53, unknown.Put(), 0) != 1) {
      std::fprintf(stderr, "qelhost: ControlFactoryX refused to create a control\n");
      return 3;
    }
    cell.control = QueryRefOrEmpty<IQELTermControl>(unknown.Get(), IID_IQELTermControl);
    unknown.Reset();
    if (!cell.control) {
      std::fprintf(stderr, "qelhost: the control answers no IQELTermControl\n");
      return 3;
    }
    cell.host->AddRef();  // the reference handed in with the host object
    cell.control->InitControl(nullptr, cell.host->Unknown());
    cell.host->Trace().Note("control created and initialised", "ControlFactoryX 53, InitControl");
    log.Poll(traces, static_cast<int>(i));
  }

  for (const ScriptStep& step : steps) {
    if (Interrupted()) break;
    const bool everyCell = step.cell == ScriptStep::kEveryCell;
    out.Step(everyCell ? step.text : "cell " + std::to_string(step.cell) + ": " + step.text);
    for (size_t i = 0; i < all.size(); ++i) {
      if (!all[i].control || !(everyCell || step.cell == static_cast<int>(i))) continue;
      Run(all[i], step, times);
      log.Poll(traces, static_cast<int>(i));
    }
    Pump(step.kind == ScriptStep::Kind::Wait ? static_cast<DWORD>(step.value) : 50, log, traces, times);
  }

  const bool interrupted = Interrupted();
  if (interrupted) out.Event(-1, "interrupted: the session ends as its end would", "Ctrl-C");
  for (size_t i = 0; i < all.size(); ++i) {
    if (!all[i].control) continue;
    Run(all[i], ScriptStep::Of(ScriptStep::Kind::Delete), times);
    log.Poll(traces, static_cast<int>(i));
  }
  for (size_t i = 0; i < all.size(); ++i)
    out.Summary(static_cast<int>(i), (interrupted ? "interrupted; " : "") +
                                         all[i].host->Trace().Summary(all[i].host->RefCount()));
  for (const std::string& line : times.Report()) std::printf("%s\n", line.c_str());
  const std::vector<std::string> failures = RunFailures(traces, log);
  if (interrupted) return kExitInterrupted;
  if (options.strict && !failures.empty()) PrintStrictVerdict(stderr, failures);
  return StrictExitStatus(options.strict, failures);
}
