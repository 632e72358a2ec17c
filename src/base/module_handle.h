// One loaded module, freed exactly once: by Free, or when the holder goes. An empty holder holds nothing.
// The platform may refuse to free a module; the handle is then kept, so a later Free can try again.
#pragma once

#include <utility>

#include "base/platform.h"

class CModuleHandle {
 public:
  CModuleHandle() = default;
  // Frees the module without touching the thread's last-error code, which the caller may be about to read.
  ~CModuleHandle() {
    const DWORD lastError = GetLastError();
    Free();
    SetLastError(lastError);
  }
  CModuleHandle(const CModuleHandle&) = delete;
  CModuleHandle& operator=(const CModuleHandle&) = delete;
  CModuleHandle(CModuleHandle&& other) noexcept : m_hModule(std::exchange(other.m_hModule, nullptr)) {}
  CModuleHandle& operator=(CModuleHandle&& other) noexcept {
    CModuleHandle old(std::move(*this));
    m_hModule = std::exchange(other.m_hModule, nullptr);
    return *this;
  }

  // Empty, with the system's last-error code set, when the library cannot be loaded.
  static CModuleHandle Load(const char* path) {
    CModuleHandle module;
    module.m_hModule = LoadLibraryA(path);
    return module;
  }

  // True when no module is held afterwards; false when the platform refused, the handle kept.
  bool Free() {
    if (m_hModule == nullptr) return true;
    if (!FreeLibrary(m_hModule)) return false;
    m_hModule = nullptr;
    return true;
  }

  HMODULE Get() const { return m_hModule; }
  explicit operator bool() const { return m_hModule != nullptr; }

 private:
  HMODULE m_hModule = nullptr;
};
