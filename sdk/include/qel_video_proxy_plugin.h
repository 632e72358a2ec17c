/* QelVorlaProxy proxy plug-in kit: everything a proxy plug-in meets, in one header for C (C99 or later)
   and C++. A proxy plug-in is a 32-bit Windows DLL named QelVideoProxy_WMP.dll, QelVideoProxy_SS.dll or
   QelVideoProxy_VFN.dll (the host's plug-in type 1 loads _SS, type 2 _VFN, any other _WMP) that sits beside
   QelVorlaProxy.dll, which loads it by bare name. It runs the local proxies a player connects to.

   The host shows one stream per cell of its window and gives each cell a control of its own; each control
   loads the plug-in for itself (the system maps the file once and counts the loads) and runs one local
   proxy. What happens, in order, on the thread that delivers the host's commands (one thread; the library
   never calls a plug-in from two threads at once):
     1. at a control's first URL for connection 0: load; ProxySetLogFile(ppStream, level, pLock). So it
        comes once per control, not once per process: again for every later control, while earlier
        controls' proxies run and write (the same three addresses each time while the library stays
        loaded);
     2. per source configuration (one per control): ProxyFactory(&object);
        object->QueryInterface(IID_IQelVideoProxy, &proxy); object->Release(); proxy->SetCallback(host);
        proxy->Create(config); proxy->GetPort() (first proxy), which the host gets as the port to play from;
     3. while playing: GetConfig at each proxy setting of the host (SOCKS5, PLUG, keys, secure header,
        session identifiers), to write it into your configuration too; SetConnectionURL when the host
        changes a source, then GetConfig, and for connection 0 GetPort again; on every heartbeat
        GetLastActivityTime and GetByteCount (and GetConfig until it answers non-NULL);
     4. when another player of the host starts and stops this one: PrepareClose(1), then
        CloseConnections(1), once each; the proxy stays, and a later connection-0 URL asks GetPort again;
     5. when the host deletes the control: a closing heartbeat when the host set an interval
        (GetByteCount is asked, GetLastActivityTime is not), then PrepareClose(1) on every proxy and
        CloseConnections(1) on every proxy, and the same pair once more, in that order, right before one
        Release per proxy; then the library destroys its configuration and unloads the plug-in (the file
        goes when the last control's load goes).
   Your own threads (accepting, relaying) run beside these calls: guard what they share with the calls.
   Every close helper and slot should hold when called twice.

   Build it for 32-bit x86 with the default packing (8): every method is __stdcall with the object as its
   first argument, the two exports are __cdecl, the string manager's slots are thiscall (see QEL_MGR_CALL).
   C++ and MSVC authors: see "For C++ authors" and "For MSVC authors" at the end. */
#ifndef QEL_VIDEO_PROXY_PLUGIN_H
#define QEL_VIDEO_PROXY_PLUGIN_H

/* The kit's version. It goes up by one with every release of this header that changes what a plug-in
   built against it compiles to or must do (a declaration, a macro, a helper's behaviour, a rule stated
   here); a release that changes only wording keeps it. The binary contract with the library (the exports,
   the slots, the shared layout) is the same in every version, so a plug-in built with any version loads.
   Version 1 declared the exports as types only; 2 declares them, adds QelSharedAlloc and QelSharedFree,
   and makes QelSharedLogOpen safe to call once per control. */
#define QEL_PLUGIN_KIT_VERSION 2

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Calling conventions --------------------------------------------------------------------------- */

/* The exports: C calling convention whatever the compiler's default. */
#define QEL_EXPORT_CALL __cdecl
/* Interface methods: __stdcall, the object pointer as the first argument on the stack, the callee pops. */
#define QEL_METHOD_CALL __stdcall

/* The string manager's slots are member functions of the class library: `thiscall` on 32-bit x86 (the
   object in ECX, the rest on the stack, popped by the callee). C has no thiscall for plain functions, but
   __fastcall with an unused second argument, which travels in EDX, is the same call on every compiler:
   declare and call each slot with QEL_MGR_EDX right after the manager. */
#if defined(__i386__) || defined(_M_IX86)
#define QEL_MGR_CALL __fastcall
#define QEL_MGR_EDX int unusedEdx,
#define QEL_MGR_EDX_ARG 0,
#else
#define QEL_MGR_CALL
#define QEL_MGR_EDX
#define QEL_MGR_EDX_ARG
#endif

#if defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define QEL_STATIC_ASSERT(condition, what) _Static_assert(condition, what)
#elif defined(__cplusplus) && __cplusplus >= 201103L
#define QEL_STATIC_ASSERT(condition, what) static_assert(condition, what)
#else /* C99: an array of negative size fails the build */
#define QEL_STATIC_ASSERT_NAME2(line) qel_static_assert_##line
#define QEL_STATIC_ASSERT_NAME(line) QEL_STATIC_ASSERT_NAME2(line)
#define QEL_STATIC_ASSERT(condition, what) typedef char QEL_STATIC_ASSERT_NAME(__LINE__)[(condition) ? 1 : -1]
#endif

/* ---- Strings: the text fields of the shared structures --------------------------------------------- */

typedef struct QelStringData QelStringData;
typedef struct QelStringMgr QelStringMgr;

/* A text field is one pointer to NUL-terminated characters, preceded in memory by this 16-byte header. An
   empty text points at a shared empty block of its manager that is never freed (its count never reaches
   0), never at NULL. */
struct QelStringData {
  QelStringMgr* pStringMgr; /* the manager that allocated the block, and the only one that may free it */
  int nDataLength;          /* characters, without the NUL */
  int nAllocLength;         /* characters the block has room for, without the NUL */
  LONG nRefs;               /* texts sharing the block; negative while its one owner writes into it */
};
typedef char* QelString;

