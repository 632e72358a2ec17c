#include "control/exports.h"

#include <new>

#include "control/module.h"
#include "control/qel_vorla_proxy_ctrl.h"

LONG WINAPI ControlFactoryX(LONG type, IUnknown** ppUnknown, LONG) {
  if (ppUnknown == nullptr) return 0;
  if ((type & 0xFFFF) != kQelVorlaProxyUCID) return 0;
  try {
    CQelVorlaProxyCtrl* ctrl = new (std::nothrow) CQelVorlaProxyCtrl(kQelVorlaProxyUCID);
    if (ctrl == nullptr) return 0;
    // The control's own query takes its count from 0 to 1: the host's reference.
    if (FAILED(ctrl->TermControl()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ppUnknown)))) {
      delete ctrl;
      return 0;
    }
    TheModule().Controls().Add(ctrl);
    return 1;
  } catch (...) {
    return 0;
  }
}

LONG WINAPI Version(LONG, LONG* pFirst, LONG* pSecond) {
  if (pFirst != nullptr) *pFirst = 1;
  if (pSecond != nullptr) *pSecond = 0;
  return 1;
}
