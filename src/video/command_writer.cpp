#include "video/command_writer.h"

namespace {


const char* FormName(HeaderForm form) {
  switch (form) {
    case HeaderForm::Long:
      return "long";
    case HeaderForm::Short:
      return "short";
    default:
      return "escape";
  }
}

// Lead field, flags and first address: the start both proxy lists share.
CommandWriter ProxyListStart(HeaderForm form, int32_t nCmd, uint32_t flags, const std::string& first) {
  CommandWriter writer(form, nCmd);
  writer.LeadField().Be32(flags).ListText(first);
  return writer;
}

CommandBytes Socks5List(int32_t nCmd, const Socks5ProxyList& list, HeaderForm form) {
  const uint32_t flags = (list.second ? ProxyListFlag::kSecondAddress : 0) | (list.userName ? ProxyListFlag::kCredentials : 0);
  CommandWriter writer = ProxyListStart(form, nCmd, flags, list.first);
  if (list.second) writer.ListText(*list.second);
  if (list.userName) writer.ListText(*list.userName).ListText(list.password);
  return writer.Done();
}

CommandBytes OneValue(int32_t nCmd, int32_t value, HeaderForm form) {
  return CommandWriter(form, nCmd).SizeField(4).Be32(static_cast<uint32_t>(value)).Done();
}

}  // namespace

CommandWriter::CommandWriter(HeaderForm form, int32_t nCmd, int32_t nCount) : m_form(form) {
  switch (form) {
    case HeaderForm::Long:
      Be32(static_cast<uint32_t>(nCount)).Be32(static_cast<uint32_t>(nCmd));
      break;
    case HeaderForm::Short:
      Octet(kHeaderShortBit | static_cast<uint32_t>(nCmd)).Octet(static_cast<uint32_t>(nCount));
      break;
    case HeaderForm::Escape:
      Octet(kHeaderEscapeByte).Octet(static_cast<uint32_t>(nCmd));
      break;
  }
}

CommandWriter& CommandWriter::Octet(uint32_t value) {
  m_bytes.push_back(static_cast<uint8_t>(value));
  return *this;
}

CommandWriter& CommandWriter::Be32(uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) Octet(value >> shift);
  return *this;
}

CommandWriter& CommandWriter::Bytes(std::string_view bytes) {
  m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
  return *this;
}

CommandWriter& CommandWriter::SizeField(uint32_t value) {
  if (m_form == HeaderForm::Long) return Be32(value);
  if (m_form == HeaderForm::Short) return Octet(value);
  return *this;
}

CommandWriter& CommandWriter::LeadField() { return m_form == HeaderForm::Short ? Octet(0) : Be32(0); }

CommandWriter& CommandWriter::ListLength(uint32_t length) {
  return m_form == HeaderForm::Short ? Octet(length) : Be32(length);
}

CommandWriter& CommandWriter::ListText(std::string_view text) {
  return ListLength(static_cast<uint32_t>(text.size())).Bytes(text);
}