/* A string manager's table, in slot order. Slot 1 frees. */
typedef struct QelStringMgrVtbl {
  /* 0: a block with room for nAllocLength characters of nCharSize bytes and a NUL; count 1, length 0. */
  QelStringData*(QEL_MGR_CALL* Allocate)(QelStringMgr* self, QEL_MGR_EDX int nAllocLength, int nCharSize);
  /* 1: gives back a block this manager allocated (anything else is refused). */
  void(QEL_MGR_CALL* Free)(QelStringMgr* self, QEL_MGR_EDX QelStringData* pData);
  /* 2: the block with room for nAllocLength characters, moved if need be; NULL keeps the old block. */
  QelStringData*(QEL_MGR_CALL* Reallocate)(QelStringMgr* self, QEL_MGR_EDX QelStringData* pData,
                                           int nAllocLength, int nCharSize);
  /* 3: the shared empty text, with one more reference. */
  QelStringData*(QEL_MGR_CALL* GetNilString)(QelStringMgr* self);
  /* 4: the manager a copy of a text should use. */
  QelStringMgr*(QEL_MGR_CALL* Clone)(QelStringMgr* self);
} QelStringMgrVtbl;
struct QelStringMgr {
  const QelStringMgrVtbl* lpVtbl;
};

static inline QelStringData* QelStringHeader(QelString text) { return (QelStringData*)text - 1; }

/* Lets go of one text: the last reference hands the block to the manager named in its own header, never
   to another (the library's texts go back to the library, yours to you). Call it for every text you take
   out of a field for good, the library's included, or they leak. */
static inline void QelStringRelease(QelString text) {
  QelStringData* data = QelStringHeader(text);
  QelStringMgr* manager = data->pStringMgr;
  if (InterlockedDecrement(&data->nRefs) <= 0) manager->lpVtbl->Free(manager, QEL_MGR_EDX_ARG data);
}

/* Replaces the text in *field with a copy of `length` bytes of `text`, in a block of the manager the old
   text's manager names for copies, and releases the old text; hold the structure's m_cs. 0, with the old
   text kept, when no block can be had. No manager of your own is needed to write a field. */
static inline int QelStringAssign(QelString* field, const char* text, int length) {
  QelStringMgr* owner = QelStringHeader(*field)->pStringMgr;
  QelStringMgr* manager = owner->lpVtbl->Clone(owner);
  QelStringData* data;
  QelString old = *field;
  if (length < 0) return 0;
  data = length == 0 ? manager->lpVtbl->GetNilString(manager)
                     : manager->lpVtbl->Allocate(manager, QEL_MGR_EDX_ARG length, 1);
  if (data == NULL) return 0;
  if (length > 0) {
    memcpy(data + 1, text, (size_t)length);
    ((char*)(data + 1))[length] = '\0';
    data->nDataLength = length;
  }
  *field = (QelString)(data + 1);
  QelStringRelease(old);
  return 1;
}

/* ---- The shared structures ------------------------------------------------------------------------- */

/* The connection list: an allocator word, then begin, end and end of storage. Its storage comes from the C
   runtime heap every library of the process shares (msvcrt.dll's malloc/realloc/free). */
typedef struct CSrcConnection CSrcConnection;
typedef struct QelConnectionVector {
  uintptr_t allocator; /* never read */
  CSrcConnection** pBegin;
  CSrcConnection** pEnd;
  CSrcConnection** pEndOfStorage;
} QelConnectionVector;

/* The type the host gives with each URL. The library passes it on and gives it meaning in one place only:
   the heartbeat reports a current connection of type 3 as an MPROXY one. It never ignores a proxy setting
   for a type, and never chooses between the PLUG and the SOCKS5 chain: it writes both into the
   configuration as the host sends them, and what each type asks of a proxy is yours to decide. The relay
   of this release decides so: SOCKS5 on (m_bUseSocks5) wins for every type; otherwise a PLUG connection
   with a PLUG host set goes through the PLUG chain (as HTTP CONNECT proxies); everything else goes
   directly. A URL of type 0, or of the file scheme, never reaches a configuration. */
enum QelConnectionType {
  QEL_CONNECTION_PLUG = 1,
  QEL_CONNECTION_DIRECT = 2,
  QEL_CONNECTION_MPROXY = 3,
  QEL_CONNECTION_HTTP = 4,
  QEL_CONNECTION_RTMP = 5
};

/* One stream source. Offset 0 is a virtual table pointer: neither side ever deletes the other's object
   (their destructors share no calling scheme), so a plug-in's own connections may point it anywhere. */
struct CSrcConnection {
  const void* vtable;
  QelString m_strURL;   /* exactly as the host gave it */
  QelString m_strHost;  /* decoded host name */
  LONG m_nPort;         /* the URL's port; when it names none, 80 for http, 443 for https, 21 for ftp and
                           0 for every other scheme (rtmp, rtsp, mms: use the scheme's own port); an
                           explicit port 0 reads 80 for http and https */
  LONG m_nType;         /* QelConnectionType */
  LONG m_nPluginField1; /* the plug-in's own: the library writes 0 and never reads it */
  LONG m_nPluginField2; /* likewise, 0 */
  LONG m_nPluginField3; /* likewise, -1 */
  BYTE m_bOtherScheme;  /* 0 for rtmp, rtmps, rtmpe and https */
  BYTE m_bNsc;          /* the URL text contains ".nsc" */
};

#define QEL_CLIENT_KEY_SIZE 20

/* The source configuration. The library passes its own to Create and keeps it alive until the proxy is
   released. Hold m_cs for every read and write: the library takes it for each of its writes, from the
   command thread, while your threads may read. */
