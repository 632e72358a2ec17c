// The text syntax of proxy addresses: "host:port", and two of them joined as "host1:port1|host2:port2".
#pragma once

#include <cstdint>
#include <string_view>

#include "video/command_payloads.h"

// Clears the host and sets the port to 0, then splits at the first ":" if it stands after index 0: the
// host is the text before it (cut to 255 bytes), the port the decimal number at the start of the text
// after it, read like atoi but held to the 32-bit range instead of overflowing.
void SplitHostPort(std::string_view text, ShortText& szHost, int32_t& nPort);

// Splits at the first "|": the part before it into the first pair and, when a second pair is asked for,
// the part after it into the second. Without a "|" the whole text goes into the first pair. An empty
// part leaves its pair as it was. The text ends at its first NUL byte.
void SplitProxyPair(const char* szText, ShortText& szHost1, int32_t& nPort1, ShortText* pszHost2, int32_t* pnPort2);

