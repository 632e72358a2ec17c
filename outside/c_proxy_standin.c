/* A proxy plug-in written in C against the published layout of the source configuration alone, the way a
   plug-in built apart from the control library meets it: no header of the library, every field read and
   written at its byte offset, strings made by a string manager of its own. It tells a test what it read
   (LayoutStandInReport) and counts what its manager allocated and freed, so a test can see that no text
   is ever freed by a manager that did not allocate it. Windows targets only; the 64-bit offsets stand
   beside the 32-bit ones so the same logic also runs where 32-bit code cannot. */
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* ---- The published layout ---------------------------------------------------------------------------- */

#ifdef _WIN64
enum {
  PTR = 8,
  CFG_CONNECTIONS = 8, CFG_CUR_CONN = 40, CFG_PLUG_HOST = 48, CFG_PLUG_PORT = 64, CFG_SOCKS_HOST = 80,
  CFG_SOCKS_PORT = 96, CFG_SOCKS_USER = 112, CFG_SOCKS_PASSWORD = 120, CFG_USE_SOCKS5 = 128,
  CFG_SECURE_HEADER = 136, CFG_PLUG_HEADER = 144, CFG_CLIENT_KEY = 152, CFG_CLIENT_KEY_LEN = 172,
  CFG_HEADER_VERSION = 176, CFG_SESSION_ID1 = 184, CFG_SESSION_ID2 = 188, CFG_UNUSED_TEXT1 = 208,
  CFG_UNUSED_TEXT2 = 224, CFG_CS = 248, CFG_KEY_TOTAL = 288, CFG_KEYS = 296, CFG_KEY_COUNT = 304, CFG_SIZE = 312,
  CONN_URL = 8, CONN_HOST = 16, CONN_PORT = 24, CONN_TYPE = 28, CONN_UNUSED3 = 40, CONN_OTHER_SCHEME = 44,
  CONN_NSC = 45, CONN_SIZE = 48
};
#else
enum {
  PTR = 4,
  CFG_CONNECTIONS = 4, CFG_CUR_CONN = 20, CFG_PLUG_HOST = 24, CFG_PLUG_PORT = 32, CFG_SOCKS_HOST = 48,
  CFG_SOCKS_PORT = 56, CFG_SOCKS_USER = 72, CFG_SOCKS_PASSWORD = 76, CFG_USE_SOCKS5 = 80,
  CFG_SECURE_HEADER = 84, CFG_PLUG_HEADER = 88, CFG_CLIENT_KEY = 92, CFG_CLIENT_KEY_LEN = 112,
  CFG_HEADER_VERSION = 116, CFG_SESSION_ID1 = 124, CFG_SESSION_ID2 = 128, CFG_UNUSED_TEXT1 = 140,
  CFG_UNUSED_TEXT2 = 148, CFG_CS = 164, CFG_KEY_TOTAL = 188, CFG_KEYS = 192, CFG_KEY_COUNT = 196, CFG_SIZE = 200,
  CONN_URL = 4, CONN_HOST = 8, CONN_PORT = 12, CONN_TYPE = 16, CONN_UNUSED3 = 28, CONN_OTHER_SCHEME = 32,
  CONN_NSC = 33, CONN_SIZE = 36
};
#endif
/* The vector: allocator word, begin, end, end of storage. */
enum {
  VEC_BEGIN = CFG_CONNECTIONS + PTR, VEC_END = CFG_CONNECTIONS + 2 * PTR, VEC_CAPACITY = CFG_CONNECTIONS + 3 * PTR
};
enum { CLIENT_KEY_SIZE = 20 };

#define FIELD(object, offset, type) (*(type*)((unsigned char*)(object) + (offset)))

/* The class library calls a string manager's operations as member functions: `thiscall` on 32-bit x86
   (this in ECX, the rest on the stack, popped by the callee). C has no thiscall for plain functions, but
   fastcall with an unused second argument, which travels in EDX, is the same call on every compiler. */