typedef struct CSrcConfig {
  const void* vtable;                /* see CSrcConnection */
  QelConnectionVector m_connections; /* the sources, in the host's order */
  LONG m_nCurConn;                   /* the connection to use now; -1 until one is set: use 0. The
                                        library sets it to 0 at each URL for connection 0 it adds to its
                                        own configuration (before the proxy runs), and never moves it.
                                        Move it yourself, under m_cs, when you switch to a backup source:
                                        the heartbeat reports the type of this connection */
  QelString m_strPlugHost[2];        /* PLUG hops, in chain order; empty until set. Each PLUG setting
                                        replaces both hosts, both ports and the header: an empty first
                                        host leaves no chain */
  LONG m_nPlugPort[2];
  LONG m_nPluginPorts1[2];           /* the plug-in's own */
  QelString m_strSocksHost[2];       /* SOCKS5 hops, in chain order; empty until set. Turning SOCKS5 off
                                        clears m_bUseSocks5 only: hosts, ports, user and password stay
                                        for a later turn on. Test m_bUseSocks5 first */
  LONG m_nSocksPort[2];
  LONG m_nPluginPorts2[2];           /* the plug-in's own */
  QelString m_strSocksUser;          /* one user name and password for every hop of the chain */
  QelString m_strSocksPassword;
  BYTE m_bUseSocks5;                 /* SOCKS5 on: non-zero while the host's last SOCKS5 setting named a
                                        first host */
  QelString m_strSecureHeader;
  QelString m_strPlugHeader;         /* a header line for every PLUG hop (the chain has no login) */
  BYTE m_clientKey[QEL_CLIENT_KEY_SIZE];
  LONG m_nClientKeyLen;
  LONG m_nSecureHeaderVersion;
  short m_nPluginShorts1[2];         /* the plug-in's own */
  LONG m_nSessionID1;
  LONG m_nSessionID2;
  BYTE* m_pPluginBuffer;             /* the plug-in's own; the library frees it with the configuration:
                                        QelSharedAlloc, back with QelSharedFree */
  DWORD m_nPluginBufferSize;
  QelString m_strPluginText1;        /* the plug-in's own text */
  BYTE m_bPluginFlag1;
  QelString m_strPluginText2;        /* the plug-in's own text */
  short m_nPluginShorts2[2];
  DWORD m_nPluginValue;
  BYTE m_bPluginFlag2;
  CRITICAL_SECTION m_cs;             /* guards every field above and below */
  LONG m_nKeyTotal;                  /* slots in m_ppKeys */
  char** m_ppKeys;                   /* the array and each key text: QelSharedAlloc, QelSharedFree */
  LONG m_nKeyCount;                  /* keys set so far */
} CSrcConfig;

/* The connection a proxy should use now: m_nCurConn, or connection 0 while that is -1; NULL when the list
   has no such entry. Hold m_cs while you use it and its texts. */
static inline CSrcConnection* QelCurrentConnection(CSrcConfig* config) {
  const LONG index = config->m_nCurConn < 0 ? 0 : config->m_nCurConn;
  if (index >= (LONG)(config->m_connections.pEnd - config->m_connections.pBegin)) return NULL;
  return config->m_connections.pBegin[index];
}

/* The published 32-bit layout. */
#if defined(_M_IX86) || defined(__i386__)
#define QEL_ASSERT_AT(type, field, offset) QEL_STATIC_ASSERT(offsetof(type, field) == (offset), #type "." #field)
QEL_STATIC_ASSERT(sizeof(QelStringData) == 16, "string header");
QEL_ASSERT_AT(QelStringData, pStringMgr, 0);
QEL_ASSERT_AT(QelStringData, nDataLength, 4);
QEL_ASSERT_AT(QelStringData, nAllocLength, 8);
QEL_ASSERT_AT(QelStringData, nRefs, 12);
QEL_STATIC_ASSERT(sizeof(QelString) == 4, "string");
QEL_STATIC_ASSERT(sizeof(QelConnectionVector) == 16, "vector");
QEL_ASSERT_AT(CSrcConnection, m_strURL, 4);
QEL_ASSERT_AT(CSrcConnection, m_strHost, 8);
QEL_ASSERT_AT(CSrcConnection, m_nPort, 12);
QEL_ASSERT_AT(CSrcConnection, m_nType, 16);
QEL_ASSERT_AT(CSrcConnection, m_nPluginField1, 20);
QEL_ASSERT_AT(CSrcConnection, m_nPluginField2, 24);
QEL_ASSERT_AT(CSrcConnection, m_nPluginField3, 28);
QEL_ASSERT_AT(CSrcConnection, m_bOtherScheme, 32);
QEL_ASSERT_AT(CSrcConnection, m_bNsc, 33);
QEL_STATIC_ASSERT(sizeof(CSrcConnection) == 36, "CSrcConnection");
QEL_ASSERT_AT(CSrcConfig, m_connections, 4);
QEL_ASSERT_AT(CSrcConfig, m_nCurConn, 20);
QEL_ASSERT_AT(CSrcConfig, m_strPlugHost, 24);
QEL_ASSERT_AT(CSrcConfig, m_nPlugPort, 32);
QEL_ASSERT_AT(CSrcConfig, m_nPluginPorts1, 40);
QEL_ASSERT_AT(CSrcConfig, m_strSocksHost, 48);
QEL_ASSERT_AT(CSrcConfig, m_nSocksPort, 56);
QEL_ASSERT_AT(CSrcConfig, m_nPluginPorts2, 64);
QEL_ASSERT_AT(CSrcConfig, m_strSocksUser, 72);
QEL_ASSERT_AT(CSrcConfig, m_strSocksPassword, 76);
QEL_ASSERT_AT(CSrcConfig, m_bUseSocks5, 80);
QEL_ASSERT_AT(CSrcConfig, m_strSecureHeader, 84);
QEL_ASSERT_AT(CSrcConfig, m_strPlugHeader, 88);
QEL_ASSERT_AT(CSrcConfig, m_clientKey, 92);
QEL_ASSERT_AT(CSrcConfig, m_nClientKeyLen, 112);
QEL_ASSERT_AT(CSrcConfig, m_nSecureHeaderVersion, 116);
QEL_ASSERT_AT(CSrcConfig, m_nPluginShorts1, 120);
QEL_ASSERT_AT(CSrcConfig, m_nSessionID1, 124);
QEL_ASSERT_AT(CSrcConfig, m_nSessionID2, 128);
QEL_ASSERT_AT(CSrcConfig, m_pPluginBuffer, 132);
QEL_ASSERT_AT(CSrcConfig, m_nPluginBufferSize, 136);
QEL_ASSERT_AT(CSrcConfig, m_strPluginText1, 140);
QEL_ASSERT_AT(CSrcConfig, m_bPluginFlag1, 144);
QEL_ASSERT_AT(CSrcConfig, m_strPluginText2, 148);
QEL_ASSERT_AT(CSrcConfig, m_nPluginShorts2, 152);
QEL_ASSERT_AT(CSrcConfig, m_nPluginValue, 156);
QEL_ASSERT_AT(CSrcConfig, m_bPluginFlag2, 160);
QEL_ASSERT_AT(CSrcConfig, m_cs, 164);
QEL_ASSERT_AT(CSrcConfig, m_nKeyTotal, 188);
QEL_ASSERT_AT(CSrcConfig, m_ppKeys, 192);
QEL_ASSERT_AT(CSrcConfig, m_nKeyCount, 196);
QEL_STATIC_ASSERT(sizeof(CSrcConfig) == 200, "CSrcConfig");
#undef QEL_ASSERT_AT
#endif

