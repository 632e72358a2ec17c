// Arbitrary bytes through the header parser and then every payload parser, whatever the command number,
// so each layout meets every kind of payload.
#include <cstddef>
#include <cstdint>

#include "video/command_format.h"
#include "video/command_payloads.h"
#include "video/command_names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  VideoCommand command;
  if (size > INT32_MAX || !ParseCommandHeader(data, static_cast<int32_t>(size), command)) return 0;
  (void)CommandName(command.nCmd);
  LongText longText;
  ShortText text1, text2, text3, text4;
  int32_t a = 0, b = 0;
  ParseLoadFile(command, longText);
  ParseOneValue(command, a);
  ParseTwoValues(command, a, b);
  ParseBareValue(command, a);
  ParseURLSetting(command, a, b, longText);
  ParseProxyKey(command, a, b, longText);
  ParseSecureHeader(command, a, b, text1);
  ParsePlugProxyList(command, text1, a, text2, b, text3);
  ParseSocks5ProxyList(command, text1, a, text2, b, text3, text4);
  return 0;
}
