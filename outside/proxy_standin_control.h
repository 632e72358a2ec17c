// How a test steers the proxy plug-in stand-in ("QelVideoProxy_WMP.dll", "QelVideoProxy_SS.dll",
// "QelVideoProxy_VFN.dll": one source, three files, each with its own state) and reads back what it was
// asked. The test loads the file itself first and keeps it loaded, so the behaviour it sets survives the
// control's own loads and unloads of the same file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/module_handle.h"
#include "plugins/outside_interfaces.h"

enum StandInFault : LONG {
  kStandInNoFault = 0,
  kStandInThrows = 1,           // Release throws a C++ exception (on 32-bit x86 as a Windows compiler does)
  kStandInAccessViolation = 2,  // Release writes through a null pointer
};

inline constexpr int kStandInMaxProxies = 8;

struct StandInBehaviour {
  LONG factoryResult = 1;          // what ProxyFactory returns
  LONG factoryGivesObject = 1;     // 0: ProxyFactory writes null
  LONG answersProxyInterface = 1;  // 0: the factory's object refuses IID_IQelVideoProxy
  HRESULT setCallbackResult = S_OK;
  HRESULT createResults[kStandInMaxProxies] = {};  // by creation order; later proxies succeed
  HRESULT closeConnectionsResult = S_OK;
  LONG firstPort = 8000;           // proxy n (from 0) answers firstPort + n
  LONG byteCount = 0;              // slot 14
  int64_t lastActivityTime = 0;    // slot 18
  LONG configFromCreate = 0;       // 1: GetConfig gives back what Create received; 0: null
  LONG askEpochTimeOnCreate = 0;   // 1: Create asks the callback for the epoch time from a thread of its own
  LONG factoryReleaseFault = kStandInNoFault;
  LONG proxyReleaseFault = kStandInNoFault;
  LONG logLevel = 0;               // the stand-in logs its calls at this level; 0 logs nothing
};

// One call the stand-in received, in order. `object` is 0 for exports and the factory's objects, n for
// the nth proxy (from 1).
struct StandInCall {
  char what[40];
  LONG object;
  int64_t arg1;
  int64_t arg2;
  char text[256];
};

struct StandInCounts {
  LONG liveFactoryObjects;
  LONG liveProxies;
  LONG heldCallbacks;  // references the proxies hold on their callbacks
};

extern "C" {
// Sets the behaviour and forgets earlier calls.
typedef void(QEL_CDECL* StandInConfigureFn)(const StandInBehaviour* behaviour);
typedef LONG(QEL_CDECL* StandInCallCountFn)();
typedef BYTE(QEL_CDECL* StandInCallAtFn)(LONG index, StandInCall* call);
typedef void(QEL_CDECL* StandInReadCountsFn)(StandInCounts* counts);
// Writes a line into the shared log as the library's own lines are written.
typedef void(QEL_CDECL* StandInWriteLogFn)(LONG level, const char* text);
}

// The test's handle on one stand-in file.
class StandInLibrary {
 public:
  explicit StandInLibrary(const char* fileName) : m_module(CModuleHandle::Load(fileName)) {}

  bool Loaded() const { return static_cast<bool>(m_module); }
  void Configure(const StandInBehaviour& behaviour) { Export<StandInConfigureFn>("StandInConfigure")(&behaviour); }
  std::vector<StandInCall> Calls() {
    std::vector<StandInCall> calls(static_cast<size_t>(Export<StandInCallCountFn>("StandInCallCount")()));
    auto callAt = Export<StandInCallAtFn>("StandInCallAt");
    for (size_t i = 0; i < calls.size(); ++i) callAt(static_cast<LONG>(i), &calls[i]);
    return calls;
  }
  // The calls as "what" or "what#object" texts, for comparing sequences in one go.
  std::vector<std::string> CallNames() {
    std::vector<std::string> names;
    for (const StandInCall& call : Calls())
      names.push_back(call.object == 0 ? call.what : std::string(call.what) + "#" + std::to_string(call.object));
    return names;
  }
  StandInCounts Counts() {
    StandInCounts counts{};
    Export<StandInReadCountsFn>("StandInReadCounts")(&counts);
    return counts;
  }
  void WriteLog(LONG level, const char* text) { Export<StandInWriteLogFn>("StandInWriteLog")(level, text); }

 private:
  template <typename Function>
  Function Export(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(m_module.Get(), name)));
  }

  CModuleHandle m_module;
};