/* Who frees what:
   - texts: QelStringRelease, whichever side made them (the header names the manager);
   - m_ppKeys, each key text, the connection list's storage, m_pPluginBuffer: msvcrt.dll's heap, which the
     library uses: free them with QelSharedFree and make yours with QelSharedAlloc (below), whatever C
     runtime you link;
   - objects (configurations, connections): never the other side's. The library adds no connection to a
     configuration you made and destroys none of yours; you delete none of the library's, and add none to
     its configuration (it destroys every connection there as its own).
   - lifetime: the library releases every proxy before it destroys its configurations, and destroys those
     before it unloads you, so your texts in its fields reach your manager while you are loaded. */

/* Writes the address of msvcrt.dll's function `name` to *functionPointer (a pointer to a function pointer
   of the right type); 0 when it cannot be found. msvcrt.dll is the C runtime the library, its log's stream
   and the shared structures' memory belong to; it is loaded in every process the library runs in. */
static inline int QelMsvcrtFunction(const char* name, void* functionPointer) {
  HMODULE crt = GetModuleHandleA("msvcrt.dll");
  FARPROC found;
  if (crt == NULL) crt = LoadLibraryA("msvcrt.dll");
  found = crt != NULL ? GetProcAddress(crt, name) : NULL;
  memcpy(functionPointer, &found, sizeof found); /* a FARPROC is the address of any function */
  return found != NULL;
}

/* Memory for the shared structures, from msvcrt.dll's heap whatever C runtime this plug-in links (mingw-w64
   links msvcrt.dll; MSVC links another, whose malloc the library's free would corrupt): key texts and the
   key array, a configuration's plug-in buffer, a connection list's storage. NULL when none can be had. */
static inline void* QelSharedAlloc(size_t size) {
  void*(__cdecl * crtMalloc)(size_t);
  return QelMsvcrtFunction("malloc", &crtMalloc) ? crtMalloc(size) : NULL;
}

/* Gives back memory of the shared structures (whoever allocated it: the library uses the same heap).
   NULL does nothing. */
static inline void QelSharedFree(void* memory) {
  void(__cdecl * crtFree)(void*);
  if (memory != NULL && QelMsvcrtFunction("free", &crtFree)) crtFree(memory);
}

/* ---- The host's callback interface (what SetCallback gives you) ------------------------------------- */

typedef struct IQelVideoCBBCallback IQelVideoCBBCallback;
typedef struct IQelVideoCBBCallbackVtbl {
  /* 0: E_POINTER for a null out pointer, otherwise E_NOINTERFACE for every identifier. */
  HRESULT(QEL_METHOD_CALL* QueryInterface)(IQelVideoCBBCallback* This, const GUID* riid, void** ppv);
  ULONG(QEL_METHOD_CALL* AddRef)(IQelVideoCBBCallback* This);
  ULONG(QEL_METHOD_CALL* Release)(IQelVideoCBBCallback* This);
  /* 3: the host terminal's epoch time in seconds; 0 with the time, 1 without it, E_INVALIDARG for NULL.
     May be called from your own threads. */
  HRESULT(QEL_METHOD_CALL* GetEpochTime)(IQelVideoCBBCallback* This, DWORD* pTime);
  /* 4: does nothing, returns 0. */
  HRESULT(QEL_METHOD_CALL* ReservedCallback)(IQelVideoCBBCallback* This, LONG value);
  /* 5 to 14: the host's settings, called by the library's own command reader: do not call them. */
  HRESULT(QEL_METHOD_CALL* SetURL)(IQelVideoCBBCallback* This, LONG proxyIndex, LONG connIndex, const char* url,
                                   LONG type);
  HRESULT(QEL_METHOD_CALL* SetAASSessionIDs)(IQelVideoCBBCallback* This, LONGLONG id1, LONGLONG id2);
  HRESULT(QEL_METHOD_CALL* SetPlugInName)(IQelVideoCBBCallback* This, const char* names);
  HRESULT(QEL_METHOD_CALL* SetSocks5Proxy)(IQelVideoCBBCallback* This, const char* host1, LONG port1,
                                           const char* host2, LONG port2, const char* userName,
                                           const char* password);
  HRESULT(QEL_METHOD_CALL* SetPLUGProxy)(IQelVideoCBBCallback* This, const char* host1, LONG port1,
                                         const char* host2, LONG port2, const char* customHeader);
  HRESULT(QEL_METHOD_CALL* SetSecureHeader)(IQelVideoCBBCallback* This, const char* header, LONG version,
                                            LONG keyType);
  HRESULT(QEL_METHOD_CALL* SetProxyKey)(IQelVideoCBBCallback* This, LONG total, LONG index, const char* key);
  HRESULT(QEL_METHOD_CALL* SetPlugInType)(IQelVideoCBBCallback* This, LONG type);
  HRESULT(QEL_METHOD_CALL* SetHeartbeatAlarmInterval)(IQelVideoCBBCallback* This, LONG seconds);
  HRESULT(QEL_METHOD_CALL* SetIsolatedFlag)(IQelVideoCBBCallback* This, LONG flag);
} IQelVideoCBBCallbackVtbl;
struct IQelVideoCBBCallback {
  const IQelVideoCBBCallbackVtbl* lpVtbl;
};

/* ---- The local proxy interface (what you implement) ------------------------------------------------ */

