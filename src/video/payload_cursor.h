// A read position inside one command's payload. Every read checks the bytes left first and fails
// rather than pass the payload's end, so a short or hostile buffer is never overread.
#pragma once

#include <cstdint>

#include "video/command_format.h"

class PayloadCursor {
 public:
  explicit PayloadCursor(const VideoCommand& command);

  bool ReadOctet(int32_t& nValue);
  // A be32 field; a value passed on as signed keeps the same 32 bits.
  bool ReadBe32(int32_t& nValue);
  // The size field: be32 in the long form, an octet in the short form, absent in the escape form.
  bool SkipSizeField();
  // True when the size field is absent or holds nRequired.
  bool SizeFieldIs(int32_t nRequired);
  // Bytes that follow without being read; fails when fewer than nCount are left.
  bool Skip(int32_t nCount);
  // Copies the first min(nCount, nCapacity) bytes to pDest and moves past them only: a text declared
  // longer than its layout keeps needs only the kept bytes, and the next field follows them. Fails when
  // fewer bytes than that are left.
  bool CopyBytes(char* pDest, int32_t nCapacity, int32_t nCount);

  bool IsShortForm() const { return m_form == HeaderForm::Short; }

 private:
  // Leaves nValue as it is in the escape form, which has no size field.
  bool ReadSizeField(int32_t& nValue);
  int32_t Left() const { return m_nSize - m_nOffset; }

  const uint8_t* m_pData;
  int32_t m_nSize;
  int32_t m_nOffset = 0;
  HeaderForm m_form;
};
