// The settings the host terminal sends: each lands in every configuration (the host's own and each
// running proxy's), one field per hold of the configuration's lock, so a proxy reading on its own thread
// never sees a half-written field.
#include <algorithm>
#include <cinttypes>

#include "base/stream_vocabulary.h"
#include "config/url_parser.h"
#include "host_interfaces/host_interfaces.h"
#include "log/ctrl_log.h"
#include "log/failure_lines.h"
#include "log/log.h"
#include "video/video_host.h"

namespace {

const char* Text(const char* text) { return text != nullptr ? text : ""; }

// Secrets are named in the log but never written to it.
constexpr const char* kMasked = "****";
const char* Masked(const char* secret) { return secret != nullptr && *secret != '\0' ? kMasked : ""; }

const char* ConnectionTypeName(LONG type) {
  switch (type) {
    case kConnectionTypePlug: return "PLUG";
    case kConnectionTypeDirect: return "DIRECT";
    case kConnectionTypeMProxy: return "MPROXY";
    default: return "";
  }
}

struct ClientKey {
  LONG offset;
  LONG length;
};

// Where the key of each type sits in the host's client-keys block.
ClientKey ClientKeyFor(LONG keyType) {
  switch (keyType) {
    case 0: return {8, 20};
    case 1: return {36, 8};
    case 2: return {28, 16};
    default: return {0, 0};
  }
}

// A URL's proxy index names a running proxy or, before any runs, a configuration.
bool ProxyIndexInRange(LONG proxyIndex, size_t count) {
  if (proxyIndex >= 0 && static_cast<size_t>(proxyIndex) < count) return true;
  Log(1, kFailedURLProxyIndex, static_cast<int>(proxyIndex));
  return false;
}

void LogFinalDestination(CSrcConfig& config, LONG connIndex) {
  Log(1, "VideoHost::SetURL: Final dest=%s, Final port=%d", config.GetHost(connIndex).c_str(),
      static_cast<int>(config.GetPort(connIndex)));
}

}  // namespace

std::vector<CSrcConfig*> CQelVorlaProxyHost::EveryConfig() {
  std::vector<CSrcConfig*> configs;
  auto add = [&configs](CSrcConfig* config) {
    if (config != nullptr && std::find(configs.begin(), configs.end(), config) == configs.end())
      configs.push_back(config);
  };
  for (const std::unique_ptr<CSrcConfig>& config : m_configs) add(config.get());
  for (const CComRef<IQelVideoProxy>& proxy : m_proxies)
    if (proxy) add(proxy->GetConfig());
  return configs;
}

HRESULT CQelVorlaProxyHost::SetURL(LONG proxyIndex, LONG connIndex, const char* url, LONG type) {
  Log(1, "VideoHost::SetURL: ProxyIndex=%d, ConnIndex=%d, Type=%s, URL=%s", static_cast<int>(proxyIndex),
      static_cast<int>(connIndex), ConnectionTypeName(type), Text(url));
  if (url == nullptr || *url == '\0') return E_INVALIDARG;
  if (CQELURLParser().IsFileURL(url) || type == 0) return 0;
  if (!m_proxies.empty()) {
    if (!ProxyIndexInRange(proxyIndex, m_proxies.size())) return 1;
    IQelVideoProxy* proxy = m_proxies[static_cast<size_t>(proxyIndex)].Get();
    if (proxy == nullptr) {
      Log(1, kFailedURLProxyObject);
      return 1;
    }
    if (FAILED(proxy->SetConnectionURL(connIndex, url, type))) {
      Log(1, kFailedSetConnectionURL);
      return 1;
    }
    if (CSrcConfig* config = proxy->GetConfig()) LogFinalDestination(*config, connIndex);
  } else {
    if (m_configs.empty()) {
      StartPlay();
      return 0;
    }
    if (!ProxyIndexInRange(proxyIndex, m_configs.size())) return 1;
    CSrcConfig* config = m_configs[static_cast<size_t>(proxyIndex)].get();
    if (config == nullptr) {
      Log(1, kFailedURLConfigObject);
      return 1;
    }
    config->AddConnection(connIndex, url, type);
    LogFinalDestination(*config, connIndex);
  }
  if (proxyIndex == 0 && connIndex == 0) StartPlay();
  return 0;
}

HRESULT CQelVorlaProxyHost::SetAASSessionIDs(int64_t id1, int64_t id2) {
  Log(1, "VideoHost::SetAASSessionIDs: ID1=%" PRId64 ", ID2=%" PRId64, id1, id2);
  if (m_bFirstSessionIDs)
    m_bFirstSessionIDs = 0;
  else
    SendHeartbeat(1);  // still reports the identifiers of the session that ends
  ForEveryConfig([&](CSrcConfig& config) {
    config.SetSessionIDs(static_cast<LONG>(static_cast<uint32_t>(id1)), static_cast<LONG>(static_cast<uint32_t>(id2)));
  });
  return 0;
}

