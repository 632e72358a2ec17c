// The relay's own configuration. At Create a relay copies from the video host's configuration what it works
// from and hands that copy back from GetConfig, so the host's later settings reach it through the normal
// path and the host's object is never shared with the relay's threads.
#pragma once

#include <string>

#include "config/src_config.h"
#include "relay_route.h"
#include "stream_address.h"

// Every field the relay or the heartbeat reads back: the stream sources and the current one, both proxy
// chains with the SOCKS5 login and the PLUG header, the keys, the secure header, the client key and the
// session identifiers. Each configuration's lock is held while it is read or written.
void CopyRelayConfig(CSrcConfig& from, CSrcConfig& to);

// A new URL for connection `index` as the video host's own list takes one: index 0 starts the list anew,
// the index after the last one appends, any other index changes nothing (false).
bool SetRelayConnection(CSrcConfig& config, LONG index, const std::string& url, LONG type,
                        const StreamAddress& address);

// Everything the relay reads from its configuration for one player's connection, in one reading.
RelayRoute ReadRelayRoute(CSrcConfig& config);
