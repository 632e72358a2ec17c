// The relay's own configuration. At Create a relay copies from the video host's configuration what it works
// from and hands that copy back from GetConfig, so the host's later settings reach it through the normal
// path and the host's object is never shared with the relay's threads.
#pragma once

#include <string>

#include "config/src_config.h"
#include "stream_address.h"

// The stream sources, the current one, the SOCKS5 settings and the session identifiers (the heartbeat reads
// them back from the running proxy). Each configuration's lock is held while it is read or written.
void CopyRelayConfig(CSrcConfig& from, CSrcConfig& to);

// A new URL for connection `index` as the video host's own list takes one: index 0 starts the list anew,
// the index after the last one appends, any other index changes nothing (false).
bool SetRelayConnection(CSrcConfig& config, LONG index, const std::string& url, LONG type,
                        const StreamAddress& address);
