// The command vocabulary between the host terminal and this library, written once: the header of one
// binary command (three forms that differ in how the number and the count are packed), the numbers of
// the commands acted on, and the flags of the proxy lists. The parsers, the dispatcher and the command
// writer all spell them from here.
#pragma once

#include <cstdint>

enum class HeaderForm : int32_t {
  Long,    // bit 7 of byte 0 clear: count and number as be32, 8 bytes
  Short,   // bit 7 set: number in byte 0, count in byte 1
  Escape,  // byte 0 is 0xFF: number in byte 1, count 1
};

constexpr uint8_t kHeaderEscapeByte = 0xFF;
constexpr uint8_t kHeaderShortBit = 0x80;
constexpr int32_t kLongHeaderSize = 8;
constexpr int32_t kShortHeaderSize = 2;

// Command numbers; video commands (above 126) have no short form.
namespace CommandNumber {
constexpr int32_t kLoadFile = 21;
constexpr int32_t kPlugProxy = 22;
constexpr int32_t kSocks5Proxy = 25;
constexpr int32_t kSourcePortRange = 84;
constexpr int32_t kSecureHeader = 113;
constexpr int32_t kVideoSocks5Proxy = 201;
constexpr int32_t kAlarmInterval = 215;
constexpr int32_t kSessionIDs = 221;
constexpr int32_t kURLSetting = 227;
constexpr int32_t kPlugInType = 241;
constexpr int32_t kProxyKey = 242;
constexpr int32_t kIsolated = 245;
}  // namespace CommandNumber

// The flags word of a proxy list: which optional texts follow the first address.
namespace ProxyListFlag {
constexpr uint32_t kSecondAddress = 0x1;
constexpr uint32_t kCustomHeader = 0x2;  // PLUG lists only
constexpr uint32_t kCredentials = 0x4;   // SOCKS5 lists only
}  // namespace ProxyListFlag

// A parsed header. It points into the caller's buffer and is valid only while that buffer is.
struct VideoCommand {
  int32_t nCmd;
  int32_t nCount;  // 1 to 255
  HeaderForm form;
  const uint8_t* pData;  // first payload byte; not owned
  int32_t nDataSize;     // payload bytes after the header; every payload read stays within them
};

// Fails for a null buffer, a size that cannot hold the header its first byte announces, or a count
// outside 1 to 255.
bool ParseCommandHeader(const uint8_t* pBuffer, int32_t nSize, VideoCommand& command);