#if defined(__i386__) || defined(_M_IX86)
#define MGR_CALL __fastcall
#define MGR_EDX int edx,
#define MGR_EDX_ARG 0,
#define MGR_EDX_UNUSED (void)edx
#else
#define MGR_CALL
#define MGR_EDX
#define MGR_EDX_ARG
#define MGR_EDX_UNUSED (void)0
#endif

/* ---- Strings and their manager ------------------------------------------------------------------------ */

typedef struct Manager Manager;
typedef struct StringData {
  Manager* manager;
  int length;
  int allocLength;
  LONG refs;
} StringData;

typedef struct ManagerSlots {
  StringData*(MGR_CALL* Allocate)(Manager* self, MGR_EDX int allocLength, int charSize);
  void(MGR_CALL* Free)(Manager* self, MGR_EDX StringData* data);
  StringData*(MGR_CALL* Reallocate)(Manager* self, MGR_EDX StringData* data, int allocLength, int charSize);
  StringData*(MGR_CALL* GetNilString)(Manager* self);
  Manager*(MGR_CALL* Clone)(Manager* self);
} ManagerSlots;
struct Manager {
  const ManagerSlots* slots;
};
static Manager g_manager;

/* The shared empty text starts with a reference nobody holds, so it is never freed. */
static struct NilBlock {
  StringData header;
  char nul[4];
} g_nil = {{&g_manager, 0, 0, 2}, {0}};

static struct {
  LONG allocated;
  LONG freed;
  LONG refused;      /* frees of blocks this manager never allocated (or already freed) */
  LONG unexpected;   /* slots nobody should call */
  LONG toOthers;     /* texts this plug-in let go of that went back to another manager */
  LONG configsFreed;
} g_counts;

enum { MAX_BLOCKS = 256 };
static StringData* g_blocks[MAX_BLOCKS];
static int g_blockCount;

static int FindBlock(const StringData* data) {
  int i;
  for (i = 0; i < g_blockCount; ++i)
    if (g_blocks[i] == data) return i;
  return -1;
}

static StringData* MGR_CALL MgrAllocate(Manager* self, MGR_EDX int allocLength, int charSize) {
  StringData* data;
  MGR_EDX_UNUSED;
  if (allocLength < 0 || charSize <= 0 || g_blockCount == MAX_BLOCKS) return NULL;
  data = (StringData*)malloc(sizeof(StringData) + ((size_t)allocLength + 1) * (size_t)charSize);
  if (data == NULL) return NULL;
  data->manager = self;
  data->length = 0;
  data->allocLength = allocLength;
  data->refs = 1;
  memset(data + 1, 0, (size_t)charSize);
  g_blocks[g_blockCount++] = data;
  ++g_counts.allocated;
  return data;
}

static void MGR_CALL MgrFree(Manager* self, MGR_EDX StringData* data) {
  const int index = FindBlock(data);
  MGR_EDX_UNUSED;
  (void)self;
  if (index < 0) {
    ++g_counts.refused;
    return;
  }
  g_blocks[index] = g_blocks[--g_blockCount];
  free(data);
  ++g_counts.freed;
}

static StringData* MGR_CALL MgrReallocate(Manager* self, MGR_EDX StringData* data, int allocLength, int charSize) {
  MGR_EDX_UNUSED;
  (void)self, (void)data, (void)allocLength, (void)charSize;
  ++g_counts.unexpected;
  return NULL;
}

static StringData* MGR_CALL MgrGetNilString(Manager* self) {
  (void)self;
  InterlockedIncrement(&g_nil.header.refs);
  return &g_nil.header;
}

static Manager* MGR_CALL MgrClone(Manager* self) { return self; }

static const ManagerSlots g_managerSlots = {MgrAllocate, MgrFree, MgrReallocate, MgrGetNilString, MgrClone};
static Manager g_manager = {&g_managerSlots};  /* declared above, for the empty text */

static StringData* Header(const char* chars) { return (StringData*)chars - 1; }

static char* OwnText(const char* text) {
  const size_t length = strlen(text);
  StringData* data;
  if (length == 0) return (char*)(MgrGetNilString(&g_manager) + 1);
  data = MgrAllocate(&g_manager, MGR_EDX_ARG(int) length, 1);
  if (data == NULL) return (char*)(MgrGetNilString(&g_manager) + 1);
  memcpy(data + 1, text, length + 1);
  data->length = (int)length;
  return (char*)(data + 1);
}

