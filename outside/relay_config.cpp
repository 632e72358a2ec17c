#include "relay_config.h"

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
  for (int i = 0; i < 2; ++i) {
    to.m_strSocksHost[i].Assign(from.m_strSocksHost[i]);
    to.m_nSocksPort[i] = from.m_nSocksPort[i];
  }
  to.m_strSocksUser.Assign(from.m_strSocksUser);
  to.m_strSocksPassword.Assign(from.m_strSocksPassword);
  to.m_bUseSocks5 = from.m_bUseSocks5;
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
