// Command buffers as the host writes them, in each header form a command can take. Tests and the host
// simulator say Cmd::url(1, 2, "http://...") instead of spelling bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "video/command_format.h"

using CommandBytes = std::vector<uint8_t>;

// Writes one command field by field; the form decides the header and the width of size fields, lead
// fields and proxy-list text lengths. Fields are written as given, so a test can declare lengths that
// disagree with the bytes that follow.
class CommandWriter {
 public:
  // nCount goes into the long and short header; the escape header carries none.
  CommandWriter(HeaderForm form, int32_t nCmd, int32_t nCount = 1);

  CommandWriter& Octet(uint32_t value);
  CommandWriter& Be32(uint32_t value);
  CommandWriter& Bytes(std::string_view bytes);
  // be32 in the long form, an octet in the short form, nothing in the escape form.
  CommandWriter& SizeField(uint32_t value);
  // The skipped field at the start of a proxy list: one byte in the short form, four otherwise.
  CommandWriter& LeadField();
  // A proxy-list length: an octet in the short form, be32 otherwise.
  CommandWriter& ListLength(uint32_t length);
  // A proxy-list text with its true length.
  CommandWriter& ListText(std::string_view text);

  CommandBytes Done() const { return m_bytes; }

 private:
  HeaderForm m_form;
  CommandBytes m_bytes;
};

// An optional text of a proxy list is written, and its flag set, when present.
struct PlugProxyList {
  std::string first;
  std::optional<std::string> second = std::nullopt;
  std::optional<std::string> customHeader = std::nullopt;
};

struct Socks5ProxyList {
  std::string first;
  std::optional<std::string> second = std::nullopt;
  std::optional<std::string> userName = std::nullopt;  // user name and password travel together
  std::string password = "";
};

namespace Cmd {

// Each command's number is in the comment; video commands (above 126) have no short form.
CommandBytes loadFile(std::string_view text, HeaderForm form = HeaderForm::Long);       // 21
CommandBytes plugProxy(const PlugProxyList& list, HeaderForm form = HeaderForm::Long);  // 22
CommandBytes socks(const Socks5ProxyList& list, HeaderForm form = HeaderForm::Long);    // 25
CommandBytes sourcePortRange(HeaderForm form = HeaderForm::Long);                       // 84
CommandBytes secureHeader(uint8_t version, uint8_t keyType, std::string_view header,
                          HeaderForm form = HeaderForm::Long);                          // 113
CommandBytes socks5Setting(const Socks5ProxyList& list, HeaderForm form = HeaderForm::Long);  // 201
CommandBytes alarmInterval(int32_t seconds, HeaderForm form = HeaderForm::Long);              // 215
CommandBytes sessionIds(int32_t first, int32_t second, HeaderForm form = HeaderForm::Long);   // 221
// The URL always goes to proxy 0; count may be 1 to 255 (long form only).
CommandBytes url(int32_t connIndex, int32_t type, std::string_view url, HeaderForm form = HeaderForm::Long,
                 int32_t count = 1);                                                          // 227
CommandBytes plugInType(int32_t type, HeaderForm form = HeaderForm::Long);                    // 241
CommandBytes proxyKey(uint8_t total, uint8_t index, std::string_view key, HeaderForm form = HeaderForm::Long,
                      int32_t count = 1);                                                     // 242
CommandBytes isolated(int32_t flag, HeaderForm form = HeaderForm::Long);                      // 245

}  // namespace Cmd

// One buffer of every handled command in every header form it can take (numbers above 126 have no
// short form), named "<number>-<form>", for seed corpora, benchmarks and round trips.
struct NamedCommand {
  std::string name;
  int32_t nCmd;
  HeaderForm form;
  CommandBytes bytes;
};
std::vector<NamedCommand> EveryHandledCommand();
