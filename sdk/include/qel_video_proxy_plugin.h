/* QelVorlaProxy proxy plug-in kit: everything a proxy plug-in meets, in one header for C (C99 or later)
   and C++. A proxy plug-in is a 32-bit Windows DLL named QelVideoProxy_WMP.dll, QelVideoProxy_SS.dll or
   QelVideoProxy_VFN.dll (the host's plug-in type 1 loads _SS, type 2 _VFN, any other _WMP) that sits beside
   QelVorlaProxy.dll, which loads it by bare name. It runs the local proxies a player connects to.

   What happens, in order, on the thread that delivers the host's commands (one thread; the library never
   calls a plug-in from two threads at once):
     1. load; ProxySetLogFile(ppStream, level, pLock), once, before any proxy exists;
     2. per source configuration: ProxyFactory(&object); object->QueryInterface(IID_IQelVideoProxy, &proxy);
        object->Release(); proxy->SetCallback(host); proxy->Create(config); proxy->GetPort() (first proxy);
     3. while playing: SetConnectionURL when the host changes a source; on every heartbeat GetConfig,
        GetLastActivityTime and GetByteCount;
     4. at the end: PrepareClose(1) on every proxy, then CloseConnections(1) on every proxy, then one
        Release per proxy; the library destroys its configurations, then unloads the plug-in.
   Your own threads (accepting, relaying) run beside these calls: guard what they share with the calls.

   Build it for 32-bit x86 with the default packing (8): every method is __stdcall with the object as its
   first argument, the two exports are __cdecl, the string manager's slots are thiscall (see QEL_MGR_CALL). */
#ifndef QEL_VIDEO_PROXY_PLUGIN_H
#define QEL_VIDEO_PROXY_PLUGIN_H

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

enum QelConnectionType {
  QEL_CONNECTION_PLUG = 1,   /* through the PLUG hop(s), HTTP CONNECT */
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
  LONG m_nPort;         /* -1 when the URL names none and its scheme has no default */
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
  LONG m_nCurConn;                   /* the connection to use now; -1 until one is set: use 0 */
  QelString m_strPlugHost[2];        /* PLUG hops (HTTP CONNECT proxies); empty when unset */
  LONG m_nPlugPort[2];
  LONG m_nPluginPorts1[2];           /* the plug-in's own */
  QelString m_strSocksHost[2];       /* SOCKS5 hops, in chain order; empty when unset */
  LONG m_nSocksPort[2];
  LONG m_nPluginPorts2[2];           /* the plug-in's own */
  QelString m_strSocksUser;
  QelString m_strSocksPassword;
  BYTE m_bUseSocks5;                 /* non-zero once a SOCKS5 hop is set */
  QelString m_strSecureHeader;
  QelString m_strPlugHeader;         /* a header line to send to the PLUG hop */
  BYTE m_clientKey[QEL_CLIENT_KEY_SIZE];
  LONG m_nClientKeyLen;
  LONG m_nSecureHeaderVersion;
  short m_nPluginShorts1[2];         /* the plug-in's own */
  LONG m_nSessionID1;
  LONG m_nSessionID2;
  BYTE* m_pPluginBuffer;             /* the plug-in's own; from malloc, back with free */
  DWORD m_nPluginBufferSize;
  QelString m_strPluginText1;        /* the plug-in's own text */
  BYTE m_bPluginFlag1;
  QelString m_strPluginText2;        /* the plug-in's own text */
  short m_nPluginShorts2[2];
  DWORD m_nPluginValue;
  BYTE m_bPluginFlag2;
  CRITICAL_SECTION m_cs;             /* guards every field above and below */
  LONG m_nKeyTotal;                  /* slots in m_ppKeys */
  char** m_ppKeys;                   /* the array and each key text: malloc, back with free */
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
   - m_ppKeys, each key text, the connection list's storage, m_pPluginBuffer: msvcrt.dll's free, and you
     make yours with its malloc (an MSVC build links another C runtime: take malloc and free from msvcrt.dll
     with GetProcAddress for these);
   - objects (configurations, connections): never the other side's. The library adds no connection to a
     configuration you made and destroys none of yours; you delete none of the library's.
   - lifetime: the library releases every proxy before it destroys its configurations, and destroys those
     before it unloads you, so your texts in its fields reach your manager while you are loaded. */

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
   function that takes one 32-bit value and returns E_NOTIMPL. */
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
     only if you give it back (Release) before your own last Release returns. */
  HRESULT(QEL_METHOD_CALL* SetCallback)(IQelVideoProxy* This, IQelVideoCBBCallback* pCallback);
  /* 6: never called. */
  HRESULT(QEL_METHOD_CALL* Reserved6)(IQelVideoProxy* This, LONG value);
  /* 7: the local TCP port players connect to (on 127.0.0.1), after Create; the library reports it to the
     host as it is. Negative: no port, and the stream does not start. Only the first proxy is asked. */
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
     Negative: failure, logged. The library does not add it to your configuration for you. */
  HRESULT(QEL_METHOD_CALL* SetConnectionURL)(IQelVideoProxy* This, LONG connIndex, const char* url, LONG type);
  /* 14: bytes carried since the previous call (both directions as you count them), on every heartbeat.
     The library multiplies the sum over its proxies by 8 in 32-bit arithmetic: keep one answer at most
     0x0FFFFFFF and carry the rest into the next. */
  LONG(QEL_METHOD_CALL* GetByteCount)(IQelVideoProxy* This);
  /* 15: never called. */
  HRESULT(QEL_METHOD_CALL* Reserved15)(IQelVideoProxy* This, LONG value);
  /* 16: close every player connection, and with includeProxy 1 (always, today) stop listening too. The
     proxy may be asked again (GetPort, GetByteCount) before its Release. Negative: logged. */
  HRESULT(QEL_METHOD_CALL* CloseConnections)(IQelVideoProxy* This, LONG includeProxy);
  /* 17: called with 1 on every proxy before any of them gets slot 16: stop taking new players. The
     result is ignored. */
  HRESULT(QEL_METHOD_CALL* PrepareClose)(IQelVideoProxy* This, LONG value);
  /* 18: the time of the last activity (bytes carried or a player's connection) in seconds since
     1970-01-01 UTC, as time() gives it; 0 when none yet. A proxy idle long enough is reported idle. */
  LONGLONG(QEL_METHOD_CALL* GetLastActivityTime)(IQelVideoProxy* This);
} IQelVideoProxyVtbl;
struct IQelVideoProxy {
  const IQelVideoProxyVtbl* lpVtbl;
};