/* {35013793-9535-4B3A-9300-B51EF2F04E9B} */
static const GUID IID_IQelVideoProxy = {0x35013793, 0x9535, 0x4B3A, {0x93, 0x00, 0xB5, 0x1E, 0xF2, 0xF0, 0x4E, 0x9B}};
/* {00000000-0000-0000-C000-000000000046}, here so a plug-in needs no import library for it. */
static const GUID QEL_IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

static inline int QelIsIid(const GUID* riid, const GUID* iid) { return memcmp(riid, iid, sizeof(GUID)) == 0; }

typedef struct IQelVideoProxy IQelVideoProxy;
/* Every slot runs on the library's command thread. "Never called" slots keep their places: give each a
   function that takes one 32-bit value and returns E_NOTIMPL. No exception may leave a slot. */
typedef struct IQelVideoProxyVtbl {
  /* 0: answer IID_IQelVideoProxy and QEL_IID_IUnknown (one more reference), E_NOINTERFACE otherwise. */
  HRESULT(QEL_METHOD_CALL* QueryInterface)(IQelVideoProxy* This, const GUID* riid, void** ppv);
  ULONG(QEL_METHOD_CALL* AddRef)(IQelVideoProxy* This);
  /* 2: the library's one reference goes back when the host's player is deleted (after CloseConnections),
     or right after a failed Create. */
  ULONG(QEL_METHOD_CALL* Release)(IQelVideoProxy* This);
  /* 3: start serving pConfig, which stays alive until this proxy is released. Listen before returning: a
     non-negative result means "listening and ready"; after a negative one the library releases the proxy
     at once and starts no other. */
  HRESULT(QEL_METHOD_CALL* Create)(IQelVideoProxy* This, CSrcConfig* pConfig);
  /* 4: never called. */
  HRESULT(QEL_METHOD_CALL* Reserved4)(IQelVideoProxy* This, LONG value);
  /* 5: before Create, with the host. A negative result is logged and ignored. Keep a reference (AddRef)
     only while you have connections open, and give it back at CloseConnections at the latest (and when
     Create fails): the library releases your proxy only once the host behind this callback is gone,
     which your reference would keep alive for ever. */
  HRESULT(QEL_METHOD_CALL* SetCallback)(IQelVideoProxy* This, IQelVideoCBBCallback* pCallback);
  /* 6: never called. */
  HRESULT(QEL_METHOD_CALL* Reserved6)(IQelVideoProxy* This, LONG value);
  /* 7: the local TCP port players connect to (on 127.0.0.1), after Create and again after each
     connection-0 URL the host sends later; the library reports it to the host as it is, each time.
     Negative: no port; the stream does not start and nothing is logged. Only the first proxy is asked. */
  LONG(QEL_METHOD_CALL* GetPort)(IQelVideoProxy* This);
  /* 8: the configuration the running proxy works from: the one Create got, or one of your own with the
     same layout and an initialised m_cs; the library writes the host's later settings into it under m_cs.
     NULL is allowed and turns off: the host's later settings reaching the running proxy (they go to the
     library's own configuration only), the "Final dest" log line after SetConnectionURL, and, when the
     first proxy answers NULL, the player status the heartbeat carries. Called at any time after Create. */
  CSrcConfig*(QEL_METHOD_CALL* GetConfig)(IQelVideoProxy* This);
  /* 9 to 12: never called. */
  HRESULT(QEL_METHOD_CALL* Reserved9)(IQelVideoProxy* This, LONG value);
  HRESULT(QEL_METHOD_CALL* Reserved10)(IQelVideoProxy* This, LONG value);
  HRESULT(QEL_METHOD_CALL* Reserved11)(IQelVideoProxy* This, LONG value);
  HRESULT(QEL_METHOD_CALL* Reserved12)(IQelVideoProxy* This, LONG value);
  /* 13: the host changed connection connIndex of this running proxy to url (a QelConnectionType in type).
     Once the proxy runs, this is the only way a URL reaches it: the library changes no configuration for
     it, its own included. An index past the end of your list may be added (connIndex equal to the count)
     to a configuration of your own; never to the library's (see "Who frees what"): refuse it there.
     Negative: failure, logged at level 1 ("VideoHost::SetURL: Failed to set URL"). For connection 0 the
     library then asks GetPort again and reports the port. */
  HRESULT(QEL_METHOD_CALL* SetConnectionURL)(IQelVideoProxy* This, LONG connIndex, const char* url, LONG type);
  /* 14: bytes carried since the previous call (both directions as you count them), on every heartbeat.
     The library multiplies the sum over its proxies by 8 in 32-bit arithmetic: keep one answer at most
     0x0FFFFFFF and carry the rest into the next. The closing heartbeat of a deletion is the last call:
     bytes carried after it are never asked for, and none are while the host sets no interval. */
  LONG(QEL_METHOD_CALL* GetByteCount)(IQelVideoProxy* This);
  /* 15: never called. */
  HRESULT(QEL_METHOD_CALL* Reserved15)(IQelVideoProxy* This, LONG value);
  /* 16: close every player connection, and with includeProxy 1 (always, today) stop listening too. Comes
     twice on a deletion (see the order at the top), once when another player stops this one; the proxy
     may be asked again (GetPort, GetByteCount) before its Release. Negative: logged at level 1. */
  HRESULT(QEL_METHOD_CALL* CloseConnections)(IQelVideoProxy* This, LONG includeProxy);
  /* 17: called with 1 on every proxy before any of them gets slot 16: stop taking new players. Comes
     twice on a deletion, before each round of slot 16. The result is ignored. */
  HRESULT(QEL_METHOD_CALL* PrepareClose)(IQelVideoProxy* This, LONG value);
  /* 18: the time of the last activity (bytes carried or a player's connection) in seconds since
     1970-01-01 UTC, as time() gives it; 0 when none yet. The heartbeat reports the player idle when the
     latest time of the control's proxies is 30 seconds or more before the system's time, playing
     otherwise (and with 0). */
  LONGLONG(QEL_METHOD_CALL* GetLastActivityTime)(IQelVideoProxy* This);
} IQelVideoProxyVtbl;
struct IQelVideoProxy {
  const IQelVideoProxyVtbl* lpVtbl;
};

/* ---- The exports ----------------------------------------------------------------------------------- */

