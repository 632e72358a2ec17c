#include "config/src_config.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "base/locks.h"
#include "config/url_parser.h"

namespace {

constexpr LONG kDefaultSecureHeaderVersion = 3;

bool IsProxyPairIndex(LONG nIndex) { return nIndex == 0 || nIndex == 1; }

bool FillConnection(CSrcConnection& connection, const CQELURLParser& parser, const char* pszURL, LONG nType) {
  if (!connection.m_strURL.Assign(pszURL) || !connection.m_strHost.Assign(parser.GetHost())) return false;
  connection.m_nPort = parser.GetPort();
  connection.m_nType = nType;
  connection.m_bNsc = CQELURLParser::HasNscMark(pszURL);
  connection.m_bOtherScheme = parser.IsOtherScheme();
  return true;
}

}  // namespace

CSrcConfig::CSrcConfig()
    : m_clientKey(),
      m_pPluginBuffer(nullptr),
      m_nPluginValue(0),
      m_nKeyTotal(0),
      m_ppKeys(nullptr),
      m_nKeyCount(0) {
  InitializeCriticalSection(&m_cs);
  Reset();
}

CSrcConfig::~CSrcConfig() {
  Reset();
  DeleteCriticalSection(&m_cs);
}

void CSrcConfig::Reset() {
  CAutoLock lock(&m_cs);
  ClearConnections();
  for (CBoundaryString& host : m_strPlugHost) host.Empty();
  m_nPlugPort[0] = m_nPlugPort[1] = -1;
  m_nPluginPorts1[0] = m_nPluginPorts1[1] = -1;
  for (CBoundaryString& host : m_strSocksHost) host.Empty();
  m_nSocksPort[0] = m_nSocksPort[1] = -1;
  m_nPluginPorts2[0] = m_nPluginPorts2[1] = -1;
  m_strSocksUser.Empty();
  m_strSocksPassword.Empty();
  m_bUseSocks5 = false;
  m_strSecureHeader.Empty();
  m_strPlugHeader.Empty();
  std::memset(m_clientKey, 0, sizeof m_clientKey);
  m_nClientKeyLen = 0;
  m_nSecureHeaderVersion = kDefaultSecureHeaderVersion;
  m_nPluginShorts1[0] = m_nPluginShorts1[1] = -1;
  m_nSessionID1 = -1;
  m_nSessionID2 = -1;
  std::free(m_pPluginBuffer);
  m_pPluginBuffer = nullptr;
  m_nPluginBufferSize = 0;
  m_strPluginText1.Empty();
  m_bPluginFlag1 = false;
  m_strPluginText2.Empty();
  m_nPluginShorts2[0] = m_nPluginShorts2[1] = 0;
  m_bPluginFlag2 = false;
  ClearKeys();
}

void CSrcConfig::ClearConnections() {
  for (CSrcConnection* connection : m_connections) delete connection;
  m_connections.clear();
  m_nCurConn = -1;
}

bool CSrcConfig::AddConnection(LONG nConnIndex, const char* pszURL, LONG nType) {
  CQELURLParser parser;
  if (!parser.Parse(pszURL)) return false;

  CAutoLock lock(&m_cs);
  if (nConnIndex == 0) ClearConnections();
  bool bAdded = false;
  if (nConnIndex >= 0 && static_cast<size_t>(nConnIndex) == m_connections.size()) {
    // When the connection cannot be made whole, nothing is appended; the list stays as it was.
    std::unique_ptr<CSrcConnection> connection(new (std::nothrow) CSrcConnection);
    if (connection != nullptr && FillConnection(*connection, parser, pszURL, nType) &&
        m_connections.push_back(connection.get())) {
      connection.release();
      bAdded = true;
    }
  }
  if (nConnIndex == 0) m_nCurConn = 0;
  return bAdded;
}

CSrcConnection* CSrcConfig::ConnectionAt(LONG nConnIndex) const {
  if (nConnIndex < 0 || static_cast<size_t>(nConnIndex) >= m_connections.size()) return nullptr;
  return m_connections[static_cast<size_t>(nConnIndex)];
}

std::string CSrcConfig::GetHost(LONG nConnIndex) {
  CAutoLock lock(&m_cs);
  const CSrcConnection* connection = ConnectionAt(nConnIndex);
  return connection != nullptr ? std::string(connection->m_strHost) : std::string();
}

LONG CSrcConfig::GetPort(LONG nConnIndex) {
  CAutoLock lock(&m_cs);
  const CSrcConnection* connection = ConnectionAt(nConnIndex);
  return connection != nullptr ? connection->m_nPort : -1;
}

bool CSrcConfig::IsMProxy(LONG nConnIndex) {
  CAutoLock lock(&m_cs);
  const CSrcConnection* connection = ConnectionAt(nConnIndex);
  return connection != nullptr && connection->m_nType == kConnectionTypeMProxy;
}

void CSrcConfig::SetPlugHost(LONG nIndex, std::string_view text) {
  CAutoLock lock(&m_cs);
  if (IsProxyPairIndex(nIndex)) m_strPlugHost[nIndex].Assign(text);
}

void CSrcConfig::SetSocksHost(LONG nIndex, std::string_view text) {
  CAutoLock lock(&m_cs);
  if (IsProxyPairIndex(nIndex)) m_strSocksHost[nIndex].Assign(text);
}

void CSrcConfig::SetSocksUser(std::string_view text) {
  CAutoLock lock(&m_cs);
  m_strSocksUser.Assign(text);
}

void CSrcConfig::SetSocksPassword(std::string_view text) {
  CAutoLock lock(&m_cs);
  m_strSocksPassword.Assign(text);
}

void CSrcConfig::SetSecureHeaderText(std::string_view text) {
  CAutoLock lock(&m_cs);
  m_strSecureHeader.Assign(text);
}

void CSrcConfig::SetPlugHeader(std::string_view text) {
  CAutoLock lock(&m_cs);
  m_strPlugHeader.Assign(text);
}

bool CSrcConfig::StartKeyList(LONG nTotal) {
  ClearKeys();
  const LONG total = nTotal < 0 ? 0 : nTotal;
  // Even an empty list gets an array, so a later key cannot start a list of its own.
  m_ppKeys = static_cast<char**>(std::calloc(total > 0 ? static_cast<size_t>(total) : 1, sizeof(char*)));
  if (m_ppKeys == nullptr) return false;
  m_nKeyTotal = total;
  return true;
}

bool CSrcConfig::AddKey(short nLength, const BYTE* pBytes) {
  if (m_ppKeys == nullptr || m_nKeyCount < 0 || m_nKeyCount >= m_nKeyTotal) return false;
  if (nLength < 0 || (nLength > 0 && pBytes == nullptr)) return false;
  char* key = static_cast<char*>(std::malloc(static_cast<size_t>(nLength) + 1));
  if (key == nullptr) return false;
  if (nLength > 0) std::memcpy(key, pBytes, static_cast<size_t>(nLength));
  key[nLength] = '\0';
  m_ppKeys[m_nKeyCount++] = key;
  return true;
}

void CSrcConfig::ClearKeys() {
  if (m_ppKeys != nullptr) {
    for (LONG i = 0; i < m_nKeyCount; ++i) std::free(m_ppKeys[i]);
    std::free(m_ppKeys);
  }
  m_ppKeys = nullptr;
  m_nKeyTotal = 0;
  m_nKeyCount = 0;
}
