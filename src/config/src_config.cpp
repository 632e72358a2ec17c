#include "config/src_config.h"

#include <cstring>
#include <memory>
#include <new>

#include "base/locks.h"
#include "config/url_parser.h"

namespace {

constexpr LONG kDefaultSecureHeaderVersion = 3;

bool IsProxyPairIndex(LONG nIndex) { return nIndex == 0 || nIndex == 1; }

void FillConnection(CSrcConnection& connection, const CQELURLParser& parser, const char* pszURL, LONG nType) {
  connection.m_strURL = pszURL;
  connection.m_strHost = parser.GetHost();
  connection.m_nPort = parser.GetPort();
  connection.m_nType = nType;
  connection.m_bNsc = CQELURLParser::HasNscMark(pszURL);
  connection.m_bOtherScheme = parser.IsOtherScheme();
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
  for (std::string& host : m_strPlugHost) host.clear();
  m_nPlugPort[0] = m_nPlugPort[1] = -1;
  m_nPluginPorts1[0] = m_nPluginPorts1[1] = -1;
  for (std::string& host : m_strSocksHost) host.clear();
  m_nSocksPort[0] = m_nSocksPort[1] = -1;
  m_nPluginPorts2[0] = m_nPluginPorts2[1] = -1;
  m_strSocksUser.clear();
  m_strSocksPassword.clear();
  m_bUseSocks5 = false;
  m_strSecureHeader.clear();
  m_strPlugHeader.clear();
  std::memset(m_clientKey, 0, sizeof m_clientKey);
  m_nClientKeyLen = 0;
  m_nSecureHeaderVersion = kDefaultSecureHeaderVersion;
  m_nPluginShorts1[0] = m_nPluginShorts1[1] = -1;
  m_nSessionID1 = -1;
  m_nSessionID2 = -1;
  delete[] m_pPluginBuffer;
  m_pPluginBuffer = nullptr;
  m_nPluginBufferSize = 0;
  m_strPluginText1.clear();
  m_bPluginFlag1 = false;
  m_strPluginText2.clear();
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
    try {
      auto connection = std::make_unique<CSrcConnection>();
      FillConnection(*connection, parser, pszURL, nType);
      m_connections.push_back(connection.get());
      connection.release();
      bAdded = true;
    } catch (const std::bad_alloc&) {
      // Nothing was appended; the list stays as it was.
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
  return connection != nullptr ? connection->m_strHost : std::string();
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

void CSrcConfig::SetPlugHost(LONG nIndex, const std::string& text) {
  CAutoLock lock(&m_cs);
  if (IsProxyPairIndex(nIndex)) m_strPlugHost[nIndex] = text;
}

void CSrcConfig::SetSocksHost(LONG nIndex, const std::string& text) {
  CAutoLock lock(&m_cs);
  if (IsProxyPairIndex(nIndex)) m_strSocksHost[nIndex] = text;
}

void CSrcConfig::SetSocksUser(const std::string& text) {
  CAutoLock lock(&m_cs);
  m_strSocksUser = text;
}

void CSrcConfig::SetSocksPassword(const std::string& text) {
  CAutoLock lock(&m_cs);
  m_strSocksPassword = text;
}

void CSrcConfig::SetSecureHeaderText(const std::string& text) {
  CAutoLock lock(&m_cs);
  m_strSecureHeader = text;
}

void CSrcConfig::SetPlugHeader(const std::string& text) {
  CAutoLock lock(&m_cs);
  m_strPlugHeader = text;
}

bool CSrcConfig::StartKeyList(LONG nTotal) {
  ClearKeys();
  const LONG total = nTotal < 0 ? 0 : nTotal;
  // Even an empty list gets an array, so a later key cannot start a list of its own.
  m_ppKeys = new (std::nothrow) char*[static_cast<size_t>(total)]();
  if (m_ppKeys == nullptr) return false;
  m_nKeyTotal = total;
  return true;
}

bool CSrcConfig::AddKey(short nLength, const BYTE* pBytes) {
  if (m_ppKeys == nullptr || m_nKeyCount < 0 || m_nKeyCount >= m_nKeyTotal) return false;
  if (nLength < 0 || (nLength > 0 && pBytes == nullptr)) return false;
  char* key = new (std::nothrow) char[static_cast<size_t>(nLength) + 1];
  if (key == nullptr) return false;
  if (nLength > 0) std::memcpy(key, pBytes, static_cast<size_t>(nLength));
  key[nLength] = '\0';
  m_ppKeys[m_nKeyCount++] = key;
  return true;
}

void CSrcConfig::ClearKeys() {
  if (m_ppKeys != nullptr) {
    for (LONG i = 0; i < m_nKeyCount; ++i) delete[] m_ppKeys[i];
    delete[] m_ppKeys;
  }
  m_ppKeys = nullptr;
  m_nKeyTotal = 0;
  m_nKeyCount = 0;
}