HRESULT CQelVorlaProxyHost::SetProxyKey(LONG total, LONG index, const char* key) {
  Log(1, "VideoHost::SetProxyKey: Total=%d, Index=%d, Key=%s", static_cast<int>(total), static_cast<int>(index),
      Masked(key));
  ForEveryConfig([&](CSrcConfig& config) { config.AddHostKey(total, index, Text(key)); });
  return 0;
}

HRESULT CQelVorlaProxyHost::SetPlugInType(LONG type) {
  Log(1, "VideoHost::SetPlugInType: Type=%d", static_cast<int>(type));
  m_nPlugInType = type;
  return 0;
}

HRESULT CQelVorlaProxyHost::SetPlugInName(const char* names) {
  Log(1, "VideoHost::SetPlugInName: PlugIns=%s", Text(names));
  return 0;
}

HRESULT CQelVorlaProxyHost::SetSocks5Proxy(const char* host1, LONG port1, const char* host2, LONG port2,
                                           const char* userName, const char* password) {
  Log(1, "VideoHost::SetSocks5Proxy: Proxy1=%s:%d, Proxy2=%s:%d, Username=%s, Password=%s", Text(host1),
      static_cast<int>(port1), Text(host2), static_cast<int>(port2), Text(userName), Masked(password));
  const bool enabled = *Text(host1) != '\0';
  ForEveryConfig([&](CSrcConfig& config) {
    if (!enabled) {
      // Turned off only: the chain stays as it was for a later command that turns it on again.
      config.SetUseSocks5(false);
      return;
    }
    config.SetSocksHost(0, Text(host1));
    config.SetSocksPort(0, port1);
    config.SetSocksHost(1, Text(host2));
    config.SetSocksPort(1, port2);
    config.SetSocksUser(Text(userName));
    config.SetSocksPassword(Text(password));
    config.SetUseSocks5(true);
  });
  return 0;
}

HRESULT CQelVorlaProxyHost::SetPLUGProxy(const char* host1, LONG port1, const char* host2, LONG port2,
                                         const char* customHeader) {
  Log(1, "VideoHost::SetPLUGProxy: Proxy1=%s:%d, Proxy2=%s:%d, CustomHeader=%s", Text(host1),
      static_cast<int>(port1), Text(host2), static_cast<int>(port2), Text(customHeader));
  ForEveryConfig([&](CSrcConfig& config) {
    config.SetPlugHost(0, Text(host1));
    config.SetPlugPort(0, port1);
    config.SetPlugHost(1, Text(host2));
    config.SetPlugPort(1, port2);
    config.SetPlugHeader(Text(customHeader));
  });
  return 0;
}

HRESULT CQelVorlaProxyHost::SetSecureHeader(const char* header, LONG version, LONG keyType) {
  Log(1, "VideoHost::SetSecureHeader: Version=%d, KeyType=%d, Header=%s", static_cast<int>(version),
      static_cast<int>(keyType), Text(header));
  BYTE keys[kClientKeysSize] = {};
  if (!m_callback.SendOpCode(CCB_GetClientKeys, "CCB_GetClientKeys", keys, kClientKeysSize, nullptr)) {
    Log(1, kFailedClientKey);
    return 1;
  }
  const ClientKey key = ClientKeyFor(keyType);
  Log(1, "VideoHost::SetSecureHeader: Successfully retrieved key from CBB. Key size=%d, %s",
      static_cast<int>(key.length), "");
  if (ProcessLog().Level() >= 2) Log(2, "%s", key.length > 0 ? kMasked : "");
  ForEveryConfig([&](CSrcConfig& config) {
    config.SetSecureHeaderVersion(version);
    config.SetSecureHeaderText(Text(header));
    config.SetClientKey(keys + key.offset, key.length);
  });
  return 0;
}

HRESULT CQelVorlaProxyHost::SetHeartbeatAlarmInterval(LONG seconds) {
  Log(1, "VideoHost::SetHeartbeatAlarmInterval: Interval=%d", static_cast<int>(seconds));
  m_nAlarmInterval = seconds;
  m_owner.StartTimer(seconds);
  return 0;
}

HRESULT CQelVorlaProxyHost::SetIsolatedFlag(LONG flag) {
  Log(1, "VideoHost::SetIsolatedFlag: Flag=%d", static_cast<int>(flag));
  m_bIsolated = flag != 0 ? 1 : 0;
  return 0;
}
