#include "video/command_payloads.h"

#include <cstring>

#include "video/payload_cursor.h"
#include "video/proxy_address.h"

namespace {

constexpr int32_t kMaxCountedText = kShortTextSize - 1;

template <int32_t N>
void Clear(char (&szText)[N]) {
  std::memset(szText, 0, N);
}

// An octet-counted text that must not be empty (URL, proxy key); the buffer holds any octet length.
bool ReadRequiredOctetText(PayloadCursor& cursor, LongText& szText) {
  int32_t length = 0;
  return cursor.ReadOctet(length) && length >= 1 && cursor.CopyBytes(szText, kLongTextSize - 1, length);
}

// A counted text whose empty or negative length is a failure (the address texts T1 and T2).
bool ReadRequiredCountedText(PayloadCursor& cursor, ShortText& szText) {
  int32_t length = 0;
  return ReadCountedText(cursor, length, szText, cursor.IsShortForm()) != nullptr && length >= 1;
}

bool ReadOptionalCountedText(PayloadCursor& cursor, ShortText& szText) {
  int32_t length = 0;
  return ReadCountedText(cursor, length, szText, cursor.IsShortForm()) != nullptr;
}

// The part both proxy lists share: lead field, flags, T1 into both pairs, T2 (flags bit 0) into the
// second pair alone. Leaves the cursor on the first optional text.
bool ReadProxyAddresses(PayloadCursor& cursor, int32_t& nFlags, ShortText& szHost1, int32_t& nPort1,
                        ShortText& szHost2, int32_t& nPort2) {
  const int32_t leadSize = cursor.IsShortForm() ? 1 : 4;
  ShortText szAddress;
  if (!cursor.Skip(leadSize) || !cursor.ReadBe32(nFlags) || !ReadRequiredCountedText(cursor, szAddress))
    return false;
  SplitProxyPair(szAddress, szHost1, nPort1, &szHost2, &nPort2);
  if (nFlags & ProxyListFlag::kSecondAddress) {
    if (!ReadRequiredCountedText(cursor, szAddress)) return false;
    SplitProxyPair(szAddress, szHost2, nPort2, nullptr, nullptr);
  }
  return true;
}

}  // namespace

const char* ReadCountedText(PayloadCursor& cursor, int32_t& nLength, ShortText& szText, bool bOneByteLength) {
  Clear(szText);
  nLength = 0;
  int32_t declared = 0;
  if (!(bOneByteLength ? cursor.ReadOctet(declared) : cursor.ReadBe32(declared))) return nullptr;
  if (declared <= 0) return szText;
  if (!cursor.CopyBytes(szText, kMaxCountedText, declared)) return nullptr;
  nLength = declared < kMaxCountedText ? declared : kMaxCountedText;
  return szText;
}

bool ParseLoadFile(const VideoCommand& command, LongText& szText) {
  Clear(szText);
  if (command.nCount != 1) return false;
  PayloadCursor cursor(command);
  int32_t length = 0;
  if (!cursor.Skip(4) || !cursor.ReadBe32(length) || length < 1) return false;
  return cursor.CopyBytes(szText, kLongTextSize - 1, length);
}

bool ParseOneValue(const VideoCommand& command, int32_t& nValue) {
  nValue = 0;
  if (command.nCount != 1) return false;
  PayloadCursor cursor(command);
  return cursor.SizeFieldIs(4) && cursor.ReadBe32(nValue);
}

bool ParseTwoValues(const VideoCommand& command, int32_t& nFirst, int32_t& nSecond) {
  nFirst = 0;
  nSecond = 0;
  if (command.nCount != 1) return false;
  PayloadCursor cursor(command);
  return cursor.SizeFieldIs(8) && cursor.ReadBe32(nFirst) && cursor.ReadBe32(nSecond);
}

bool ParseBareValue(const VideoCommand& command, int32_t& nValue) {
  nValue = 0;
  if (command.nCount != 1) return false;
  PayloadCursor cursor(command);
  return cursor.ReadBe32(nValue);
}

bool ParseURLSetting(const VideoCommand& command, int32_t& nType, int32_t& nConnIndex, LongText& szURL) {
  nType = 0;
  nConnIndex = 0;
  Clear(szURL);
  PayloadCursor cursor(command);
  return cursor.SkipSizeField() && cursor.ReadBe32(nType) && cursor.ReadBe32(nConnIndex) &&
         ReadRequiredOctetText(cursor, szURL);
}

bool ParseProxyKey(const VideoCommand& command, int32_t& nTotal, int32_t& nIndex, LongText& szKey) {
  nTotal = 0;
  nIndex = 0;
  Clear(szKey);
  PayloadCursor cursor(command);
  return cursor.SkipSizeField() && cursor.ReadOctet(nTotal) && cursor.ReadOctet(nIndex) &&
         ReadRequiredOctetText(cursor, szKey);
}

bool ParseSecureHeader(const VideoCommand& command, int32_t& nVersion, int32_t& nKeyType, ShortText& szHeader) {
  nVersion = 0;
  nKeyType = 0;
  Clear(szHeader);
  if (command.nCount != 1) return false;
  PayloadCursor cursor(command);
  int32_t length = 0;
  return cursor.Skip(2) && cursor.ReadOctet(nVersion) && cursor.ReadOctet(nKeyType) && cursor.ReadOctet(length) &&
         cursor.CopyBytes(szHeader, kMaxCountedText, length);
}

bool ParsePlugProxyList(const VideoCommand& command, ShortText& szHost1, int32_t& nPort1, ShortText& szHost2,
                        int32_t& nPort2, ShortText& szCustomHeader) {
  Clear(szHost1);
  Clear(szHost2);
  Clear(szCustomHeader);
  nPort1 = 0;
  nPort2 = 0;
  if (command.nCount != 1) return false;
  PayloadCursor cursor(command);
  int32_t flags = 0;
  if (!ReadProxyAddresses(cursor, flags, szHost1, nPort1, szHost2, nPort2)) return false;
  return !(flags & ProxyListFlag::kCustomHeader) || ReadOptionalCountedText(cursor, szCustomHeader);
}

bool ParseSocks5ProxyList(const VideoCommand& command, ShortText& szHost1, int32_t& nPort1, ShortText& szHost2,
                          int32_t& nPort2, ShortText& szUserName, ShortText& szPassword) {
  Clear(szHost1);
  Clear(szHost2);
  Clear(szUserName);
  Clear(szPassword);
  nPort1 = 0;
  nPort2 = 0;
  if (command.nCount != 1) return false;
  PayloadCursor cursor(command);
  int32_t flags = 0;
  if (!ReadProxyAddresses(cursor, flags, szHost1, nPort1, szHost2, nPort2)) return false;
  return !(flags & ProxyListFlag::kCredentials) ||
         (ReadOptionalCountedText(cursor, szUserName) && ReadOptionalCountedText(cursor, szPassword));
}
