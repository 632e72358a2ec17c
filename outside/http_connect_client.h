// The client side of an HTTP CONNECT tunnel (RFC 9110, 9.3.6), the way the relay reads a PLUG proxy: over
// any byte stream, so the exchange can be checked without a network.
#pragma once

#include <string>

#include "base/platform.h"
#include "socks5_client.h"

// Asks the proxy at the other end of `proxy` for a tunnel to `host`:`port`, with `extraHeader` (up to its
// first line break) as one more header line when it is not empty. Empty on success, after which `proxy`
// carries the target's bytes; otherwise why it failed, with the proxy's status line.
std::string HttpConnect(ByteStream& proxy, const std::string& host, LONG port, const std::string& extraHeader);
