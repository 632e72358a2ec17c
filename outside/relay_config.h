// The relay's own configuration. At Create a relay copies from the video host's configuration what it works
// from and hands that copy back from GetConfig, so the host's later settings reach it through the normal
// path and the host's object is never shared with the relay's threads.
#pragma once

#include <string>

#include "config/src_config.h"
#include "relay_route.h"
#include "stream_address.h"

// A new URL for connection `index` as the video host's own list takes one: index 0 starts the list anew,
// the index after the last one appends, any other index changes nothing (false). The host and port are the
// relay's own reading of the URL.
bool SetRelayConnection(CSrcConfig& config, LONG index, const std::string& url, LONG type,
                        const StreamAddress& address);

// Everything the relay reads from its configuration for one player's connection, in one reading.
RelayRoute ReadRelayRoute(CSrcConfig& config);
