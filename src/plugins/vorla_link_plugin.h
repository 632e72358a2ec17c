// The binding of the media-link library, which carries the stop notice between players in this and
// other processes. Every export is called with the subscription value and the subscribing window. No
// lock: the control calls it on its user-interface thread only.
#pragma once

#include "plugins/base_plugin.h"

class CVorlaLinkPlugin : public CBasePlugin {
 public:
  ~CVorlaLinkPlugin() override = default;

  // Each returns 1 or 0 as the export answered, or -1 when the library or the entry point is missing.
  LONG SubscribeMsg();
  LONG UnsubscribeMsg();
  // `value` reaches the other subscribers as the notice's lParam.
  LONG PostMsg(LONG value);

  // Set by the control before it loads the library.
  void SetSubscriber(LONG nSubscription, HWND hWnd) {
    m_nSubscription = nSubscription;
    m_hSubscriberWnd = hWnd;
  }

 private:
  template <typename Function, typename... Extra>
  LONG CallExport(const char* name, Extra... extra) {
    auto entry = FindExport<Function>(name);
    if (entry == nullptr) return -1;
    return entry(m_nSubscription, m_hSubscriberWnd, extra...) != 0 ? 1 : 0;
  }

  LONG m_nSubscription = 0;
  HWND m_hSubscriberWnd = nullptr;
};
