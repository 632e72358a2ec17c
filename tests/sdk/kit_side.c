/* The kit's view: its header alone, compiled as C, measures the shared structures and calls the library's
   objects through the kit's tables. */
#include "qel_video_proxy_plugin.h"

#include <stdio.h>

#include "shared_fields.h"

#define SDK_OFFSET_FACT(type, field) {#type "." #field, offsetof(type, field)},
const SdkFact g_kitFacts[] = {SDK_SHARED_FIELDS(SDK_OFFSET_FACT){"CSrcConfig", sizeof(CSrcConfig)},
                              {"CSrcConnection", sizeof(CSrcConnection)},
                              {"string", sizeof(QelString)},
                              {"string header", sizeof(QelStringData)},
                              {"QelStringData.pStringMgr", offsetof(QelStringData, pStringMgr)},
                              {"QelStringData.nDataLength", offsetof(QelStringData, nDataLength)},
                              {"QelStringData.nAllocLength", offsetof(QelStringData, nAllocLength)},
                              {"QelStringData.nRefs", offsetof(QelStringData, nRefs)},
                              {"vector", sizeof(QelConnectionVector)}};
const size_t g_kitFactCount = sizeof g_kitFacts / sizeof g_kitFacts[0];

static void Took(SdkCall* call, const char* name, long long result) {
  *call = g_sdkLastCall;
  call->calledAs = name;
  call->result = result;
  g_sdkLastCall.answeredBy = NULL;
}

/* Each slot with arguments that tell it apart (101 + slot, and so on). */
size_t KitCallEveryProxySlot(void* object, SdkCall* calls) {
  IQelVideoProxy* proxy = (IQelVideoProxy*)object;
  const IQelVideoProxyVtbl* slots = proxy->lpVtbl;
  void* answer = NULL;
  size_t n = 0;
  Took(&calls[n++], "QueryInterface", slots->QueryInterface(proxy, &IID_IQelVideoProxy, &answer));
  Took(&calls[n++], "AddRef", (long long)slots->AddRef(proxy));
  Took(&calls[n++], "Release", (long long)slots->Release(proxy));
  Took(&calls[n++], "Create", slots->Create(proxy, (CSrcConfig*)(uintptr_t)0x1003));
  Took(&calls[n++], "Reserved4", slots->Reserved4(proxy, 104));
  Took(&calls[n++], "SetCallback", slots->SetCallback(proxy, (IQelVideoCBBCallback*)(uintptr_t)0x1005));
  Took(&calls[n++], "Reserved6", slots->Reserved6(proxy, 106));
  Took(&calls[n++], "GetPort", slots->GetPort(proxy));
  Took(&calls[n++], "GetConfig", (long long)(uintptr_t)slots->GetConfig(proxy));
  Took(&calls[n++], "Reserved9", slots->Reserved9(proxy, 109));
  Took(&calls[n++], "Reserved10", slots->Reserved10(proxy, 110));
  Took(&calls[n++], "Reserved11", slots->Reserved11(proxy, 111));
  Took(&calls[n++], "Reserved12", slots->Reserved12(proxy, 112));
  Took(&calls[n++], "SetConnectionURL", slots->SetConnectionURL(proxy, 113, (const char*)(uintptr_t)0x2013, 213));
  Took(&calls[n++], "GetByteCount", slots->GetByteCount(proxy));
  Took(&calls[n++], "Reserved15", slots->Reserved15(proxy, 115));
  Took(&calls[n++], "CloseConnections", slots->CloseConnections(proxy, 116));
  Took(&calls[n++], "PrepareClose", slots->PrepareClose(proxy, 117));
  Took(&calls[n++], "GetLastActivityTime", slots->GetLastActivityTime(proxy));
  return n;
}

