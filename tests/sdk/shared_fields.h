/* Every field of the two shared structures, named alike in the kit's header and in the library, so each
   side can measure them with its own declarations and the test can compare the two. */
#ifndef SDK_SHARED_FIELDS_H
#define SDK_SHARED_FIELDS_H

#include <stddef.h>
#include <stdio.h>

#define SDK_SHARED_FIELDS(X)                                                                                   \
  X(CSrcConnection, m_strURL) X(CSrcConnection, m_strHost) X(CSrcConnection, m_nPort)                         \
  X(CSrcConnection, m_nType) X(CSrcConnection, m_nPluginField1) X(CSrcConnection, m_nPluginField2)            \
  X(CSrcConnection, m_nPluginField3) X(CSrcConnection, m_bOtherScheme) X(CSrcConnection, m_bNsc)              \
  X(CSrcConfig, m_connections) X(CSrcConfig, m_nCurConn) X(CSrcConfig, m_strPlugHost)                         \
  X(CSrcConfig, m_nPlugPort) X(CSrcConfig, m_nPluginPorts1) X(CSrcConfig, m_strSocksHost)                     \
  X(CSrcConfig, m_nSocksPort) X(CSrcConfig, m_nPluginPorts2) X(CSrcConfig, m_strSocksUser)                    \
  X(CSrcConfig, m_strSocksPassword) X(CSrcConfig, m_bUseSocks5) X(CSrcConfig, m_strSecureHeader)              \
  X(CSrcConfig, m_strPlugHeader) X(CSrcConfig, m_clientKey) X(CSrcConfig, m_nClientKeyLen)                    \
  X(CSrcConfig, m_nSecureHeaderVersion) X(CSrcConfig, m_nPluginShorts1) X(CSrcConfig, m_nSessionID1)          \
  X(CSrcConfig, m_nSessionID2) X(CSrcConfig, m_pPluginBuffer) X(CSrcConfig, m_nPluginBufferSize)              \
  X(CSrcConfig, m_strPluginText1) X(CSrcConfig, m_bPluginFlag1) X(CSrcConfig, m_strPluginText2)               \
  X(CSrcConfig, m_nPluginShorts2) X(CSrcConfig, m_nPluginValue) X(CSrcConfig, m_bPluginFlag2)                 \
  X(CSrcConfig, m_cs) X(CSrcConfig, m_nKeyTotal) X(CSrcConfig, m_ppKeys) X(CSrcConfig, m_nKeyCount)

#ifdef __cplusplus
extern "C" {
#endif

/* One measurement: "CSrcConfig.m_cs" and its offset, or a size under the structure's own name. */
typedef struct SdkFact {
  const char* name;
  size_t value;
} SdkFact;

/* One call through a slot: the slot's name on the caller's side and on the callee's, the arguments the
   callee received, and what came back. */
typedef struct SdkCall {
  const char* calledAs;
  const char* answeredBy;
  long long args[6];
  long long result;
} SdkCall;

extern SdkCall g_sdkLastCall; /* filled by the library side's recording objects */

/* The kit side. */
extern const SdkFact g_kitFacts[];
extern const size_t g_kitFactCount;
/* Calls every slot of a proxy or callback through the kit's table, in slot order; returns how many. */
size_t KitCallEveryProxySlot(void* proxy, SdkCall* calls);
size_t KitCallEveryCallbackSlot(void* callback, SdkCall* calls);
/* Through the kit's helpers on a configuration of the library: writes `text` into m_strPlugHost[1]. */
int KitAssignPlugHost(void* config, const char* text);
/* Through the kit's string manager table: Allocate, Clone, GetNilString and Free on `manager`. */
int KitUseManager(void* manager, char* failure, size_t size);
/* The shared log's helpers: the line lock on `word`, the escaping of a text, one line stamped `at` into a
   stream, and `count` lines "kit N" through QelSharedLogWrite into the log handed over as a plug-in gets it. */
long long KitTakeLineLock(volatile long long* word);
void KitReleaseLineLock(volatile long long* word, long long mine);
size_t KitEscape(const char* text, size_t length, char* out);
size_t KitWriteLineAt(FILE* stream, const struct _SYSTEMTIME* at, const char* text, size_t length);
void KitWriteLines(FILE** ppStream, long level, void* pLock, int count);

#ifdef __cplusplus
}
#endif

#endif
