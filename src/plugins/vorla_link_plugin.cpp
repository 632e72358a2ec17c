#include "plugins/vorla_link_plugin.h"

#include "plugins/outside_interfaces.h"

LONG CVorlaLinkPlugin::SubscribeMsg() { return CallExport<VOSubscribeMsgFn>(kVOSubscribeMsgExport); }

LONG CVorlaLinkPlugin::UnsubscribeMsg() { return CallExport<VOUnsubscribeMsgFn>(kVOUnsubscribeMsgExport); }

LONG CVorlaLinkPlugin::PostMsg(LONG value) { return CallExport<VOPostMsgFn>(kVOPostMsgExport, value); }
