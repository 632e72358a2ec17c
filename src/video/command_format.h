// The header of one binary video command as the host writes it: three forms that differ in how the
// command number and the count are packed.
#pragma once

#include <cstdint>

// Form codes kept in VideoCommand::nForm.
constexpr int32_t kCommandFormLong = 0;    // bit 7 of byte 0 clear: count and number as be32, 8 bytes
constexpr int32_t kCommandFormShort = 1;   // bit 7 set: number in byte 0, count in byte 1
constexpr int32_t kCommandFormEscape = 2;  // byte 0 is 0xFF: number in byte 1, count 1

constexpr int32_t kLongHeaderSize = 8;
constexpr int32_t kShortHeaderSize = 2;

// A parsed header. It points into the caller's buffer and is valid only while that buffer is.
struct VideoCommand {
  int32_t nCmd;
  int32_t nCount;  // 1 to 255
  int32_t nForm;
  const uint8_t* pData;  // first payload byte; not owned
  int32_t nDataSize;     // payload bytes after the header; every payload read stays within them
};

// Fails for a null buffer, a size that cannot hold the header its first byte announces, or a count
// outside 1 to 255.
bool ParseCommandHeader(const uint8_t* pBuffer, int32_t nSize, VideoCommand& command);
