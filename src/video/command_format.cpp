#include "video/command_format.h"

#include "base/big_endian.h"

namespace {

constexpr uint8_t kShortNumberMask = 0x7F;
constexpr int32_t kMaxCount = 255;

HeaderForm FormOf(uint8_t firstByte) {
  if (firstByte == kHeaderEscapeByte) return HeaderForm::Escape;
  return (firstByte & kHeaderShortBit) ? HeaderForm::Short : HeaderForm::Long;
}

}  // namespace

bool ParseCommandHeader(const uint8_t* pBuffer, int32_t nSize, VideoCommand& command) {
  command = VideoCommand{0, 0, HeaderForm::Long, nullptr, 0};
  if (pBuffer == nullptr || nSize <= 0) return false;

  const HeaderForm form = FormOf(pBuffer[0]);
  const int32_t headerSize = form == HeaderForm::Long ? kLongHeaderSize : kShortHeaderSize;
  if (nSize < headerSize) return false;

  int32_t number = 0;
  int32_t count = 1;
  switch (form) {
    case HeaderForm::Long:
      count = static_cast<int32_t>(ReadBigEndian32(pBuffer));
      number = static_cast<int32_t>(ReadBigEndian32(pBuffer + 4));
      break;
    case HeaderForm::Short:
      number = pBuffer[0] & kShortNumberMask;
      count = pBuffer[1];
      break;
    default:
      number = pBuffer[1];
      break;
  }
  if (count < 1 || count > kMaxCount) return false;

  command = VideoCommand{number, count, form, pBuffer + headerSize, nSize - headerSize};
  return true;
}
