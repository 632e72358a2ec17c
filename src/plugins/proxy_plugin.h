// The binding of the proxy plug-in library: shares the log with it and asks it for local proxies. Both
// calls hold the binding's lock, so neither overlaps a load or unload.
#pragma once

#include <cstdio>

#include "plugins/base_plugin.h"
#include "plugins/outside_interfaces.h"

class CProxyPlugin : public CBasePlugin {
 public:
  ~CProxyPlugin() override = default;

  // Hands the log's stream-pointer address, level and lock to the library unchanged.
  void SetLogFile(FILE** ppStream, LONG level, CRITICAL_SECTION* pLock);
  // Writes a new local proxy to *ppProxy (left as it was when the factory's object does not offer one).
  // The factory's non-zero result on success, 0 otherwise.
  LONG CreateProxy(IQelVideoProxy** ppProxy);
};
