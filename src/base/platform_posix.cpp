// The portable fallback of the platform header: critical sections over a re-entrant mutex, the
// per-thread last error, and run-time loading over the dynamic loader.
#ifndef _WIN32
#include "base/platform.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>

void InitializeCriticalSection(CRITICAL_SECTION* cs) { cs->mutex = new std::recursive_mutex; }

void DeleteCriticalSection(CRITICAL_SECTION* cs) {
  delete cs->mutex;
  cs->mutex = nullptr;
}

void EnterCriticalSection(CRITICAL_SECTION* cs) { cs->mutex->lock(); }

void LeaveCriticalSection(CRITICAL_SECTION* cs) { cs->mutex->unlock(); }

LONG InterlockedIncrement(LONG volatile* value) {
  return std::atomic_ref<LONG>(*const_cast<LONG*>(value)).fetch_add(1) + 1;
}

LONG InterlockedDecrement(LONG volatile* value) {
  return std::atomic_ref<LONG>(*const_cast<LONG*>(value)).fetch_sub(1) - 1;
}

namespace {
thread_local DWORD t_lastError = 0;
}

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD code) { t_lastError = code; }

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

HMODULE LoadLibraryA(const char* fileName) {
  if (fileName == nullptr || *fileName == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // Like the Windows loader, a bare name is looked up beside the process first.
  void* module = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr && std::strchr(fileName, '/') == nullptr) {
    char local[4096];
    std::snprintf(local, sizeof local, "./%s", fileName);
    module = dlopen(local, RTLD_NOW | RTLD_LOCAL);
  }
  if (module == nullptr) SetLastError(ERROR_MOD_NOT_FOUND);
  return module;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  void* entry = module != nullptr ? dlsym(module, name) : nullptr;
  if (entry == nullptr) SetLastError(ERROR_PROC_NOT_FOUND);
  return entry;
}

BOOL FreeLibrary(HMODULE module) { return module != nullptr && dlclose(module) == 0; }

std::string QelSystemMessage(DWORD code) {
  // The few codes this system reports, worded as the platform words them.
  switch (code) {
    case ERROR_SUCCESS: return "Success.\r\n";
    case ERROR_FILE_NOT_FOUND: return "File not found.\r\n";
    case ERROR_ACCESS_DENIED: return "Access denied.\r\n";
    case ERROR_INVALID_PARAMETER: return "Invalid parameter.\r\n";
    case ERROR_MOD_NOT_FOUND: return "Module not found.\r\n";
    case ERROR_PROC_NOT_FOUND: return "Specified procedure not found.\r\n";
    default: return {};
  }
}
#endif
