// The 32-bit layout a proxy plug-in built apart from this library relies on: every field of the two
// shared structures at its offset, and their sizes. Other builds keep the field order with the sizes
// they get.
#include "config/src_config_layout.h"

#include <cstdint>

#include "config/src_config.h"

// Both structures have a virtual table, which makes offsetof conditionally supported; the compilers we
// build with support it.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif

// Every shared field with its published offset.
#define QEL_SHARED_FIELDS(X) \
  X(CBoundaryStringData, pStringMgr, 0) \
  X(CBoundaryStringData, nDataLength, 4) \
  X(CBoundaryStringData, nAllocLength, 8) \
  X(CBoundaryStringData, nRefs, 12) \
  X(CSrcConnection, m_strURL, 4) \
  X(CSrcConnection, m_strHost, 8) \
  X(CSrcConnection, m_nPort, 12) \
  X(CSrcConnection, m_nType, 16) \
  X(CSrcConnection, m_nPluginField1, 20) \
  X(CSrcConnection, m_nPluginField2, 24) \
  X(CSrcConnection, m_nPluginField3, 28) \
  X(CSrcConnection, m_bOtherScheme, 32) \
  X(CSrcConnection, m_bNsc, 33) \
  X(CSrcConfig, m_connections, 4) \
  X(CSrcConfig, m_nCurConn, 20) \
  X(CSrcConfig, m_strPlugHost, 24) \
  X(CSrcConfig, m_nPlugPort, 32) \
  X(CSrcConfig, m_nPluginPorts1, 40) \
  X(CSrcConfig, m_strSocksHost, 48) \
  X(CSrcConfig, m_nSocksPort, 56) \
  X(CSrcConfig, m_nPluginPorts2, 64) \
  X(CSrcConfig, m_strSocksUser, 72) \
  X(CSrcConfig, m_strSocksPassword, 76) \
  X(CSrcConfig, m_bUseSocks5, 80) \
  X(CSrcConfig, m_strSecureHeader, 84) \
  X(CSrcConfig, m_strPlugHeader, 88) \
  X(CSrcConfig, m_clientKey, 92) \
  X(CSrcConfig, m_nClientKeyLen, 112) \
  X(CSrcConfig, m_nSecureHeaderVersion, 116) \
  X(CSrcConfig, m_nPluginShorts1, 120) \
  X(CSrcConfig, m_nSessionID1, 124) \
  X(CSrcConfig, m_nSessionID2, 128) \
  X(CSrcConfig, m_pPluginBuffer, 132) \
  X(CSrcConfig, m_nPluginBufferSize, 136) \
  X(CSrcConfig, m_strPluginText1, 140) \
  X(CSrcConfig, m_bPluginFlag1, 144) \
  X(CSrcConfig, m_strPluginText2, 148) \
  X(CSrcConfig, m_nPluginShorts2, 152) \
  X(CSrcConfig, m_nPluginValue, 156) \
  X(CSrcConfig, m_bPluginFlag2, 160) \
  X(CSrcConfig, m_cs, 164) \
  X(CSrcConfig, m_nKeyTotal, 188) \
  X(CSrcConfig, m_ppKeys, 192) \
  X(CSrcConfig, m_nKeyCount, 196)

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(CBoundaryString) == 4);
static_assert(sizeof(CBoundaryStringData) == 16);
static_assert(sizeof(CBoundaryVector<CSrcConnection*>) == 16);
static_assert(sizeof(CSrcConnection) == 36);
static_assert(sizeof(CSrcConfig) == 200);
#define QEL_FIELD_AT(type, field, published) \
  static_assert(offsetof(type, field) == (published), #type "." #field " moved");
#else
#define QEL_FIELD_AT(type, field, published)
#endif

size_t SrcConfigLayout::OffsetOf(std::string_view qualifiedField) {
  QEL_SHARED_FIELDS(QEL_FIELD_AT)
#define QEL_FIELD_ROW(type, field, published) {#type "." #field, offsetof(type, field)},
  struct Row {
    std::string_view name;
    size_t offset;
  };
  static constexpr Row kRows[] = {QEL_SHARED_FIELDS(QEL_FIELD_ROW)};
  for (const Row& row : kRows)
    if (row.name == qualifiedField) return row.offset;
  return SIZE_MAX;
}

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
