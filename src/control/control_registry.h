// The registry of live controls: lets the log close when the last control goes and lets a starting
// player find the others of the process. Plain pointers: the host's references own the controls.
#pragma once

#include <functional>

#include "base/safe_vector.h"
#include "log/ctrl_log.h"

class CQelVorlaProxyCtrl;

class CControlRegistry {
 public:
  explicit CControlRegistry(CQelCtrlLog& log) : m_log(log) {}
  CControlRegistry(const CControlRegistry&) = delete;
  CControlRegistry& operator=(const CControlRegistry&) = delete;

  // Both log the count; a null control changes nothing.
  void Add(CQelVorlaProxyCtrl* ctrl);
  // Also closes the log when no control is left.
  void Remove(CQelVorlaProxyCtrl* ctrl);
  // The registry's lock is held for the whole walk, and the count read afresh at every step.
  void Visit(const std::function<void(const CQelVorlaProxyCtrl*)>& visit);
  LONG Count() { return m_controls.GetCount(); }
  bool Contains(CQelVorlaProxyCtrl* ctrl) { return m_controls.Find(ctrl) != -1; }
  void Clear() { m_controls.RemoveAll(); }

 private:
  CQelCtrlLog& m_log;
  CSafeVector<CQelVorlaProxyCtrl*> m_controls;
};