#define QEL_PROXY_SET_LOG_FILE_EXPORT "ProxySetLogFile"
#define QEL_PROXY_FACTORY_EXPORT "ProxyFactory"

/* Define both exports with QEL_PLUGIN_EXPORT, as the example does:
     QEL_PLUGIN_EXPORT(LONG) ProxyFactory(void** ppObject) { ... }
   It carries __declspec(dllexport) and __cdecl, and the prototypes below, inside this header's extern "C",
   give the names C linkage, so C and C++ alike export the undecorated names the library looks up
   (mingw-w64 and MSVC decorate no __cdecl export). Defined in C++ without them, an export is mangled
   (_Z12ProxyFactoryPPv): the library logs "Failed to call ProxyFactory method" with "Procedure not found"
   and reports no port. To export through a .def file instead, define QEL_PLUGIN_EXPORT_SPEC empty before
   including this header. */
#ifndef QEL_PLUGIN_EXPORT_SPEC
#define QEL_PLUGIN_EXPORT_SPEC __declspec(dllexport)
#endif
#define QEL_PLUGIN_EXPORT(type) QEL_PLUGIN_EXPORT_SPEC type QEL_EXPORT_CALL
/* C linkage in C++, for a function the C runtime looks up by its C name: write DllMain with it. */
#ifdef __cplusplus
#define QEL_EXTERN_C extern "C"
#else
#define QEL_EXTERN_C
#endif

/* The library's log, shared: ppStream is the address of the log's stream pointer (a stream of msvcrt.dll;
   NULL while the log is closed, and replaced, perhaps at the same address, when the log is moved aside);
   pLock is the log's critical section; level is the log's level: write only lines at or below it. The
   levels: 1 failures, settings and principal events; 2 adds secondary detail (the library's own are lines
   such as "Proxies already started" and the epoch time a proxy asked for); 3 adds routine progress.
   Called after each load, which is once per control (see the order at the top): again for every later
   control, while earlier proxies write, with the same three addresses each time; they stay valid until
   the plug-in is unloaded. Hand them to QelSharedLogOpen every time. The result is nothing. */
QEL_PLUGIN_EXPORT(void) ProxySetLogFile(FILE** ppStream, LONG level, CRITICAL_SECTION* pLock);
typedef void(QEL_EXPORT_CALL* QelProxySetLogFileFn)(FILE** ppStream, LONG level, CRITICAL_SECTION* pLock);

/* Write an object (IUnknown: its table starts QueryInterface, AddRef, Release, __stdcall) to *ppObject
   and return non-zero; 0 for failure. The object answers QueryInterface(IID_IQelVideoProxy) with a NEW
   local proxy holding one reference, which the library keeps; the library then calls the object's Release
   once, so the object carries one reference of its own. Called once per source configuration, so once
   per control. */
QEL_PLUGIN_EXPORT(LONG) ProxyFactory(void** ppObject);
typedef LONG(QEL_EXPORT_CALL* QelProxyFactoryFn)(void** ppObject);

/* ---- The shared log -------------------------------------------------------------------------------- */

/* A line: "MM/DD/YY-HH:MM:SS.mmm " (local time), the text escaped, CR LF, then fflush; a text of any
   length stays one line. By convention the text starts with your plug-in's name and ": ".
   The library offers its own line writer to the plug-in in its process (QEL_LOG_WRITER_OFFER_PREFIX): a
   line written through it counts toward the log's size limit as the library's own lines do, so it moves
   the file aside in time and follows another host process's move. Lines written into the stream directly
   pass no size test: use the offer whenever it is there. Without it, each line is written:
     1. holding *pLock (EnterCriticalSection), reading *ppStream; when it is NULL, drop the line;
     2. holding the line lock, which keeps apart the lines of host processes sharing one file;
     3. write and flush; release the line lock; LeaveCriticalSection.
   The line lock is one 64-bit word in the named shared section QEL_LOG_LINE_LOCK_NAME (8 bytes, page file
   backed, zero when new): low 32 bits the holder's process id (0 when free), high 32 bits a count of
   holdings. Take: read it whole (InterlockedCompareExchange64(word, 0, 0)); when free, compare-exchange it
   to ((count + 1) << 32) | GetCurrentProcessId(), again if it changed. While another process holds it,
   spin, then yield, and take over (the same compare-exchange from the value seen) a holder whose process
   has ended or whose word has not changed for QEL_LOG_LINE_LOCK_STALE_MS. Release: compare-exchange from
   what you wrote to count << 32; if the word holds something else, another writer took it over: leave it.
   QelSharedLogWrite does all of this. */
#define QEL_LOG_LINE_LOCK_NAME "Local\\QelVorlaProxy.LogLineLock"
#define QEL_LOG_LINE_LOCK_STALE_MS 500
/* A byte below 0x20 or equal to 0x7F in a line's text becomes "\r", "\n", "\t" or "\xHH" (upper-case), so
   no text from the host or a server can start a line of its own; backslashes stay. At most 4 bytes per
   byte. */
#define QEL_LOG_ESCAPE_MAX_GROWTH 4

/* Writes `length` bytes of text escaped to out (room for QEL_LOG_ESCAPE_MAX_GROWTH per byte); returns the
   end of what it wrote. */
static inline char* QelLogEscape(const char* text, size_t length, char* out) {
  static const char hex[] = "0123456789ABCDEF";
  size_t i;
  for (i = 0; i < length; ++i) {
    const unsigned char c = (unsigned char)text[i];
    if (c >= 0x20 && c != 0x7F) {
      *out++ = (char)c;
      continue;
    }
    *out++ = '\\';
    if (c == '\r') *out++ = 'r';
    else if (c == '\n') *out++ = 'n';
    else if (c == '\t') *out++ = 't';
    else {
      *out++ = 'x';
      *out++ = hex[c >> 4];
      *out++ = hex[c & 0xF];
    }
  }
  return out;
}

static inline int QelLogProcessHasEnded(DWORD processId) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  int ended;
  if (process == NULL) return GetLastError() == ERROR_INVALID_PARAMETER; /* no such process */
  ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

