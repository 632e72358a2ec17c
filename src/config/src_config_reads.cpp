// The configuration's whole readings: each taken under the configuration's own lock.
#include "base/locks.h"
#include "config/src_config.h"

SrcStatusReading CSrcConfig::ReadStatus() {
  CAutoLock hold(&m_cs);
  return SrcStatusReading{m_nCurConn, m_nSessionID1, m_nSessionID2};
}

SrcRouteReading CSrcConfig::ReadRoute() {
  CAutoLock hold(&m_cs);
  SrcRouteReading route;
  for (const CSrcConnection* connection : m_connections) {
    if (connection == nullptr) continue;
    route.sources.push_back(SrcRouteSource{std::string(connection->m_strURL), std::string(connection->m_strHost),
                                           connection->m_nPort, connection->m_nType});
  }
  route.currentConnection = m_nCurConn;
  route.useSocks5 = m_bUseSocks5;
  for (int i = 0; i < 2; ++i) {
    route.socks[i] = SrcRouteHop{std::string(m_strSocksHost[i]), m_nSocksPort[i]};
    route.plug[i] = SrcRouteHop{std::string(m_strPlugHost[i]), m_nPlugPort[i]};
  }
  route.socksUser = m_strSocksUser;
  route.socksPassword = m_strSocksPassword;
  route.plugHeader = m_strPlugHeader;
  return route;
}
