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

// A copy of the URL's own digits for the connection list; the URL itself stays as the host gave it.
SrcConnectionFields FieldsOf(const CQELURLParser& parser, const char* pszURL, LONG nType) {
  SrcConnectionFields fields;
  fields.url = pszURL;
  fields.host = parser.GetHost();
  fields.port = parser.GetPort();
  fields.type = nType;
  fields.otherScheme = parser.IsOtherScheme();
  fields.nsc = CQELURLParser::HasNscMark(pszURL);
  return fields;
}

bool FillConnection(CSrcConnection& connection, const SrcConnectionFields& fields) {
  if (!connection.m_strURL.Assign(fields.url) || !connection.m_strHost.Assign(fields.host)) return false;
  connection.m_nPort = fields.port;
  connection.m_nType = fields.type;
  connection.m_bNsc = fields.nsc;
  connection.m_bOtherScheme = fields.otherScheme;
  return true;
}

}  // namespace

template <typename Write>
void CSrcConfig::WriteLocked(Write write) {
  CAutoLock lock(&m_cs);
  write();
}

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
  return AddConnection(nConnIndex, FieldsOf(parser, pszURL, nType));
}

bool CSrcConfig::AddConnection(LONG nConnIndex, const SrcConnectionFields& fields) {
  CAutoLock lock(&m_cs);
  if (nConnIndex == 0) ClearConnections();
  bool bAdded = false;
  if (nConnIndex >= 0 && static_cast<size_t>(nConnIndex) == m_connections.size()) {
    // When the connection cannot be made whole, nothing is appended; the list stays as it was.
    std::unique_ptr<CSrcConnection> connection(new (std::nothrow) CSrcConnection);
    if (connection != nullptr && FillConnection(*connection, fields) && m_connections.push_back(connection.get())) {
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
  if (IsProxyPairIndex(nIndex)) WriteLocked([&] { m_strPlugHost[nIndex].Assign(text); });
}

void CSrcConfig::SetPlugPort(LONG nIndex, LONG nPort) {
  if (IsProxyPairIndex(nIndex)) WriteLocked([&] { m_nPlugPort[nIndex] = nPort; });
}

void CSrcConfig::SetSocksHost(LONG nIndex, std::string_view text) {
  if (IsProxyPairIndex(nIndex)) WriteLocked([&] { m_strSocksHost[nIndex].Assign(text); });
}

void CSrcConfig::SetSocksPort(LONG nIndex, LONG nPort) {
  if (IsProxyPairIndex(nIndex)) WriteLocked([&] { m_nSocksPort[nIndex] = nPort; });
}

void CSrcConfig::SetSocksUser(std::string_view text) {
  WriteLocked([&] { m_strSocksUser.Assign(text); });
}

void CSrcConfig::SetSocksPassword(std::string_view text) {
  WriteLocked([&] { m_strSocksPassword.Assign(text); });
}

void CSrcConfig::SetUseSocks5(bool bUse) {
  WriteLocked([&] { m_bUseSocks5 = bUse; });
}

void CSrcConfig::SetSecureHeaderText(std::string_view text) {
  WriteLocked([&] { m_strSecureHeader.Assign(text); });
}

void CSrcConfig::SetSecureHeaderVersion(LONG nVersion) {
  WriteLocked([&] { m_nSecureHeaderVersion = nVersion; });
}

void CSrcConfig::SetClientKey(const BYTE* pBytes, LONG nLength) {
  const LONG stored = nLength < kClientKeySize ? nLength : kClientKeySize;
  CAutoLock lock(&m_cs);
  m_nClientKeyLen = stored;
  if (stored > 0) std::memcpy(m_clientKey, pBytes, static_cast<size_t>(stored));
}

void CSrcConfig::SetSessionIDs(LONG nID1, LONG nID2) {
  WriteLocked([&] { m_nSessionID1 = nID1; });
  WriteLocked([&] { m_nSessionID2 = nID2; });
}

void CSrcConfig::SetPlugHeader(std::string_view text) {
  WriteLocked([&] { m_strPlugHeader.Assign(text); });
}

bool CSrcConfig::StartKeyList(LONG nTotal) {
  CAutoLock lock(&m_cs);
  ClearKeys();
  const LONG total = nTotal < 0 ? 0 : nTotal;
  // Even an empty list gets an array, so a later key cannot start a list of its own.
  m_ppKeys = static_cast<char**>(std::calloc(total > 0 ? static_cast<size_t>(total) : 1, sizeof(char*)));
  if (m_ppKeys == nullptr) return false;
  m_nKeyTotal = total;
  return true;
}

bool CSrcConfig::AddKey(short nLength, const BYTE* pBytes) {
  CAutoLock lock(&m_cs);
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
  CAutoLock lock(&m_cs);
  if (m_ppKeys != nullptr) {
    for (LONG i = 0; i < m_nKeyCount; ++i) std::free(m_ppKeys[i]);
    std::free(m_ppKeys);
  }
  m_ppKeys = nullptr;
  m_nKeyTotal = 0;
  m_nKeyCount = 0;
}

void CSrcConfig::AddHostKey(LONG nTotal, LONG nIndex, std::string_view key) {
  CAutoLock lock(&m_cs);
  if (nIndex == 0) StartKeyList(nTotal);
  if (m_ppKeys == nullptr) StartKeyList(1);
  AddKey(static_cast<short>(key.size() > 0x7FFF ? -1 : static_cast<long>(key.size())),
         reinterpret_cast<const BYTE*>(key.data()));
}
