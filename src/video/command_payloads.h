// Parsers for the payloads of the commands the system acts on. Each returns true on success and
// writes through its out-parameters: text buffers are zero-filled first, integers set to 0, so a text
// always ends in NUL and a field the payload does not supply stays empty. A payload too short for the
// fields its layout reads fails the parse. Nothing is allocated.
#pragma once

#include <cstdint>

#include "video/command_format.h"

class PayloadCursor;

constexpr int32_t kLongTextSize = 512;   // load-file text, URL, proxy key
constexpr int32_t kShortTextSize = 256;  // hosts, custom header, secure header, user name, password

using LongText = char[kLongTextSize];
using ShortText = char[kShortTextSize];

// 21: a skipped be32, a be32 length of at least 1, the text (cut to 511).
bool ParseLoadFile(const VideoCommand& command, LongText& szText);
// 215, 245: size field 4, then the value.
bool ParseOneValue(const VideoCommand& command, int32_t& nValue);
// 221: size field 8, then the two values.
bool ParseTwoValues(const VideoCommand& command, int32_t& nFirst, int32_t& nSecond);
// 241: a be32 at offset 0 in every form, no size field.
bool ParseBareValue(const VideoCommand& command, int32_t& nValue);
// 227, any count: size field (skipped), type, connection index, an octet length of at least 1, the URL.
bool ParseURLSetting(const VideoCommand& command, int32_t& nType, int32_t& nConnIndex, LongText& szURL);
// 242, any count: size field (skipped), total, index, an octet length of at least 1, the key bytes.
bool ParseProxyKey(const VideoCommand& command, int32_t& nTotal, int32_t& nIndex, LongText& szKey);
// 113: two unread bytes, version, key type, an octet length (0 gives an empty header), the header.
bool ParseSecureHeader(const VideoCommand& command, int32_t& nVersion, int32_t& nKeyType,
                       ShortText& szHeader);
// 22: the PLUG proxy list; flags bit 0 brings a second address text, bit 1 the custom header.
bool ParsePlugProxyList(const VideoCommand& command, ShortText& szHost1, int32_t& nPort1, ShortText& szHost2,
                        int32_t& nPort2, ShortText& szCustomHeader);
// 25, 201: the SOCKS5 proxy list; flags bit 0 brings a second address text, bit 2 user name and password.
bool ParseSocks5ProxyList(const VideoCommand& command, ShortText& szHost1, int32_t& nPort1, ShortText& szHost2,
                          int32_t& nPort2, ShortText& szUserName, ShortText& szPassword);

// A counted text of a proxy list: an octet length when bOneByteLength is set, else a be32 length. A
// negative length counts as 0 and copies nothing; above 255 the first 255 bytes are kept, and the next
// field is read right after them, as the layout reads it, not after the declared end. nLength is the
// number of bytes copied. Returns szText, or null when the payload ends before the kept bytes do.
const char* ReadCountedText(PayloadCursor& cursor, int32_t& nLength, ShortText& szText, bool bOneByteLength);
