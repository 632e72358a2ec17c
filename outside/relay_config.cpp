#include "relay_config.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <memory>

#include "base/locks.h"

namespace {

CSrcConnection* CopyOf(const CSrcConnection& source) {
  auto copy = std::make_unique<CSrcConnection>();
  copy->m_strURL.Assign(source.m_strURL);
  copy->m_strHost.Assign(source.m_strHost);
  copy->m_nPort = source.m_nPort;
  copy->m_nType = source.m_nType;
  copy->m_nPluginField1 = source.m_nPluginField1;
  copy->m_nPluginField2 = source.m_nPluginField2;
  copy->m_nPluginField3 = source.m_nPluginField3;
  copy->m_bOtherScheme = source.m_bOtherScheme;
  copy->m_bNsc = source.m_bNsc;
  return copy.release();
}

// Keys are texts with a NUL after them; the list keeps its total, so a later key still finds its slot.
void CopyKeys(CSrcConfig& from, CSrcConfig& to) {
  to.ClearKeys();
  if (from.m_ppKeys == nullptr || !to.StartKeyList(from.m_nKeyTotal)) return;
  for (LONG i = 0; i < from.m_nKeyCount; ++i) {
    const char* key = from.m_ppKeys[i];
    const size_t length = key != nullptr ? std::strlen(key) : 0;
    to.AddKey(static_cast<short>(length), reinterpret_cast<const BYTE*>(key));
  }
}

bool IsHttpSource(const CSrcConnection& connection) {
  const std::string_view url = connection.m_strURL;
  return connection.m_nType == RelayRoute::kTypeHttp ||
         (url.size() > 7 && std::equal(url.begin(), url.begin() + 7, "http://", [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == b;
          }));
}

void AddHop(std::vector<RelayHop>& hops, const CBoundaryString& host, LONG port) {
  if (!host.empty()) hops.push_back(RelayHop{std::string(host), port});
}

}  // namespace

void CopyRelayConfig(CSrcConfig& from, CSrcConfig& to) {
  CAutoLock holdFrom(&from.m_cs);
  CAutoLock holdTo(&to.m_cs);
  to.ClearConnections();
  for (const CSrcConnection* connection : from.m_connections) {
    if (connection == nullptr) continue;
    CSrcConnection* copy = CopyOf(*connection);
    if (!to.m_connections.push_back(copy)) delete copy;  // a failed append must not leak the copy
  }
  to.m_nCurConn = from.m_nCurConn;
  for (LONG i = 0; i < 2; ++i) {
    to.SetSocksHost(i, from.m_strSocksHost[i]);
    to.m_nSocksPort[i] = from.m_nSocksPort[i];
    to.SetPlugHost(i, from.m_strPlugHost[i]);
    to.m_nPlugPort[i] = from.m_nPlugPort[i];
  }
  to.SetSocksUser(from.m_strSocksUser);
  to.SetSocksPassword(from.m_strSocksPassword);
  to.m_bUseSocks5 = from.m_bUseSocks5;
  to.SetPlugHeader(from.m_strPlugHeader);
  to.SetSecureHeaderText(from.m_strSecureHeader);
  to.m_nSecureHeaderVersion = from.m_nSecureHeaderVersion;
  std::copy(std::begin(from.m_clientKey), std::end(from.m_clientKey), std::begin(to.m_clientKey));
  to.m_nClientKeyLen = from.m_nClientKeyLen;
  CopyKeys(from, to);
  to.m_nSessionID1 = from.m_nSessionID1;
  to.m_nSessionID2 = from.m_nSessionID2;
}

bool SetRelayConnection(CSrcConfig& config, LONG index, const std::string& url, LONG type,
                        const StreamAddress& address) {
  CAutoLock hold(&config.m_cs);
  if (index == 0) config.ClearConnections();
  if (index < 0 || static_cast<size_t>(index) != config.m_connections.size()) return false;
  auto connection = std::make_unique<CSrcConnection>();
  if (!connection->m_strURL.Assign(url) || !connection->m_strHost.Assign(address.host)) return false;
  connection->m_nPort = address.port;
  connection->m_nType = type;
  if (!config.m_connections.push_back(connection.get())) return false;
  connection.release();
  if (index == 0) config.m_nCurConn = 0;
  return true;
}

RelayRoute ReadRelayRoute(CSrcConfig& config) {
  CAutoLock hold(&config.m_cs);
  RelayRoute route;
  for (const CSrcConnection* connection : config.m_connections) {
    if (connection == nullptr) continue;
    route.sources.push_back(RelaySource{{std::string(connection->m_strHost), connection->m_nPort},
                                        connection->m_nType, IsHttpSource(*connection)});
  }
  const LONG current = config.m_nCurConn;
  route.current = current > 0 && static_cast<size_t>(current) < route.sources.size() ? static_cast<size_t>(current) : 0;
  route.socks5 = config.m_bUseSocks5;
  for (int i = 0; i < 2; ++i) {
    AddHop(route.socksHops, config.m_strSocksHost[i], config.m_nSocksPort[i]);
    AddHop(route.plugHops, config.m_strPlugHost[i], config.m_nPlugPort[i]);
  }
  route.userName = config.m_strSocksUser;
  route.password = config.m_strSocksPassword;
  route.plugHeader = config.m_strPlugHeader;
  return route;
}
