#include "control/control_registry.h"

#include "base/locks.h"
#include "control/module.h"

void AddControl(CQelVorlaProxyCtrl* ctrl) {
  if (ctrl == nullptr) return;
  CQelCtrlModule& module = TheModule();
  // The registry's lock comes before the log's: the count is logged while it is held.
  const CAutoLock hold = module.m_controls.Hold();
  module.m_controls.Add(ctrl);
  module.m_log.LogF(1, "AddControl: Count=%d", static_cast<int>(module.m_controls.GetCount()));
}

void RemoveControl(CQelVorlaProxyCtrl* ctrl) {
  if (ctrl == nullptr) return;
  CQelCtrlModule& module = TheModule();
  const CAutoLock hold = module.m_controls.Hold();
  const LONG index = module.m_controls.Find(ctrl);
  if (index != -1) module.m_controls.RemoveAt(index);
  module.m_log.LogF(1, "RemoveControl: Count=%d", static_cast<int>(module.m_controls.GetCount()));
  if (module.m_controls.GetCount() == 0) module.m_log.Close();
}
