// Small helpers shared by the plug-in tests.
#pragma once

#include <string>

#include "base/platform.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

// Whether the loader still has the library in memory, without loading it.
inline bool ModuleInMemory(const std::string& fileName) {
#ifdef _WIN32
  return GetModuleHandleA(fileName.c_str()) != nullptr;
#else
  void* module = dlopen(("./" + fileName).c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (module != nullptr) dlclose(module);
  return module != nullptr;
#endif
}

template <typename Function>
Function ExportOf(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The system's text for a code as the loader reports it, cut as the loader's 255-byte buffer cuts it.
inline std::string SystemText(DWORD code) { return QelSystemMessage(code).substr(0, 253); }
