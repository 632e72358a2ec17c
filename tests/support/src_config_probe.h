// The tests' window on a source configuration's fields, which the library keeps to itself: a test reads
// what the library wrote, and writes what a plug-in would write into its own configuration.
#pragma once

#include "config/src_config.h"

struct SrcConfigProbe {
  explicit SrcConfigProbe(CSrcConfig& config)
      : m_connections(config.m_connections),
        m_nCurConn(config.m_nCurConn),
        m_strPlugHost(config.m_strPlugHost),
        m_nPlugPort(config.m_nPlugPort),
        m_strSocksHost(config.m_strSocksHost),
        m_nSocksPort(config.m_nSocksPort),
        m_strSocksUser(config.m_strSocksUser),
        m_strSocksPassword(config.m_strSocksPassword),
        m_bUseSocks5(config.m_bUseSocks5),
        m_strSecureHeader(config.m_strSecureHeader),
        m_strPlugHeader(config.m_strPlugHeader),
        m_clientKey(config.m_clientKey),
        m_nClientKeyLen(config.m_nClientKeyLen),
        m_nSecureHeaderVersion(config.m_nSecureHeaderVersion),
        m_nSessionID1(config.m_nSessionID1),
        m_nSessionID2(config.m_nSessionID2),
        m_pPluginBuffer(config.m_pPluginBuffer),
        m_nPluginBufferSize(config.m_nPluginBufferSize),
        m_nPluginValue(config.m_nPluginValue),
        m_nKeyTotal(config.m_nKeyTotal),
        m_ppKeys(config.m_ppKeys),
        m_nKeyCount(config.m_nKeyCount) {}

  CBoundaryVector<CSrcConnection*>& m_connections;
  LONG& m_nCurConn;
  CBoundaryString (&m_strPlugHost)[2];
  LONG (&m_nPlugPort)[2];
  CBoundaryString (&m_strSocksHost)[2];
  LONG (&m_nSocksPort)[2];
  CBoundaryString& m_strSocksUser;
  CBoundaryString& m_strSocksPassword;
  bool& m_bUseSocks5;
  CBoundaryString& m_strSecureHeader;
  CBoundaryString& m_strPlugHeader;
  BYTE (&m_clientKey)[CSrcConfig::kClientKeySize];
  LONG& m_nClientKeyLen;
  LONG& m_nSecureHeaderVersion;
  LONG& m_nSessionID1;
  LONG& m_nSessionID2;
  BYTE*& m_pPluginBuffer;
  DWORD& m_nPluginBufferSize;
  DWORD& m_nPluginValue;
  LONG& m_nKeyTotal;
  char**& m_ppKeys;
  LONG& m_nKeyCount;
};

inline SrcConfigProbe Fields(CSrcConfig& config) { return SrcConfigProbe(config); }
