// qelhost: the terminal host as far as QelVorlaProxy.dll sees it. Loads the library by name, creates one
// control per cell, runs a session script on every cell, pumps messages so timers tick, and prints what
// the host receives.
//   qelhost [--cells N] SCRIPT
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "control/term_interfaces.h"
#include "session_script.h"
#include "trace_host.h"

namespace {

using ControlFactoryFn = LONG(WINAPI*)(LONG, IUnknown**, LONG);

struct Cell {
  std::unique_ptr<TraceHost> host;
  IQELTermControl* control = nullptr;
};

void Pump(DWORD milliseconds) {
  const DWORD end = GetTickCount() + milliseconds;
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(10);
  } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

void Run(Cell& cell, const ScriptStep& step) {
  switch (step.kind) {
    case ScriptStep::Kind::Command:
      cell.control->ProcessBuf(step.bytes.data(), static_cast<LONG>(step.bytes.size()));
      break;
    case ScriptStep::Kind::SetACID: {
      IQELTCWinMan2* winMan = nullptr;
      if (SUCCEEDED(cell.control->QueryInterface(IID_IQELTCWinMan2, reinterpret_cast<void**>(&winMan)))) {
        winMan->SetACID(static_cast<LONG>(step.value));
        winMan->Release();
      }
      break;
    }
    case ScriptStep::Kind::Wait:
      break;  // the caller pumps for every cell at once
    case ScriptStep::Kind::Show:
    case ScriptStep::Kind::Hide:
      cell.control->ShowControl(step.kind == ScriptStep::Kind::Show ? 1 : 0);
      break;
    case ScriptStep::Kind::Delete:
      cell.control->DeleteControl();
      cell.control->Release();
      cell.control = nullptr;
      break;
  }
}

int Usage() {
  std::fprintf(stderr, "usage: qelhost [--cells N] SCRIPT\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int cells = 1;
  const char* scriptFile = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--cells") == 0 && i + 1 < argc)
      cells = std::atoi(argv[++i]);
    else if (scriptFile == nullptr)
      scriptFile = argv[i];
    else
      return Usage();
  }
  if (scriptFile == nullptr || cells < 1 || cells > 64) return Usage();

  std::ifstream in(scriptFile, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "qelhost: cannot read %s\n", scriptFile);
    return 2;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::vector<ScriptStep> steps;
  try {
    steps = ParseSessionScript(scriptFile, text.str());
  } catch (const ScriptError& error) {
    std::fprintf(stderr, "qelhost: %s\n", error.message.c_str());
    return 2;
  }

  HMODULE library = LoadLibraryA("QelVorlaProxy.dll");
  auto factory = library != nullptr ? reinterpret_cast<ControlFactoryFn>(reinterpret_cast<void (*)()>(
                                          GetProcAddress(library, "ControlFactoryX")))
                                    : nullptr;
  if (factory == nullptr) {
    std::fprintf(stderr, "qelhost: cannot load QelVorlaProxy.dll or find ControlFactoryX\n");
    return 3;
  }

  std::vector<Cell> all(static_cast<size_t>(cells));
  for (int i = 0; i < cells; ++i) {
    Cell& cell = all[static_cast<size_t>(i)];
    cell.host = std::make_unique<TraceHost>(i, stdout);
    IUnknown* unknown = nullptr;
    if (factory(53, &unknown, 0) != 1) {
      std::fprintf(stderr, "qelhost: ControlFactoryX refused to create a control\n");
      return 3;
    }
    unknown->QueryInterface(IID_IQELTermControl, reinterpret_cast<void**>(&cell.control));
    unknown->Release();
    cell.host->AddRef();  // the reference handed in with the host object
    cell.control->InitControl(nullptr, cell.host->Unknown());
    std::printf("cell %d: control created and initialised\n", i);
  }

  for (const ScriptStep& step : steps) {
    std::printf("> %s\n", step.text.c_str());
    std::fflush(stdout);
    for (Cell& cell : all)
      if (cell.control != nullptr) Run(cell, step);
    Pump(step.kind == ScriptStep::Kind::Wait ? static_cast<DWORD>(step.value) : 50);
  }

  for (Cell& cell : all)
    if (cell.control != nullptr) Run(cell, ScriptStep::Of(ScriptStep::Kind::Delete));
  for (size_t i = 0; i < all.size(); ++i)
    std::printf("cell %zu: host references left %ld\n", i, static_cast<long>(all[i].host->RefCount()));
  FreeLibrary(library);
  return 0;
}
