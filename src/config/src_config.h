// Everything one local proxy needs to reach the streaming server. The proxy plug-in works on the same
// structure at fixed offsets, so the field order and types stay as they are, including the fields only the
// plug-in gives meaning to.
//
// Across the boundary: this library adds no connection to a configuration a plug-in made and destroys
// none of its connections, and neither side ever deletes the other's configuration or connections (their
// destructors share no calling scheme). The key texts, the key array, the connection array's storage and
// the plug-in's buffer come from the C runtime's malloc and go back with free, whichever side made them;
// each string goes back to the manager named in its own header.
#pragma once

#include <string>
#include <string_view>

#include "base/platform.h"
#include "base/stream_vocabulary.h"
#include "config/boundary_string.h"
#include "config/boundary_vector.h"
#include "config/src_config_reads.h"
#include "config/src_connection.h"

class CSrcConfig {
 public:
  static constexpr LONG kClientKeySize = 20;

  CSrcConfig();
  virtual ~CSrcConfig();
  // Owns connections and key texts through plain pointers: a copy would free them twice.
  CSrcConfig(const CSrcConfig&) = delete;
  CSrcConfig& operator=(const CSrcConfig&) = delete;

  void Reset();
  // Index 0 starts a new list; the index equal to the list's size appends; any other index is dropped.
  // An unparsable URL changes nothing. True when a connection was appended.
  bool AddConnection(LONG nConnIndex, const char* pszURL, LONG nType);
  // The same rule for a connection the caller parsed by its own address rule.
  bool AddConnection(LONG nConnIndex, const SrcConnectionFields& fields);
  std::string GetHost(LONG nConnIndex);
  LONG GetPort(LONG nConnIndex);
  bool IsMProxy(LONG nConnIndex);

  void SetPlugHost(LONG nIndex, std::string_view text);
  void SetPlugPort(LONG nIndex, LONG nPort);
  void SetSocksHost(LONG nIndex, std::string_view text);
  void SetSocksPort(LONG nIndex, LONG nPort);
  void SetSocksUser(std::string_view text);
  void SetSocksPassword(std::string_view text);
  void SetUseSocks5(bool bUse);
  void SetSecureHeaderText(std::string_view text);
  void SetSecureHeaderVersion(LONG nVersion);
  // Stores at most kClientKeySize bytes; the length and the bytes under one hold.
  void SetClientKey(const BYTE* pBytes, LONG nLength);
  void SetPlugHeader(std::string_view text);
  void SetSessionIDs(LONG nID1, LONG nID2);

  // The key list. Frees the old list and makes nTotal empty slots (a negative total counts as 0, which
  // refuses every key).
  bool StartKeyList(LONG nTotal);
  // Appends a copy of the bytes with a NUL after them; false when the list is full or missing, the length
  // is negative or the copy cannot be made.
  bool AddKey(short nLength, const BYTE* pBytes);
  void ClearKeys();
  // Key nIndex of nTotal as the host sends them, the whole change under one hold: index 0 starts the list,
  // a key with no list before it starts a list of one, a key longer than a short is refused.
  void AddHostKey(LONG nTotal, LONG nIndex, std::string_view key);

  SrcStatusReading ReadStatus();
  SrcRouteReading ReadRoute();
  // Every field a proxy or the heartbeat reads back (connections, both proxy chains with the SOCKS5 login
  // and the PLUG header, keys, secure header, client key, session identifiers), both locks held.
  void CopySettingsFrom(CSrcConfig& from);

 private:
  // The layout's checks; and the tests' window on the fields, which stand in for a plug-in writing its
  // own configuration (tests/support/src_config_probe.h). Nothing else reaches a field.
  friend struct SrcConfigLayout;
  friend struct SrcConfigProbe;

  CBoundaryVector<CSrcConnection*> m_connections;
  LONG m_nCurConn;
  CBoundaryString m_strPlugHost[2];
  LONG m_nPlugPort[2];
  LONG m_nPluginPorts1[2];
  CBoundaryString m_strSocksHost[2];
  LONG m_nSocksPort[2];
  LONG m_nPluginPorts2[2];
  CBoundaryString m_strSocksUser;
  CBoundaryString m_strSocksPassword;
  bool m_bUseSocks5;
  CBoundaryString m_strSecureHeader;
  CBoundaryString m_strPlugHeader;
  BYTE m_clientKey[kClientKeySize];
  LONG m_nClientKeyLen;
  LONG m_nSecureHeaderVersion;
  short m_nPluginShorts1[2];
  LONG m_nSessionID1;
  LONG m_nSessionID2;
  BYTE* m_pPluginBuffer;  // from malloc
  DWORD m_nPluginBufferSize;
  CBoundaryString m_strPluginText1;
  bool m_bPluginFlag1;
  CBoundaryString m_strPluginText2;
  short m_nPluginShorts2[2];
  DWORD m_nPluginValue;  // Reset leaves it
  bool m_bPluginFlag2;
  CRITICAL_SECTION m_cs;
  LONG m_nKeyTotal;
  char** m_ppKeys;  // the array and each text from malloc
  LONG m_nKeyCount;

  CSrcConnection* ConnectionAt(LONG nConnIndex) const;
  void ClearConnections();  // the caller holds m_cs
  // One field (or one field's bytes and length) per hold of m_cs.
  template <typename Write>
  void WriteLocked(Write write);
  void CopyKeysFrom(const CSrcConfig& from);
};
