#include "video/payload_cursor.h"

#include <algorithm>
#include <cstring>

#include "base/big_endian.h"

PayloadCursor::PayloadCursor(const VideoCommand& command)
    : m_pData(command.pData), m_nSize(command.pData ? std::max(command.nDataSize, 0) : 0),
      m_form(command.form) {}

bool PayloadCursor::ReadOctet(int32_t& nValue) {
  if (Left() < 1) return false;
  nValue = m_pData[m_nOffset];
  m_nOffset += 1;
  return true;
}

bool PayloadCursor::ReadBe32(int32_t& nValue) {
  if (Left() < 4) return false;
  nValue = static_cast<int32_t>(ReadBigEndian32(m_pData + m_nOffset));
  m_nOffset += 4;
  return true;
}

bool PayloadCursor::ReadSizeField(int32_t& nValue) {
  switch (m_form) {
    case HeaderForm::Long:
      return ReadBe32(nValue);
    case HeaderForm::Short:
      return ReadOctet(nValue);
    default:
      return true;  // the escape form has no size field
  }
}

bool PayloadCursor::SkipSizeField() {
  int32_t ignored = 0;
  return ReadSizeField(ignored);
}

bool PayloadCursor::SizeFieldIs(int32_t nRequired) {
  int32_t value = nRequired;
  return ReadSizeField(value) && value == nRequired;
}

bool PayloadCursor::Skip(int32_t nCount) {
  if (nCount < 0 || Left() < nCount) return false;
  m_nOffset += nCount;
  return true;
}

bool PayloadCursor::CopyBytes(char* pDest, int32_t nCapacity, int32_t nCount) {
  const int32_t kept = std::min(nCount, nCapacity);
  if (kept < 0 || Left() < kept) return false;
  if (kept > 0) std::memcpy(pDest, m_pData + m_nOffset, static_cast<size_t>(kept));
  m_nOffset += kept;
  return true;
}
