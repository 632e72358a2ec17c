// One command buffer from the host terminal: parsed, named in the log, applied through the video host's
// settings operations, and closed with one line that tells how it went. Nothing is allocated: every text
// lands in a fixed buffer on the stack.
#include <optional>

#include "log/failure_lines.h"
#include "log/log.h"
#include "video/command_names.h"
#include "video/command_payloads.h"
#include "video/video_host.h"

namespace {

constexpr LONG kNotApplied = 0;

int64_t Widen(int32_t value) { return static_cast<int64_t>(static_cast<uint32_t>(value)); }

LONG ApplySocks5(CQelVorlaProxyHost& host, const VideoCommand& command) {
  ShortText host1 = {}, host2 = {}, user = {}, password = {};
  int32_t port1 = 0, port2 = 0;
  // An unreadable list clears SOCKS5 rather than leaving a chain the host no longer means.
  if (!ParseSocks5ProxyList(command, host1, port1, host2, port2, user, password))
    return host.SetSocks5Proxy("", 0, "", 0, "", "");
  return host.SetSocks5Proxy(host1, port1, host2, port2, user, password);
}

// The status of a handled command, kNotApplied when its payload does not parse, nothing for a command
// the system does not act on.
std::optional<LONG> Apply(CQelVorlaProxyHost& host, const VideoCommand& command) {
  switch (command.nCmd) {
    case CommandNumber::kLoadFile: {
      LongText text = {};
      return ParseLoadFile(command, text) ? host.SetURL(0, 0, text, kConnectionTypePlug) : kNotApplied;
    }
    case CommandNumber::kPlugProxy: {
      ShortText host1 = {}, host2 = {}, header = {};
      int32_t port1 = 0, port2 = 0;
      return ParsePlugProxyList(command, host1, port1, host2, port2, header)
                 ? host.SetPLUGProxy(host1, port1, host2, port2, header)
                 : kNotApplied;
    }
    case CommandNumber::kSocks5Proxy:
    case CommandNumber::kVideoSocks5Proxy:
      return ApplySocks5(host, command);
    case CommandNumber::kSecureHeader: {
      ShortText header = {};
      int32_t version = 0, keyType = 0;
      return ParseSecureHeader(command, version, keyType, header) ? host.SetSecureHeader(header, version, keyType)
                                                                  : kNotApplied;
    }
    case CommandNumber::kAlarmInterval: {
      int32_t seconds = 0;
      return ParseOneValue(command, seconds) ? host.SetHeartbeatAlarmInterval(seconds) : kNotApplied;
    }
    case CommandNumber::kSessionIDs: {
      int32_t first = 0, second = 0;
      return ParseTwoValues(command, first, second) ? host.SetAASSessionIDs(Widen(first), Widen(second))
                                                    : kNotApplied;
    }
    case CommandNumber::kURLSetting: {
      LongText url = {};
      int32_t type = 0, connIndex = 0;
      return ParseURLSetting(command, type, connIndex, url) ? host.SetURL(0, connIndex, url, type) : kNotApplied;
    }
    case CommandNumber::kPlugInType: {
      int32_t type = 0;
      return command.nCount == 1 && ParseBareValue(command, type) ? host.SetPlugInType(type) : kNotApplied;
    }
    case CommandNumber::kProxyKey: {
      LongText key = {};
      int32_t total = 0, index = 0;
      return ParseProxyKey(command, total, index, key) ? host.SetProxyKey(total, index, key) : kNotApplied;
    }
    case CommandNumber::kIsolated: {
      int32_t flag = 0;
      return ParseOneValue(command, flag) ? host.SetIsolatedFlag(flag) : kNotApplied;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace

LONG CQelVorlaProxyHost::OnProcessQelVideoCmd(const BYTE* buffer, LONG size) {
  VideoCommand command{};
  if (!ParseCommandHeader(buffer, size, command)) {
    Log(1, kFailedCommandParse);
    return 1;
  }
  const char* name = CommandName(command.nCmd);
  Log(3, "VideoHost::OnProcessQelVideoCmd: Cmd=%d [%s], Data size=%d", command.nCmd, name, command.nDataSize);
  if (command.nCmd == CommandNumber::kSourcePortRange) {
    Log(3, "VideoHost::OnProcessQelVideoCmd: Cmd=%d, Unprocessed command", command.nCmd);
    return 0;
  }
  const std::optional<LONG> applied = Apply(*this, command);
  if (!applied) {
    Log(3, "VideoHost::OnProcessQelVideoCmd: Cmd=%d, Unrecognized command", command.nCmd);
    return 0;
  }
  const LONG status = *applied;
  if (status >= 0)
    Log(3, "VideoHost::OnProcessQelVideoCmd: Cmd=%d [%s], %s", command.nCmd, name, "Processed successfully");
  else
    Log(1, kFailedCommand, command.nCmd, name);
  return status;
}
