// A proxy's own configuration made from the host's: every field either reads back, taken under both locks.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>

#include "base/locks.h"
#include "config/src_config.h"

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

// Keys are texts with a NUL after them; the list keeps its total, so a later key still finds its slot.
void CSrcConfig::CopyKeysFrom(const CSrcConfig& from) {
  ClearKeys();
  if (from.m_ppKeys == nullptr || !StartKeyList(from.m_nKeyTotal)) return;
  for (LONG i = 0; i < from.m_nKeyCount; ++i) {
    const char* key = from.m_ppKeys[i];
    const size_t length = key != nullptr ? std::strlen(key) : 0;
    AddKey(static_cast<short>(length), reinterpret_cast<const BYTE*>(key));
  }
}

void CSrcConfig::CopySettingsFrom(CSrcConfig& from) {
  CAutoLock holdFrom(&from.m_cs);
  CAutoLock holdTo(&m_cs);
  ClearConnections();
  for (const CSrcConnection* connection : from.m_connections) {
    if (connection == nullptr) continue;
    CSrcConnection* copy = CopyOf(*connection);
    if (!m_connections.push_back(copy)) delete copy;  // a failed append must not leak the copy
  }
  m_nCurConn = from.m_nCurConn;
  for (LONG i = 0; i < 2; ++i) {
    m_strSocksHost[i].Assign(from.m_strSocksHost[i]);
    m_nSocksPort[i] = from.m_nSocksPort[i];
    m_strPlugHost[i].Assign(from.m_strPlugHost[i]);
    m_nPlugPort[i] = from.m_nPlugPort[i];
  }
  m_strSocksUser.Assign(from.m_strSocksUser);
  m_strSocksPassword.Assign(from.m_strSocksPassword);
  m_bUseSocks5 = from.m_bUseSocks5;
  m_strPlugHeader.Assign(from.m_strPlugHeader);
  m_strSecureHeader.Assign(from.m_strSecureHeader);
  m_nSecureHeaderVersion = from.m_nSecureHeaderVersion;
  std::copy(std::begin(from.m_clientKey), std::end(from.m_clientKey), std::begin(m_clientKey));
  m_nClientKeyLen = from.m_nClientKeyLen;
  CopyKeysFrom(from);
  m_nSessionID1 = from.m_nSessionID1;
  m_nSessionID2 = from.m_nSessionID2;
}