/* As the class library lets go of a string: the last reference goes back to the manager in its header. */
static void ReleaseText(char* chars) {
  StringData* data = Header(chars);
  Manager* manager = data->manager;
  if (InterlockedDecrement(&data->refs) > 0) return;
  if (manager != &g_manager) ++g_counts.toOthers;
  manager->slots->Free(manager, MGR_EDX_ARG data);
}

/* ---- Reports ------------------------------------------------------------------------------------------ */

typedef struct Report {
  char text[4096];
  size_t used;
} Report;

static Report g_createReport, g_configReport;

#if defined(__GNUC__)
#define STANDIN_PRINTF_FORMAT __attribute__((format(gnu_printf, 2, 3)))
#else
#define STANDIN_PRINTF_FORMAT
#endif

static void Append(Report* report, const char* format, ...) STANDIN_PRINTF_FORMAT;
static void Append(Report* report, const char* format, ...) {
  va_list args;
  int written;
  if (report->used >= sizeof report->text) return;
  va_start(args, format);
  written = vsnprintf(report->text + report->used, sizeof report->text - report->used, format, args);
  va_end(args);
  if (written > 0) report->used += (size_t)written;
}

/* A text whose header disagrees with its characters is reported as such. */
static const char* Text(const char* chars) {
  return Header(chars)->length == (int)strlen(chars) ? chars : "<length mismatch>";
}

static void ReadConnections(Report* report, unsigned char* config) {
  unsigned char** begin = FIELD(config, VEC_BEGIN, unsigned char**);
  unsigned char** end = FIELD(config, VEC_END, unsigned char**);
  unsigned char** at;
  for (at = begin; at != end; ++at) {
    unsigned char* conn = *at;
    if (conn == NULL) continue;
    Append(report, "connection %d: url=%s host=%s port=%ld type=%ld other=%d nsc=%d\n", (int)(at - begin),
           Text(FIELD(conn, CONN_URL, char*)), Text(FIELD(conn, CONN_HOST, char*)), (long)FIELD(conn, CONN_PORT, LONG),
           (long)FIELD(conn, CONN_TYPE, LONG), FIELD(conn, CONN_OTHER_SCHEME, unsigned char),
           FIELD(conn, CONN_NSC, unsigned char));
  }
}

static void ReadClientKey(Report* report, unsigned char* config) {
  const LONG length = FIELD(config, CFG_CLIENT_KEY_LEN, LONG);
  LONG i;
  Append(report, "client key %ld:", (long)length);
  for (i = 0; i < length && i < CLIENT_KEY_SIZE; ++i) Append(report, " %02X", config[CFG_CLIENT_KEY + i]);
  Append(report, "\n");
}

static void ReadKeys(Report* report, unsigned char* config) {
  char** keys = FIELD(config, CFG_KEYS, char**);
  const LONG count = FIELD(config, CFG_KEY_COUNT, LONG);
  LONG i;
  Append(report, "keys %ld of %ld:", (long)count, (long)FIELD(config, CFG_KEY_TOTAL, LONG));
  for (i = 0; keys != NULL && i < count; ++i) Append(report, " %s", keys[i]);
  Append(report, "\n");
}

