// The 32-bit layout a proxy plug-in built apart from this library relies on: every field of the two
// shared structures at its offset, and their sizes. Other builds keep the field order with the sizes
// they get.
#include <cstddef>

#include "config/src_config.h"

#if defined(_WIN32) && !defined(_WIN64)

// Both structures have a virtual table, which makes offsetof conditionally supported; the compilers we
// build with support it.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif

static_assert(sizeof(CBoundaryString) == 4);
static_assert(sizeof(CBoundaryStringData) == 16);
static_assert(offsetof(CBoundaryStringData, pStringMgr) == 0);
static_assert(offsetof(CBoundaryStringData, nDataLength) == 4);
static_assert(offsetof(CBoundaryStringData, nAllocLength) == 8);
static_assert(offsetof(CBoundaryStringData, nRefs) == 12);
static_assert(sizeof(CBoundaryVector<CSrcConnection*>) == 16);

static_assert(offsetof(CSrcConnection, m_strURL) == 4);
static_assert(offsetof(CSrcConnection, m_strHost) == 8);
static_assert(offsetof(CSrcConnection, m_nPort) == 12);
static_assert(offsetof(CSrcConnection, m_nType) == 16);
static_assert(offsetof(CSrcConnection, m_nPluginField1) == 20);
static_assert(offsetof(CSrcConnection, m_nPluginField2) == 24);
static_assert(offsetof(CSrcConnection, m_nPluginField3) == 28);
static_assert(offsetof(CSrcConnection, m_bOtherScheme) == 32);
static_assert(offsetof(CSrcConnection, m_bNsc) == 33);
static_assert(sizeof(CSrcConnection) == 36);

static_assert(offsetof(CSrcConfig, m_connections) == 4);
static_assert(offsetof(CSrcConfig, m_nCurConn) == 20);
static_assert(offsetof(CSrcConfig, m_strPlugHost) == 24);
static_assert(offsetof(CSrcConfig, m_nPlugPort) == 32);
static_assert(offsetof(CSrcConfig, m_nPluginPorts1) == 40);
static_assert(offsetof(CSrcConfig, m_strSocksHost) == 48);
static_assert(offsetof(CSrcConfig, m_nSocksPort) == 56);
static_assert(offsetof(CSrcConfig, m_nPluginPorts2) == 64);
static_assert(offsetof(CSrcConfig, m_strSocksUser) == 72);
static_assert(offsetof(CSrcConfig, m_strSocksPassword) == 76);
static_assert(offsetof(CSrcConfig, m_bUseSocks5) == 80);
static_assert(offsetof(CSrcConfig, m_strSecureHeader) == 84);
static_assert(offsetof(CSrcConfig, m_strPlugHeader) == 88);
static_assert(offsetof(CSrcConfig, m_clientKey) == 92);
static_assert(offsetof(CSrcConfig, m_nClientKeyLen) == 112);
static_assert(offsetof(CSrcConfig, m_nSecureHeaderVersion) == 116);
static_assert(offsetof(CSrcConfig, m_nPluginShorts1) == 120);
static_assert(offsetof(CSrcConfig, m_nSessionID1) == 124);
static_assert(offsetof(CSrcConfig, m_nSessionID2) == 128);
static_assert(offsetof(CSrcConfig, m_pPluginBuffer) == 132);
static_assert(offsetof(CSrcConfig, m_nPluginBufferSize) == 136);
static_assert(offsetof(CSrcConfig, m_strPluginText1) == 140);
static_assert(offsetof(CSrcConfig, m_bPluginFlag1) == 144);
static_assert(offsetof(CSrcConfig, m_strPluginText2) == 148);
static_assert(offsetof(CSrcConfig, m_nPluginShorts2) == 152);
static_assert(offsetof(CSrcConfig, m_nPluginValue) == 156);
static_assert(offsetof(CSrcConfig, m_bPluginFlag2) == 160);
static_assert(offsetof(CSrcConfig, m_cs) == 164);
static_assert(offsetof(CSrcConfig, m_nKeyTotal) == 188);
static_assert(offsetof(CSrcConfig, m_ppKeys) == 192);
static_assert(offsetof(CSrcConfig, m_nKeyCount) == 196);
static_assert(sizeof(CSrcConfig) == 200);

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#endif
