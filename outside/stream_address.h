// The host and port a stream URL points at, as the relay needs them to reach a source: the scheme's usual
// port when the URL names none.
#pragma once

#include <string>

#include "base/platform.h"

struct StreamAddress {
  std::string host;
  LONG port = 0;
};

// False when the text is not "scheme://host[:port][/...]" with a scheme the relay knows a port for, or a
// port outside 1 to 65535.
bool ParseStreamAddress(const std::string& url, StreamAddress& address);

// The host as a URL's authority writes it: an IPv6 address in brackets.
std::string HostText(const std::string& host);
// "HOST:PORT" with the host as HostText writes it.
std::string HostPortText(const std::string& host, LONG port);