/* Everything the control library sets, read under the configuration's own lock. */
static void ReadConfig(Report* report, unsigned char* config) {
  CRITICAL_SECTION* lock = &FIELD(config, CFG_CS, CRITICAL_SECTION);
  EnterCriticalSection(lock);
  report->used = 0;
  report->text[0] = '\0';
  ReadConnections(report, config);
  Append(report, "current %ld\n", (long)FIELD(config, CFG_CUR_CONN, LONG));
  Append(report, "plug %s:%ld %s:%ld header %s\n", Text(FIELD(config, CFG_PLUG_HOST, char*)),
         (long)FIELD(config, CFG_PLUG_PORT, LONG), Text(FIELD(config, CFG_PLUG_HOST + PTR, char*)),
         (long)FIELD(config, CFG_PLUG_PORT + 4, LONG), Text(FIELD(config, CFG_PLUG_HEADER, char*)));
  Append(report, "socks5 %s:%ld %s:%ld user %s password %s on %d\n", Text(FIELD(config, CFG_SOCKS_HOST, char*)),
         (long)FIELD(config, CFG_SOCKS_PORT, LONG), Text(FIELD(config, CFG_SOCKS_HOST + PTR, char*)),
         (long)FIELD(config, CFG_SOCKS_PORT + 4, LONG), Text(FIELD(config, CFG_SOCKS_USER, char*)),
         Text(FIELD(config, CFG_SOCKS_PASSWORD, char*)), FIELD(config, CFG_USE_SOCKS5, unsigned char));
  Append(report, "secure header %s version %ld\n", Text(FIELD(config, CFG_SECURE_HEADER, char*)),
         (long)FIELD(config, CFG_HEADER_VERSION, LONG));
  ReadClientKey(report, config);
  Append(report, "sessions %ld %ld\n", (long)FIELD(config, CFG_SESSION_ID1, LONG),
         (long)FIELD(config, CFG_SESSION_ID2, LONG));
  ReadKeys(report, config);
  LeaveCriticalSection(lock);
}

/* ---- The plug-in's own configuration ------------------------------------------------------------------ */

/* The virtual table of the plug-in's objects: a destructor the other side never calls. */
static void OwnObjectDestructor(void) { ++g_counts.unexpected; }
static void (*const g_objectSlots[1])(void) = {OwnObjectDestructor};

static const int g_textOffsets[] = {CFG_PLUG_HOST, CFG_PLUG_HOST + PTR, CFG_SOCKS_HOST, CFG_SOCKS_HOST + PTR,
                                    CFG_SOCKS_USER, CFG_SOCKS_PASSWORD, CFG_SECURE_HEADER, CFG_PLUG_HEADER,
                                    CFG_UNUSED_TEXT1, CFG_UNUSED_TEXT2};
static const char* const g_ownTexts[] = {"own-plug-1", "own-plug-2", "own-socks-1", "own-socks-2", "own-user",
                                         "own-password", "own-header", "own-plug-header", "", ""};
enum { TEXT_COUNT = sizeof g_textOffsets / sizeof g_textOffsets[0] };

static unsigned char* CopyConnection(unsigned char* from) {
  unsigned char* conn = (unsigned char*)calloc(1, CONN_SIZE);
  if (conn == NULL) return NULL;
  FIELD(conn, 0, const void*) = g_objectSlots;
  FIELD(conn, CONN_URL, char*) = OwnText(FIELD(from, CONN_URL, char*));
  FIELD(conn, CONN_HOST, char*) = OwnText(FIELD(from, CONN_HOST, char*));
  FIELD(conn, CONN_PORT, LONG) = FIELD(from, CONN_PORT, LONG);
  FIELD(conn, CONN_TYPE, LONG) = FIELD(from, CONN_TYPE, LONG);
  FIELD(conn, CONN_UNUSED3, LONG) = -1;
  conn[CONN_OTHER_SCHEME] = from[CONN_OTHER_SCHEME];
  conn[CONN_NSC] = from[CONN_NSC];
  return conn;
}

/* The library's connections, copied with this plug-in's own strings into storage from the shared heap. */
static void CopyConnections(unsigned char* config, unsigned char* from) {
  unsigned char** begin = FIELD(from, VEC_BEGIN, unsigned char**);
  const size_t count = (size_t)(FIELD(from, VEC_END, unsigned char**) - begin);
  unsigned char** storage = (unsigned char**)malloc((count > 0 ? count : 1) * sizeof *storage);
  size_t i, kept = 0;
  if (storage == NULL) return;
  for (i = 0; i < count; ++i)
    if (begin[i] != NULL && (storage[kept] = CopyConnection(begin[i])) != NULL) ++kept;
  FIELD(config, VEC_BEGIN, unsigned char**) = storage;
  FIELD(config, VEC_END, unsigned char**) = storage + kept;
  FIELD(config, VEC_CAPACITY, unsigned char**) = storage + (count > 0 ? count : 1);
}

