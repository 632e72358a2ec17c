// Every integer in a buffer exchanged with the host travels most significant byte first. Read and written
// byte by byte, so no alignment or host byte order is assumed.
#pragma once

#include <cstdint>

inline uint32_t ReadBigEndian16(const uint8_t* p) { return (uint32_t{p[0]} << 8) | uint32_t{p[1]}; }

inline uint32_t ReadBigEndian32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

inline void PutBigEndian16(uint8_t* pOut, uint32_t value) {
  pOut[0] = static_cast<uint8_t>(value >> 8);
  pOut[1] = static_cast<uint8_t>(value);
}

inline void PutBigEndian32(uint8_t* pOut, uint32_t value) {
  PutBigEndian16(pOut, value >> 16);
  PutBigEndian16(pOut + 2, value);
}