/* ---- The exports ----------------------------------------------------------------------------------- */

/* Export both by these undecorated names (a .def file, or __declspec(dllexport) with __cdecl, which
   mingw-w64 and MSVC leave undecorated). */
#define QEL_PROXY_SET_LOG_FILE_EXPORT "ProxySetLogFile"
#define QEL_PROXY_FACTORY_EXPORT "ProxyFactory"

/* The library's log, shared: ppStream is the address of the log's stream pointer (a stream of msvcrt.dll;
   NULL while the log is closed, and replaced, perhaps at the same address, when the log is moved aside);
   level is the log's level, 1 (failures and settings) to 3 (everything): write only lines at or below it;
   pLock is the log's critical section. Called once after loading; all three stay valid until unload.
   The result is nothing. */
typedef void(QEL_EXPORT_CALL* QelProxySetLogFileFn)(FILE** ppStream, LONG level, CRITICAL_SECTION* pLock);
/* Write an object (IUnknown: its table starts QueryInterface, AddRef, Release, __stdcall) to *ppObject
   and return non-zero; 0 for failure. The object answers QueryInterface(IID_IQelVideoProxy) with a NEW
   local proxy holding one reference, which the library keeps; the library then calls the object's Release
   once, so the object carries one reference of its own. */
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

/* What a plug-in keeps of the shared log. The stream belongs to msvcrt.dll, so it is written with
   msvcrt.dll's own fwrite and fflush whatever C runtime the plug-in links. */
typedef struct QelSharedLog {
  FILE** ppStream;
  LONG level;
  CRITICAL_SECTION* pLock;
  HANDLE section;
  volatile LONG64* lineLock; /* NULL when the system gave no section: lines go without it */
  size_t(__cdecl* write)(const void* data, size_t size, size_t count, FILE* stream);
  int(__cdecl* flush)(FILE* stream);
  QelLogWriterOffer offer; /* the library's line writer, when it offers one */
} QelSharedLog;

/* Keeps ProxySetLogFile's arguments and maps the line lock's section. 0 when msvcrt.dll's stream
   functions cannot be found (the log then stays silent). */
static inline int QelSharedLogOpen(QelSharedLog* log, FILE** ppStream, LONG level, CRITICAL_SECTION* pLock) {
  HMODULE crt = GetModuleHandleA("msvcrt.dll");
  FARPROC write, flush;
  memset(log, 0, sizeof *log);
  if (crt == NULL) crt = LoadLibraryA("msvcrt.dll");
  if (crt == NULL) return 0;
  write = GetProcAddress(crt, "fwrite");
  flush = GetProcAddress(crt, "fflush");
  if (write == NULL || flush == NULL) return 0;
  memcpy(&log->write, &write, sizeof write); /* a FARPROC is the address of any function */
  memcpy(&log->flush, &flush, sizeof flush);
  log->section = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(LONG64),
                                    QEL_LOG_LINE_LOCK_NAME);
  if (log->section != NULL)
    log->lineLock = (volatile LONG64*)MapViewOfFile(log->section, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(LONG64));
  log->ppStream = ppStream;
  log->level = level;
  log->pLock = pLock;
  if (ppStream != NULL) log->offer = QelFindLogWriterOffer(ppStream);
  return 1;
}

/* At unload (DLL_PROCESS_DETACH), after the last line. */
static inline void QelSharedLogClose(QelSharedLog* log) {
  if (log->lineLock != NULL) UnmapViewOfFile((const void*)log->lineLock);
  if (log->section != NULL) CloseHandle(log->section);
  memset(log, 0, sizeof *log);
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

#ifdef __cplusplus
}
#endif

#endif