static unsigned char* MakeOwnConfig(unsigned char* from) {
  unsigned char* config = (unsigned char*)calloc(1, CFG_SIZE);
  char** keys;
  int i;
  if (config == NULL) return NULL;
  FIELD(config, 0, const void*) = g_objectSlots;
  InitializeCriticalSection(&FIELD(config, CFG_CS, CRITICAL_SECTION));
  EnterCriticalSection(&FIELD(from, CFG_CS, CRITICAL_SECTION));
  CopyConnections(config, from);
  FIELD(config, CFG_CUR_CONN, LONG) = FIELD(from, CFG_CUR_CONN, LONG);
  LeaveCriticalSection(&FIELD(from, CFG_CS, CRITICAL_SECTION));
  for (i = 0; i < TEXT_COUNT; ++i) FIELD(config, g_textOffsets[i], char*) = OwnText(g_ownTexts[i]);
  FIELD(config, CFG_PLUG_PORT, LONG) = FIELD(config, CFG_PLUG_PORT + 4, LONG) = 1;
  FIELD(config, CFG_SOCKS_PORT, LONG) = FIELD(config, CFG_SOCKS_PORT + 4, LONG) = 2;
  FIELD(config, CFG_HEADER_VERSION, LONG) = 9;
  FIELD(config, CFG_SESSION_ID1, LONG) = 77;
  FIELD(config, CFG_SESSION_ID2, LONG) = 88;
  keys = (char**)malloc(sizeof *keys);
  if (keys != NULL && (keys[0] = (char*)malloc(sizeof "own-key")) != NULL) {
    memcpy(keys[0], "own-key", sizeof "own-key");
    FIELD(config, CFG_KEYS, char**) = keys;
    FIELD(config, CFG_KEY_TOTAL, LONG) = FIELD(config, CFG_KEY_COUNT, LONG) = 1;
  } else {
    free(keys);
  }
  return config;
}

/* The plug-in lets go of its configuration as its class library would: every text through the manager in
   its header, whichever side wrote it last; the arrays back to the shared heap. */
static void FreeOwnConfig(unsigned char* config) {
  unsigned char** at;
  char** keys = FIELD(config, CFG_KEYS, char**);
  LONG i;
  for (i = 0; i < TEXT_COUNT; ++i) ReleaseText(FIELD(config, g_textOffsets[i], char*));
  for (at = FIELD(config, VEC_BEGIN, unsigned char**); at != FIELD(config, VEC_END, unsigned char**); ++at) {
    ReleaseText(FIELD(*at, CONN_URL, char*));
    ReleaseText(FIELD(*at, CONN_HOST, char*));
    free(*at);
  }
  free(FIELD(config, VEC_BEGIN, unsigned char**));
  for (i = 0; keys != NULL && i < FIELD(config, CFG_KEY_COUNT, LONG); ++i) free(keys[i]);
  free(keys);
  DeleteCriticalSection(&FIELD(config, CFG_CS, CRITICAL_SECTION));
  free(config);
  ++g_counts.configsFreed;
}

/* A text of this plug-in in a field the library leaves alone, so the library frees one of its strings. */
static void WriteIntoLibraryConfig(unsigned char* config) {
  CRITICAL_SECTION* lock = &FIELD(config, CFG_CS, CRITICAL_SECTION);
  char* old;
  EnterCriticalSection(lock);
  old = FIELD(config, CFG_UNUSED_TEXT1, char*);
  FIELD(config, CFG_UNUSED_TEXT1, char*) = OwnText("written-by-plug-in");
  ReleaseText(old);
  LeaveCriticalSection(lock);
}

/* ---- The local proxy ---------------------------------------------------------------------------------- */

static const GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID kIidProxy = {0x35013793, 0x9535, 0x4B3A, {0x93, 0x00, 0xB5, 0x1E, 0xF2, 0xF0, 0x4E, 0x9B}};