namespace Cmd {

CommandBytes loadFile(std::string_view text, HeaderForm form) {
  return CommandWriter(form, CommandNumber::kLoadFile).Be32(0).Be32(static_cast<uint32_t>(text.size())).Bytes(text).Done();
}

CommandBytes plugProxy(const PlugProxyList& list, HeaderForm form) {
  const uint32_t flags = (list.second ? ProxyListFlag::kSecondAddress : 0) | (list.customHeader ? ProxyListFlag::kCustomHeader : 0);
  CommandWriter writer = ProxyListStart(form, CommandNumber::kPlugProxy, flags, list.first);
  if (list.second) writer.ListText(*list.second);
  if (list.customHeader) writer.ListText(*list.customHeader);
  return writer.Done();
}

CommandBytes socks(const Socks5ProxyList& list, HeaderForm form) { return Socks5List(CommandNumber::kSocks5Proxy, list, form); }

CommandBytes sourcePortRange(HeaderForm form) { return CommandWriter(form, CommandNumber::kSourcePortRange).Done(); }

CommandBytes secureHeader(uint8_t version, uint8_t keyType, std::string_view header, HeaderForm form) {
  return CommandWriter(form, CommandNumber::kSecureHeader)
      .Octet(0)
      .Octet(0)
      .Octet(version)
      .Octet(keyType)
      .Octet(static_cast<uint32_t>(header.size()))
      .Bytes(header)
      .Done();
}

CommandBytes socks5Setting(const Socks5ProxyList& list, HeaderForm form) { return Socks5List(CommandNumber::kVideoSocks5Proxy, list, form); }

CommandBytes alarmInterval(int32_t seconds, HeaderForm form) { return OneValue(CommandNumber::kAlarmInterval, seconds, form); }

CommandBytes sessionIds(int32_t first, int32_t second, HeaderForm form) {
  return CommandWriter(form, CommandNumber::kSessionIDs).SizeField(8).Be32(static_cast<uint32_t>(first)).Be32(static_cast<uint32_t>(second)).Done();
}

CommandBytes url(int32_t connIndex, int32_t type, std::string_view url, HeaderForm form, int32_t count) {
  return CommandWriter(form, CommandNumber::kURLSetting, count)
      .SizeField(0)
      .Be32(static_cast<uint32_t>(type))
      .Be32(static_cast<uint32_t>(connIndex))
      .Octet(static_cast<uint32_t>(url.size()))
      .Bytes(url)
      .Done();
}

CommandBytes plugInType(int32_t type, HeaderForm form) {
  return CommandWriter(form, CommandNumber::kPlugInType).Be32(static_cast<uint32_t>(type)).Done();
}

CommandBytes proxyKey(uint8_t total, uint8_t index, std::string_view key, HeaderForm form, int32_t count) {
  return CommandWriter(form, CommandNumber::kProxyKey, count)
      .SizeField(0)
      .Octet(total)
      .Octet(index)
      .Octet(static_cast<uint32_t>(key.size()))
      .Bytes(key)
      .Done();
}

CommandBytes isolated(int32_t flag, HeaderForm form) { return OneValue(CommandNumber::kIsolated, flag, form); }

}  // namespace Cmd

std::vector<NamedCommand> EveryHandledCommand() {
  const Socks5ProxyList socks5{"hostA:1080|hostB:1081", "hostC:1082", "user", "secret"};
  const PlugProxyList plug{"hostA:80|hostB:81", "hostC:82", "X-Custom: 1"};
  std::vector<NamedCommand> commands;
  auto add = [&commands](int32_t nCmd, HeaderForm form, CommandBytes bytes) {
    commands.push_back({std::to_string(nCmd) + "-" + FormName(form), nCmd, form, std::move(bytes)});
  };
  for (HeaderForm form : {HeaderForm::Long, HeaderForm::Short, HeaderForm::Escape}) {
    add(CommandNumber::kLoadFile, form, Cmd::loadFile("http://media.example.com/live.asf", form));
    add(CommandNumber::kPlugProxy, form, Cmd::plugProxy(plug, form));
    add(CommandNumber::kSocks5Proxy, form, Cmd::socks(socks5, form));
    add(CommandNumber::kSourcePortRange, form, Cmd::sourcePortRange(form));
    add(CommandNumber::kSecureHeader, form, Cmd::secureHeader(2, 1, "secure-header-text", form));
  }
  for (HeaderForm form : {HeaderForm::Long, HeaderForm::Escape}) {
    add(CommandNumber::kVideoSocks5Proxy, form, Cmd::socks5Setting(socks5, form));
    add(CommandNumber::kAlarmInterval, form, Cmd::alarmInterval(30, form));
    add(CommandNumber::kSessionIDs, form, Cmd::sessionIds(1234, 5678, form));
    add(CommandNumber::kURLSetting, form, Cmd::url(0, 1, "http://media.example.com/live", form));
    add(CommandNumber::kPlugInType, form, Cmd::plugInType(2, form));
    add(CommandNumber::kProxyKey, form, Cmd::proxyKey(1, 0, "proxy-key", form));
    add(CommandNumber::kIsolated, form, Cmd::isolated(1, form));
  }
  return commands;
}
