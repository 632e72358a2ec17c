// The library's module object: built when the library is loaded, before any export can be called, and
// destroyed at unload. It owns the process's log.
#pragma once

#include "log/ctrl_log.h"

class CQelCtrlModule {
 public:
  CQelCtrlModule();
  virtual ~CQelCtrlModule();
  CQelCtrlModule(const CQelCtrlModule&) = delete;
  CQelCtrlModule& operator=(const CQelCtrlModule&) = delete;

  CQelCtrlLog m_log;
};

CQelCtrlModule& TheModule();
