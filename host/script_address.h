// The addresses a session script names: proxy chains and stream URLs. The library takes some that do not
// do what they say (a proxy without a host sends the stream out directly, a URL without a scheme names a
// source at ":0"), so the script refuses them before anything loads, with what it expected and found.
#pragma once

#include <optional>
#include <string>

#include "script_line.h"

// "HOST:PORT|HOST:PORT" into the first address and the optional second. "|" alone turns the chain off;
// otherwise each address given names a host and a port in 16 bits, and a second hop needs a first.
void ReadProxyPair(ScriptLine& line, std::string& first, std::optional<std::string>& second);

// A stream URL as the library takes it: SCHEME://HOST..., its port (when given) from 0 to 65535, and
// nothing the library's own URL parser refuses.
std::string ReadStreamUrl(ScriptLine& line);
