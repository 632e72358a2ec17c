// Runs one command buffer through the header parser and the payload parser its number calls for, as the
// dispatcher would. Header-only: the includer links qel_video_format.
#pragma once

#include <cstdint>

#include "video/command_format.h"
#include "video/command_payloads.h"

// True when the header and the payload parse; a number without a payload parser counts as parsed.
inline bool ParseHandledCommand(const uint8_t* pBuffer, int32_t nSize) {
  VideoCommand command;
  if (!ParseCommandHeader(pBuffer, nSize, command)) return false;
  LongText longText;
  ShortText text1, text2, text3, text4;
  int32_t a = 0, b = 0;
  switch (command.nCmd) {
    case 21:
      return ParseLoadFile(command, longText);
    case 22:
      return ParsePlugProxyList(command, text1, a, text2, b, text3);
    case 25:
    case 201:
      return ParseSocks5ProxyList(command, text1, a, text2, b, text3, text4);
    case 113:
      return ParseSecureHeader(command, a, b, text1);
    case 215:
    case 245:
      return ParseOneValue(command, a);
    case 221:
      return ParseTwoValues(command, a, b);
    case 227:
      return ParseURLSetting(command, a, b, longText);
    case 241:
      return ParseBareValue(command, a);
    case 242:
      return ParseProxyKey(command, a, b, longText);
    default:
      return true;
  }
}