typedef struct Proxy Proxy;
typedef struct ProxySlots {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(Proxy* self, const GUID* iid, void** ppv);
  ULONG(STDMETHODCALLTYPE* AddRef)(Proxy* self);
  ULONG(STDMETHODCALLTYPE* Release)(Proxy* self);
  HRESULT(STDMETHODCALLTYPE* Create)(Proxy* self, unsigned char* config);
  HRESULT(STDMETHODCALLTYPE* Reserved4)(Proxy* self, LONG value);
  HRESULT(STDMETHODCALLTYPE* SetCallback)(Proxy* self, void* callback);
  HRESULT(STDMETHODCALLTYPE* Reserved6)(Proxy* self, LONG value);
  LONG(STDMETHODCALLTYPE* GetPort)(Proxy* self);
  unsigned char*(STDMETHODCALLTYPE* GetConfig)(Proxy* self);
  HRESULT(STDMETHODCALLTYPE* Reserved9to12[4])(Proxy* self, LONG value);
  HRESULT(STDMETHODCALLTYPE* SetConnectionURL)(Proxy* self, LONG connIndex, const char* url, LONG type);
  LONG(STDMETHODCALLTYPE* GetByteCount)(Proxy* self);
  HRESULT(STDMETHODCALLTYPE* Reserved15)(Proxy* self, LONG value);
  HRESULT(STDMETHODCALLTYPE* CloseConnections)(Proxy* self, LONG includeProxy);
  HRESULT(STDMETHODCALLTYPE* PrepareClose)(Proxy* self, LONG value);
  LONGLONG(STDMETHODCALLTYPE* GetLastActivityTime)(Proxy* self);
} ProxySlots;
struct Proxy {
  const ProxySlots* slots;
  LONG refs;
  unsigned char* config; /* this plug-in's own, made at Create */
};

static HRESULT STDMETHODCALLTYPE ProxyQueryInterface(Proxy* self, const GUID* iid, void** ppv) {
  if (ppv == NULL) return E_POINTER;
  *ppv = NULL;
  if (memcmp(iid, &kIidProxy, sizeof(GUID)) != 0 && memcmp(iid, &kIidUnknown, sizeof(GUID)) != 0)
    return E_NOINTERFACE;
  InterlockedIncrement(&self->refs);
  *ppv = self;
  return S_OK;
}
static ULONG STDMETHODCALLTYPE ProxyAddRef(Proxy* self) { return (ULONG)InterlockedIncrement(&self->refs); }
static ULONG STDMETHODCALLTYPE ProxyRelease(Proxy* self) {
  const LONG refs = InterlockedDecrement(&self->refs);
  if (refs == 0) {
    if (self->config != NULL) FreeOwnConfig(self->config);
    free(self);
  }
  return (ULONG)refs;
}
static HRESULT STDMETHODCALLTYPE ProxyCreate(Proxy* self, unsigned char* config) {
  if (config == NULL || self->config != NULL) return E_FAIL;
  ReadConfig(&g_createReport, config);
  WriteIntoLibraryConfig(config);
  self->config = MakeOwnConfig(config);
  return self->config != NULL ? S_OK : E_OUTOFMEMORY;
}
static HRESULT STDMETHODCALLTYPE ProxyReserved(Proxy* self, LONG value) {
  (void)self, (void)value;
  ++g_counts.unexpected;
  return E_NOTIMPL;
}
/* Holds no reference on the callback, so it has none to give back. */
static HRESULT STDMETHODCALLTYPE ProxySetCallback(Proxy* self, void* callback) {
  (void)self, (void)callback;
  return S_OK;
}
static LONG STDMETHODCALLTYPE ProxyGetPort(Proxy* self) {
  (void)self;
  return 8200;
}
static unsigned char* STDMETHODCALLTYPE ProxyGetConfig(Proxy* self) {
  if (self->config != NULL) ReadConfig(&g_configReport, self->config);
  return self->config;
}
static HRESULT STDMETHODCALLTYPE ProxySetConnectionURL(Proxy* self, LONG connIndex, const char* url, LONG type) {
  (void)self, (void)connIndex, (void)url, (void)type;
  return S_OK;
}
static LONG STDMETHODCALLTYPE ProxyGetByteCount(Proxy* self) {
  (void)self;
  return 0;
}
static HRESULT STDMETHODCALLTYPE ProxyTakesValue(Proxy* self, LONG value) {
  (void)self, (void)value;
  return S_OK;
}
static LONGLONG STDMETHODCALLTYPE ProxyGetLastActivityTime(Proxy* self) {
  (void)self;
  return 0;
}