size_t KitCallEveryCallbackSlot(void* object, SdkCall* calls) {
  IQelVideoCBBCallback* host = (IQelVideoCBBCallback*)object;
  const IQelVideoCBBCallbackVtbl* slots = host->lpVtbl;
  void* answer = NULL;
  DWORD time = 0;
  const char* text = (const char*)(uintptr_t)0x3000;
  size_t n = 0;
  Took(&calls[n++], "QueryInterface", slots->QueryInterface(host, &IID_IQelVideoProxy, &answer));
  Took(&calls[n++], "AddRef", (long long)slots->AddRef(host));
  Took(&calls[n++], "Release", (long long)slots->Release(host));
  Took(&calls[n++], "GetEpochTime", slots->GetEpochTime(host, &time));
  calls[n - 1].args[1] = time;
  Took(&calls[n++], "ReservedCallback", slots->ReservedCallback(host, 104));
  Took(&calls[n++], "SetURL", slots->SetURL(host, 105, 205, text + 5, 305));
  Took(&calls[n++], "SetAASSessionIDs", slots->SetAASSessionIDs(host, 0x100000106LL, 0x200000206LL));
  Took(&calls[n++], "SetPlugInName", slots->SetPlugInName(host, text + 7));
  Took(&calls[n++], "SetSocks5Proxy", slots->SetSocks5Proxy(host, text + 8, 208, text + 18, 308, text + 28, text + 38));
  Took(&calls[n++], "SetPLUGProxy", slots->SetPLUGProxy(host, text + 9, 209, text + 19, 309, text + 29));
  Took(&calls[n++], "SetSecureHeader", slots->SetSecureHeader(host, text + 10, 210, 310));
  Took(&calls[n++], "SetProxyKey", slots->SetProxyKey(host, 111, 211, text + 11));
  Took(&calls[n++], "SetPlugInType", slots->SetPlugInType(host, 112));
  Took(&calls[n++], "SetHeartbeatAlarmInterval", slots->SetHeartbeatAlarmInterval(host, 113));
  Took(&calls[n++], "SetIsolatedFlag", slots->SetIsolatedFlag(host, 114));
  return n;
}

int KitAssignPlugHost(void* object, const char* text) {
  CSrcConfig* config = (CSrcConfig*)object;
  int done;
  EnterCriticalSection(&config->m_cs);
  done = QelStringAssign(&config->m_strPlugHost[1], text, (int)strlen(text));
  LeaveCriticalSection(&config->m_cs);
  return done;
}

int KitUseManager(void* object, char* failure, size_t size) {
  QelStringMgr* manager = (QelStringMgr*)object;
  QelStringData* data = manager->lpVtbl->Allocate(manager, QEL_MGR_EDX_ARG 7, 1);
  QelStringData* nil = manager->lpVtbl->GetNilString(manager);
  QelStringMgr* clone = manager->lpVtbl->Clone(manager);
  const char* wrong = data == NULL                   ? "Allocate gave nothing"
                      : data->pStringMgr != manager  ? "Allocate's block names another manager"
                      : data->nAllocLength != 7      ? "Allocate's block has another room"
                      : data->nRefs != 1             ? "Allocate's block has another count"
                      : nil->nDataLength != 0        ? "GetNilString's text is not empty"
                      : clone != manager             ? "Clone names another manager"
                                                     : NULL;
  if (data != NULL) manager->lpVtbl->Free(manager, QEL_MGR_EDX_ARG data);
  QelStringRelease((QelString)(nil + 1));
  if (wrong != NULL) snprintf(failure, size, "%s", wrong);
  return wrong == NULL;
}

long long KitTakeLineLock(volatile long long* word) { return QelLogLineLockTake((volatile LONG64*)word); }
void KitReleaseLineLock(volatile long long* word, long long mine) {
  QelLogLineLockRelease((volatile LONG64*)word, mine);
}
size_t KitEscape(const char* text, size_t length, char* out) {
  return (size_t)(QelLogEscape(text, length, out) - out);
}
size_t KitWriteLineAt(FILE* stream, const struct _SYSTEMTIME* at, const char* text, size_t length) {
  return QelLogWriteLineAt(fwrite, fflush, stream, at, text, length);
}
void KitWriteLines(FILE** ppStream, long level, void* pLock, int count) {
  QelSharedLog log = {0}; /* as a plug-in's static one starts */
  char text[32];
  int i;
  if (!QelSharedLogOpen(&log, ppStream, level, (CRITICAL_SECTION*)pLock)) return;
  for (i = 0; i < count; ++i) {
    snprintf(text, sizeof text, "kit %d", i);
    QelSharedLogWrite(&log, 1, text);
  }
  QelSharedLogClose(&log);
}
