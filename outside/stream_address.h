// The host and port a stream URL points at, as the relay needs them to reach a source: the scheme's usual
// port when the URL names none.
#pragma once

#include <string>
#include <string_view>

#include "base/platform.h"

struct StreamAddress {
  std::string host;
  LONG port = 0;
};

// False when the text is not "scheme://host[:port][/...]" with a scheme the relay knows a port for, a host
// CheckHost takes, and a port from 1 to 65535.
bool ParseStreamAddress(const std::string& url, StreamAddress& address);

// A configured host goes into CONNECT lines, Host fields and SOCKS5 requests, so it must be a host name, an
// IPv4 address or an IPv6 address, nothing else: a line break in it would start lines nobody configured.
// Returns an empty text and leaves `host` as the relay writes it (an IPv6 address without brackets, which
// HostText adds once), or says why the host cannot be used ("holds a control byte").
std::string CheckHost(std::string& host);

// The host as a URL's authority writes it: an IPv6 address in brackets, anything else as it is.
std::string HostText(const std::string& host);
// "HOST:PORT" with the host as HostText writes it.
std::string HostPortText(const std::string& host, LONG port);

// `text` with ASCII letters in lower case: schemes, host names, field names and codings compare without
// regard to case, and never by the C locale.
std::string AsciiLower(std::string_view text);