/* Takes the line lock; returns the value written, which QelLogLineLockRelease needs. */
static inline LONG64 QelLogLineLockTake(volatile LONG64* word) {
  const DWORD self = GetCurrentProcessId();
  LONG64 watched = 0;
  DWORD watchedSince = 0;
  unsigned attempt;
  for (attempt = 0;; ++attempt) {
    const LONG64 seen = InterlockedCompareExchange64(word, 0, 0);
    const LONG64 mine = (LONG64)((((ULONG64)seen >> 32) + 1) << 32 | self);
    if ((DWORD)((ULONG64)seen & 0xFFFFFFFFu) == 0) {
      if (InterlockedCompareExchange64(word, mine, seen) == seen) return mine;
      continue;
    }
    if (attempt < 200) {
      YieldProcessor();
      continue;
    }
    if (seen != watched) {
      watched = seen;
      watchedSince = GetTickCount();
    } else if (GetTickCount() - watchedSince >= QEL_LOG_LINE_LOCK_STALE_MS ||
               QelLogProcessHasEnded((DWORD)((ULONG64)seen & 0xFFFFFFFFu))) {
      if (InterlockedCompareExchange64(word, mine, seen) == seen) return mine;
    }
    Sleep(attempt < 250 ? 0 : 1);
  }
}

static inline void QelLogLineLockRelease(volatile LONG64* word, LONG64 mine) {
  InterlockedCompareExchange64(word, (LONG64)((ULONG64)mine & ~(ULONG64)0xFFFFFFFFu), mine);
}

/* The offer: a named section, QEL_LOG_WRITER_OFFER_PREFIX then "<process id>.<ppStream>", the process id in
   8 and the address ppStream in 2 * sizeof(void*) upper-case hexadecimal digits, holding the library's log
   and its line writer for the log's life. Write through it from any thread, without holding *pLock: it
   takes the locks, stamps, escapes, tests the size and writes; it returns 1, or 0 while the log is closed
   (the line is dropped). Read it once, when the log is handed over. */
#define QEL_LOG_WRITER_OFFER_PREFIX "Local\\QelVorlaProxy.LogWriter."
typedef int(QEL_EXPORT_CALL* QelLogWriteLineFn)(void* log, const char* text);
typedef struct QelLogWriterOffer {
  void* log;
  QelLogWriteLineFn writeLine; /* NULL: nothing offered */
} QelLogWriterOffer;

static inline char* QelLogPutHex(char* out, ULONG64 value, unsigned digits) {
  while (digits-- > 0) *out++ = "0123456789ABCDEF"[(value >> (4 * digits)) & 0xF];
  return out;
}

static inline QelLogWriterOffer QelFindLogWriterOffer(FILE** ppStream) {
  QelLogWriterOffer offer = {NULL, NULL};
  char name[sizeof QEL_LOG_WRITER_OFFER_PREFIX + 8 + 1 + 2 * sizeof(void*)];
  char* end = name + sizeof QEL_LOG_WRITER_OFFER_PREFIX - 1;
  HANDLE section;
  const void* view;
  memcpy(name, QEL_LOG_WRITER_OFFER_PREFIX, sizeof QEL_LOG_WRITER_OFFER_PREFIX - 1);
  end = QelLogPutHex(end, GetCurrentProcessId(), 8);
  *end++ = '.';
  end = QelLogPutHex(end, (uintptr_t)ppStream, 2 * sizeof(void*));
  *end = '\0';
  section = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
  if (section == NULL) return offer;
  view = MapViewOfFile(section, FILE_MAP_READ, 0, 0, sizeof offer);
  if (view != NULL) {
    memcpy(&offer, view, sizeof offer);
    UnmapViewOfFile(view);
  }
  CloseHandle(section);
  return offer;
}

/* Text bytes escaped at a time; a longer text is written in pieces, all in its one line. */
#define QEL_LOG_PIECE_BYTES 1024

/* Writes one line stamped `at` into stream through write, then flush; returns the bytes written. The
   stream belongs to msvcrt.dll, hence its own fwrite and fflush (see QelSharedLog). */
static inline size_t QelLogWriteLineAt(size_t(__cdecl* write)(const void*, size_t, size_t, FILE*),
                                       int(__cdecl* flush)(FILE*), FILE* stream, const SYSTEMTIME* at,
                                       const char* text, size_t length) {
  char line[22 + QEL_LOG_PIECE_BYTES * QEL_LOG_ESCAPE_MAX_GROWTH + 2];
  char* end = line + snprintf(line, 23, "%02u/%02u/%02u-%02u:%02u:%02u.%03u ", (unsigned)at->wMonth,
                              (unsigned)at->wDay, (unsigned)(at->wYear % 100), (unsigned)at->wHour,
                              (unsigned)at->wMinute, (unsigned)at->wSecond, (unsigned)at->wMilliseconds);
  size_t written = 0;
  for (;;) {
    const size_t piece = length < QEL_LOG_PIECE_BYTES ? length : QEL_LOG_PIECE_BYTES;
    end = QelLogEscape(text, piece, end);
    text += piece;
    length -= piece;
    if (length == 0) break;
    written += write(line, 1, (size_t)(end - line), stream);
    end = line;
  }
  *end++ = '\r';
  *end++ = '\n';
  written += write(line, 1, (size_t)(end - line), stream);
  flush(stream);
  return written;
}

/* What a plug-in keeps of the shared log: one for the plug-in, static (so zero before the first call).
   The stream belongs to msvcrt.dll, so it is written with msvcrt.dll's own fwrite and fflush whatever C
   runtime the plug-in links. */
typedef struct QelSharedLog {
  FILE** ppStream; /* set once, by the first QelSharedLogOpen, last of all; then never changed */
  volatile LONG level;
  CRITICAL_SECTION* pLock;
  HANDLE section;
  volatile LONG64* lineLock; /* NULL when the system gave no section: lines go without it */
  size_t(__cdecl* write)(const void* data, size_t size, size_t count, FILE* stream);
  int(__cdecl* flush)(FILE* stream);
  volatile LONG state; /* QEL_SHARED_LOG_CLOSED, _OPENING, _OPEN or _CLOSING */
  QelLogWriterOffer offer; /* the library's line writer, when it offers one */
} QelSharedLog;
enum { QEL_SHARED_LOG_CLOSED, QEL_SHARED_LOG_OPENING, QEL_SHARED_LOG_OPEN, QEL_SHARED_LOG_CLOSING };

