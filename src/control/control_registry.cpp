#include "control/control_registry.h"

#include "base/locks.h"

void CControlRegistry::Add(CQelVorlaProxyCtrl* ctrl) {
  if (ctrl == nullptr) return;
  // The registry's lock comes before the log's: the count is logged while it is held.
  const CAutoLock hold = m_controls.Hold();
  m_controls.Add(ctrl);
  m_log.LogF(1, "AddControl: Count=%d", static_cast<int>(m_controls.GetCount()));
}

void CControlRegistry::Remove(CQelVorlaProxyCtrl* ctrl) {
  if (ctrl == nullptr) return;
  const CAutoLock hold = m_controls.Hold();
  const LONG index = m_controls.Find(ctrl);
  if (index != -1) m_controls.RemoveAt(index);
  m_log.LogF(1, "RemoveControl: Count=%d", static_cast<int>(m_controls.GetCount()));
  if (m_controls.GetCount() == 0) m_log.Close();
}

void CControlRegistry::Visit(const std::function<void(const CQelVorlaProxyCtrl*)>& visit) {
  const CAutoLock hold = m_controls.Hold();
  const CSafeVector<CQelVorlaProxyCtrl*>& controls = m_controls;
  for (LONG i = 0; i < m_controls.GetCount(); ++i) visit(controls.ElementAt(i));
}
