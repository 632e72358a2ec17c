// Everything one local proxy needs to reach the streaming server. The proxy plug-in works on the same
// structure through this header, so the field order stays as it is, including the fields only the plug-in
// gives meaning to.
#pragma once

#include <string>
#include <vector>

#include "base/platform.h"
#include "config/src_connection.h"

class CSrcConfig {
 public:
  static constexpr LONG kConnectionTypeMProxy = 3;
  static constexpr LONG kClientKeySize = 20;

  CSrcConfig();
  virtual ~CSrcConfig();
  // Owns connections and key texts through plain pointers: a copy would free them twice.
  CSrcConfig(const CSrcConfig&) = delete;
  CSrcConfig& operator=(const CSrcConfig&) = delete;

  void Reset();
  // The caller holds m_cs.
  void ClearConnections();
  // Index 0 starts a new list; the index equal to the list's size appends; any other index is dropped.
  // An unparsable URL changes nothing. True when a connection was appended.
  bool AddConnection(LONG nConnIndex, const char* pszURL, LONG nType);
  std::string GetHost(LONG nConnIndex);
  LONG GetPort(LONG nConnIndex);
  bool IsMProxy(LONG nConnIndex);

  void SetPlugHost(LONG nIndex, const std::string& text);
  void SetSocksHost(LONG nIndex, const std::string& text);
  void SetSocksUser(const std::string& text);
  void SetSocksPassword(const std::string& text);
  void SetSecureHeaderText(const std::string& text);
  void SetPlugHeader(const std::string& text);

  // Key list. The caller holds m_cs for all three.
  // Frees the old list and makes nTotal empty slots (a negative total counts as 0, which refuses every key).
  bool StartKeyList(LONG nTotal);
  // Appends a copy of the bytes with a NUL after them; false when the list is full or missing, the length
  // is negative or the copy cannot be made.
  bool AddKey(short nLength, const BYTE* pBytes);
  void ClearKeys();

  std::vector<CSrcConnection*> m_connections;
  LONG m_nCurConn;
  std::string m_strPlugHost[2];
  LONG m_nPlugPort[2];
  LONG m_nPluginPorts1[2];
  std::string m_strSocksHost[2];
  LONG m_nSocksPort[2];
  LONG m_nPluginPorts2[2];
  std::string m_strSocksUser;
  std::string m_strSocksPassword;
  bool m_bUseSocks5;
  std::string m_strSecureHeader;
  std::string m_strPlugHeader;
  BYTE m_clientKey[kClientKeySize];
  LONG m_nClientKeyLen;
  LONG m_nSecureHeaderVersion;
  short m_nPluginShorts1[2];
  LONG m_nSessionID1;
  LONG m_nSessionID2;
  BYTE* m_pPluginBuffer;  // allocated with new[]
  DWORD m_nPluginBufferSize;
  std::string m_strPluginText1;
  bool m_bPluginFlag1;
  std::string m_strPluginText2;
  short m_nPluginShorts2[2];
  DWORD m_nPluginValue;  // Reset leaves it
  bool m_bPluginFlag2;
  CRITICAL_SECTION m_cs;
  LONG m_nKeyTotal;
  char** m_ppKeys;
  LONG m_nKeyCount;

 private:
  CSrcConnection* ConnectionAt(LONG nConnIndex) const;
};