/* Hand it ProxySetLogFile's arguments at every call. The first call finds msvcrt.dll's stream functions,
   maps the line lock's section and keeps the addresses; every later one (the next control's, while
   earlier proxies write) updates the level only, so nothing a writer reads is cleared or moved and no
   handle is taken again. 1 when the log is open; 0 when an address is NULL or msvcrt.dll's functions
   cannot be found (the log then stays silent, and a later call tries again). */
static inline int QelSharedLogOpen(QelSharedLog* log, FILE** ppStream, LONG level, CRITICAL_SECTION* pLock) {
  if (ppStream == NULL || pLock == NULL) return log->state == QEL_SHARED_LOG_OPEN;
  while (InterlockedCompareExchange(&log->state, QEL_SHARED_LOG_OPENING, QEL_SHARED_LOG_CLOSED) !=
         QEL_SHARED_LOG_CLOSED) {
    if (log->state == QEL_SHARED_LOG_OPEN) {
      InterlockedExchange(&log->level, level);
      return 1;
    }
    Sleep(0); /* another thread opens or closes it right now */
  }
  if (!QelMsvcrtFunction("fwrite", &log->write) || !QelMsvcrtFunction("fflush", &log->flush)) {
    InterlockedExchange(&log->state, QEL_SHARED_LOG_CLOSED);
    return 0;
  }
  log->section = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(LONG64),
                                    QEL_LOG_LINE_LOCK_NAME);
  if (log->section != NULL)
    log->lineLock = (volatile LONG64*)MapViewOfFile(log->section, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(LONG64));
  log->level = level;
  log->pLock = pLock;
  log->offer = QelFindLogWriterOffer(ppStream);
  /* Last, so a writer that sees the stream's address sees everything else. */
  InterlockedExchangePointer((PVOID volatile*)&log->ppStream, ppStream);
  InterlockedExchange(&log->state, QEL_SHARED_LOG_OPEN);
  return 1;
}

/* At unload (DLL_PROCESS_DETACH), after the last line of every thread: unmaps and closes what the first
   QelSharedLogOpen took. A second call, or one without an open, does nothing. */
static inline void QelSharedLogClose(QelSharedLog* log) {
  if (InterlockedCompareExchange(&log->state, QEL_SHARED_LOG_CLOSING, QEL_SHARED_LOG_OPEN) != QEL_SHARED_LOG_OPEN)
    return;
  InterlockedExchangePointer((PVOID volatile*)&log->ppStream, NULL);
  if (log->lineLock != NULL) UnmapViewOfFile((const void*)log->lineLock);
  if (log->section != NULL) CloseHandle(log->section);
  log->lineLock = NULL;
  log->section = NULL;
  InterlockedExchange(&log->state, QEL_SHARED_LOG_CLOSED);
}

/* One line at `level` (1 to 3), by the rules above: through the library's writer when it offers one. */
static inline void QelSharedLogWrite(QelSharedLog* log, LONG level, const char* text) {
  SYSTEMTIME now;
  FILE* stream;
  if (log->ppStream == NULL || log->pLock == NULL || level > log->level) return;
  if (log->offer.writeLine != NULL) {
    log->offer.writeLine(log->offer.log, text);
    return;
  }
  GetLocalTime(&now);
  EnterCriticalSection(log->pLock);
  stream = *log->ppStream;
  if (stream != NULL) {
    const LONG64 mine = log->lineLock != NULL ? QelLogLineLockTake(log->lineLock) : 0;
    QelLogWriteLineAt(log->write, log->flush, stream, &now, text, strlen(text));
    if (log->lineLock != NULL) QelLogLineLockRelease(log->lineLock, mine);
  }
  LeaveCriticalSection(log->pLock);
}

/* ---- For C++ authors -------------------------------------------------------------------------------

   - Include this header as it is and define the exports with QEL_PLUGIN_EXPORT (see "The exports"): its
     prototypes sit in extern "C", which keeps the exported names undecorated. Write DllMain with
     QEL_EXTERN_C: without C linkage the C runtime calls a default one of its own instead, silently.
   - A class that gives the library an IQelVideoProxy must start with exactly the table above: its first
     virtual functions are the 19 slots, in slot order, each __stdcall (QEL_METHOD_CALL). Nothing virtual
     may come before them: a virtual destructor in the interface or a base takes a slot (two with GCC)
     and moves every slot after it, so the library calls Create where it meant Release. Delete the object
     in Release, and give it no virtual destructor in the interface: make the implementing class final,
     so `delete this` destroys what it should (and the compiler has nothing to warn about). The same holds
     for the factory's object (QueryInterface, AddRef, Release).
   - No exception may leave a slot, an export or a thread of yours: the library and the host were built
     without your compiler's exception tables, so one crossing the boundary ends the host's process. Catch
     everything in each and answer a failure (a negative HRESULT, 0 from ProxyFactory, -1 from GetPort).
   - new and delete are yours alone: what goes into the shared structures comes from QelSharedAlloc or
     from a string manager (see "Who frees what").
   - Link the C++ runtime into the DLL (mingw-w64: -static, see BUILDING.txt): the host's folder has no
     libstdc++ or winpthread DLL, and a plug-in that needs one does not load.

   ---- For MSVC authors -------------------------------------------------------------------------------

   - Build for x86 (32-bit) with the default packing: the static asserts above stop a build with another.
   - An MSVC build links its own C runtime, not msvcrt.dll, which owns the log's stream and the shared
     structures' memory: allocate and free that memory with QelSharedAlloc and QelSharedFree, and write
     the log with QelSharedLogWrite, which uses msvcrt.dll's own fwrite and fflush; never hand the stream
     to your runtime's functions.
   - Compile C++ with /EHsc and catch at every boundary (above).
   - `dumpbin /exports` on your DLL must list ProxyFactory and ProxySetLogFile as they are written.
   - sdk\BUILDING.txt has the command lines. */

#ifdef __cplusplus
}
#endif

#endif
