// The numbers the host terminal, the control, the simulator and the proxy plug-ins share about a stream,
// each written once: the talkback commands, the player states and connection kinds a heartbeat reports,
// and the connection types of a stream source.
#pragma once

#include "base/platform.h"

// Talkback commands share the numbering of the commands the host sends.
inline constexpr LONG kTalkbackReportProxyPort = 240;
inline constexpr LONG kTalkbackProxyStatus = 249;

// The player's state in a heartbeat.
inline constexpr LONG kPlayerStateActive = 1;
inline constexpr LONG kPlayerStateClosing = 4;
inline constexpr LONG kPlayerStateIdle = 6;

// The heartbeat's connection kind: MPROXY when the stream's connection is of that type.
inline constexpr LONG kConnectionKindOther = 5;
inline constexpr LONG kConnectionKindMProxy = 7;

// A stream source's connection type, as a URL command gives it.
inline constexpr LONG kConnectionTypePlug = 1;
inline constexpr LONG kConnectionTypeDirect = 2;
inline constexpr LONG kConnectionTypeMProxy = 3;
inline constexpr LONG kConnectionTypeHttp = 4;
inline constexpr LONG kConnectionTypeRtmp = 5;