static const ProxySlots g_proxySlots = {
    ProxyQueryInterface, ProxyAddRef,    ProxyRelease,      ProxyCreate,
    ProxyReserved,       ProxySetCallback, ProxyReserved,   ProxyGetPort,
    ProxyGetConfig,      {ProxyReserved, ProxyReserved, ProxyReserved, ProxyReserved},
    ProxySetConnectionURL, ProxyGetByteCount, ProxyReserved, ProxyTakesValue,
    ProxyTakesValue,     ProxyGetLastActivityTime};

/* ---- The factory object and the exports --------------------------------------------------------------- */

typedef struct Factory Factory;
typedef struct FactorySlots {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(Factory* self, const GUID* iid, void** ppv);
  ULONG(STDMETHODCALLTYPE* AddRef)(Factory* self);
  ULONG(STDMETHODCALLTYPE* Release)(Factory* self);
} FactorySlots;
struct Factory {
  const FactorySlots* slots;
  LONG refs;
};

static ULONG STDMETHODCALLTYPE FactoryAddRef(Factory* self) { return (ULONG)InterlockedIncrement(&self->refs); }
static ULONG STDMETHODCALLTYPE FactoryRelease(Factory* self) {
  const LONG refs = InterlockedDecrement(&self->refs);
  if (refs == 0) free(self);
  return (ULONG)refs;
}
/* Each query for the proxy interface makes a new local proxy with one reference. */
static HRESULT STDMETHODCALLTYPE FactoryQueryInterface(Factory* self, const GUID* iid, void** ppv) {
  Proxy* proxy;
  if (ppv == NULL) return E_POINTER;
  *ppv = NULL;
  if (memcmp(iid, &kIidUnknown, sizeof(GUID)) == 0) {
    FactoryAddRef(self);
    *ppv = self;
    return S_OK;
  }
  if (memcmp(iid, &kIidProxy, sizeof(GUID)) != 0) return E_NOINTERFACE;
  proxy = (Proxy*)calloc(1, sizeof *proxy);
  if (proxy == NULL) return E_OUTOFMEMORY;
  proxy->slots = &g_proxySlots;
  proxy->refs = 1;
  *ppv = proxy;
  return S_OK;
}
static const FactorySlots g_factorySlots = {FactoryQueryInterface, FactoryAddRef, FactoryRelease};

__declspec(dllexport) void __cdecl ProxySetLogFile(FILE** ppStream, LONG level, CRITICAL_SECTION* pLock) {
  (void)ppStream, (void)level, (void)pLock;
}

__declspec(dllexport) LONG __cdecl ProxyFactory(void** ppObject) {
  Factory* factory;
  if (ppObject == NULL) return 0;
  factory = (Factory*)calloc(1, sizeof *factory);
  *ppObject = factory;
  if (factory == NULL) return 0;
  factory->slots = &g_factorySlots;
  factory->refs = 1;
  return 1;
}

/* What the plug-in read, as text: 0 the library's configuration at Create, 1 its own at the last
   GetConfig, 2 its string manager's counts. */
__declspec(dllexport) void __cdecl LayoutStandInReport(int which, char* out, int size) {
  Report counts;
  const Report* report = which == 0 ? &g_createReport : which == 1 ? &g_configReport : &counts;
  if (report == &counts) {
    counts.used = 0;
    counts.text[0] = '\0';
    Append(&counts,
           "allocated %ld freed %ld live %d refused %ld unexpected %ld to other managers %ld configs freed %ld",
           (long)g_counts.allocated, (long)g_counts.freed, g_blockCount, (long)g_counts.refused,
           (long)g_counts.unexpected, (long)g_counts.toOthers, (long)g_counts.configsFreed);
  }
  if (out != NULL && size > 0) snprintf(out, (size_t)size, "%s", report->text);
}
