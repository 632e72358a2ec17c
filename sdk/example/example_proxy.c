/* A small proxy plug-in built from qel_video_proxy_plugin.h alone, in C that also compiles as C++. Each
   local proxy listens on 127.0.0.1 on a port the system chooses and carries every connection a player
   opens there, byte for byte, to the current connection's host and port. It counts the bytes for the
   heartbeat, keeps the time of the last activity, leaves the last source it reached in the configuration's
   plug-in buffer and writes its events into the library's log. ..\BUILDING.txt has the command lines. */
#include <winsock2.h>
#include <ws2tcpip.h>

#include "qel_video_proxy_plugin.h"

#include <stdarg.h>
#include <stdlib.h>
#include <time.h>

#define EXAMPLE_NAME "Example proxy"
enum { MAX_PLAYERS = 16, MAX_HOST = 256 };

static QelSharedLog g_log;
static LONG g_proxyCount;

static void LogF(LONG level, const char* format, ...) {
  char text[600];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  QelSharedLogWrite(&g_log, level, text);
}

/* ---- One local proxy ----------------------------------------------------------------------------- */

typedef struct Player {
  SOCKET player;
  SOCKET source;
  HANDLE thread;
} Player;

typedef struct Proxy {
  IQelVideoProxy base;
  LONG refs;
  LONG number;
  CSrcConfig* config; /* the library's, alive until our last Release */
  CRITICAL_SECTION lock; /* guards the fields below */
  SOCKET listener;
  HANDLE acceptThread;
  LONG port;
  int closing;
  Player players[MAX_PLAYERS];
  LONG64 carried;  /* every byte, both ways */
  LONG64 reported; /* what GetByteCount has handed out */
  LONG64 lastActivity;
} Proxy;

static void Touch(Proxy* proxy) { InterlockedExchange64(&proxy->lastActivity, (LONG64)time(NULL)); }

/* The port of the URL's scheme, -1 for a scheme without one. The library fills in only http's, https's
   and ftp's; a URL of another scheme that names no port reaches a proxy with port 0. */
static LONG SchemeDefaultPort(const char* url) {
  static const struct {
    const char* scheme;
    LONG port;
  } kDefaults[] = {{"http", 80}, {"https", 443}, {"rtmp", 1935}, {"rtmps", 443}, {"rtmpe", 1935},
                   {"rtsp", 554}, {"mms", 1755}};
  const char* end = strstr(url, "://");
  const size_t length = end != NULL ? (size_t)(end - url) : 0;
  size_t i;
  for (i = 0; i < sizeof kDefaults / sizeof kDefaults[0]; ++i)
    if (length > 0 && strlen(kDefaults[i].scheme) == length && _strnicmp(url, kDefaults[i].scheme, length) == 0)
      return kDefaults[i].port;
  return -1;
}

/* The current connection's host and port, read under the configuration's own lock. */
static int CurrentSource(Proxy* proxy, char* host, LONG* port) {
  CSrcConnection* connection;
  int found = 0;
  EnterCriticalSection(&proxy->config->m_cs);
  connection = QelCurrentConnection(proxy->config);
  if (connection != NULL && QelStringHeader(connection->m_strHost)->nDataLength > 0 &&
      QelStringHeader(connection->m_strHost)->nDataLength < MAX_HOST) {
    memcpy(host, connection->m_strHost, (size_t)QelStringHeader(connection->m_strHost)->nDataLength + 1);
    *port = connection->m_nPort != 0 ? connection->m_nPort : SchemeDefaultPort(connection->m_strURL);
    found = *port > 0;
  }
  LeaveCriticalSection(&proxy->config->m_cs);
  return found;
}

/* Leaves "HOST:PORT" of the source a player reached in the configuration's plug-in buffer. The library
   frees that buffer with msvcrt.dll's free when it destroys the configuration, so it comes from
   QelSharedAlloc (and the one it replaces goes back with QelSharedFree), whatever C runtime this links. */
static void NoteReachedSource(Proxy* proxy, const char* host, LONG port) {
  char text[MAX_HOST + 16];
  const int length = snprintf(text, sizeof text, "%s:%ld", host, (long)port);
  BYTE* buffer = (BYTE*)QelSharedAlloc((size_t)length + 1);
  if (buffer == NULL) return;
  memcpy(buffer, text, (size_t)length + 1);
  EnterCriticalSection(&proxy->config->m_cs);
  QelSharedFree(proxy->config->m_pPluginBuffer);
  proxy->config->m_pPluginBuffer = buffer;
  proxy->config->m_nPluginBufferSize = (DWORD)length + 1;
  LeaveCriticalSection(&proxy->config->m_cs);
}

static SOCKET ConnectTo(const char* host, LONG port) {
  struct addrinfo hints, *found = NULL, *at;
  char service[16];
  SOCKET s = INVALID_SOCKET;
  memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  snprintf(service, sizeof service, "%ld", (long)port);
  if (getaddrinfo(host, service, &hints, &found) != 0) return INVALID_SOCKET;
  for (at = found; at != NULL && s == INVALID_SOCKET; at = at->ai_next) {
    s = socket(at->ai_family, at->ai_socktype, at->ai_protocol);
    if (s != INVALID_SOCKET && connect(s, at->ai_addr, (int)at->ai_addrlen) != 0) {
      closesocket(s);
      s = INVALID_SOCKET;
    }
  }
  freeaddrinfo(found);
  return s;
}

/* Sends all of it; 0 when the other side is gone. */
static int SendAll(SOCKET s, const char* data, int length) {
  while (length > 0) {
    const int sent = send(s, data, length, 0);
    if (sent <= 0) return 0;
    data += sent;
    length -= sent;
  }
  return 1;
}

/* Carries bytes both ways until either side ends. */
static void Carry(Proxy* proxy, SOCKET player, SOCKET source) {
  char buffer[16384];
  for (;;) {
    fd_set readable;
    SOCKET from, to;
    int got;
    FD_ZERO(&readable);
    FD_SET(player, &readable);
    FD_SET(source, &readable);
    if (select(0, &readable, NULL, NULL, NULL) <= 0) return;
    from = FD_ISSET(player, &readable) ? player : source;
    to = from == player ? source : player;
    got = recv(from, buffer, sizeof buffer, 0);
    if (got <= 0 || !SendAll(to, buffer, got)) return;
    InterlockedExchangeAdd64(&proxy->carried, got);
    Touch(proxy);
  }
}

typedef struct PlayerStart {
  Proxy* proxy;
  int slot;
} PlayerStart;

static DWORD WINAPI PlayerThread(void* argument) {
  Proxy* proxy = ((PlayerStart*)argument)->proxy;
  Player* player = &proxy->players[((PlayerStart*)argument)->slot];
  char host[MAX_HOST];
  LONG port = 0;
  SOCKET source;
  free(argument);
  if (!CurrentSource(proxy, host, &port)) {
    LogF(1, EXAMPLE_NAME " %ld: no stream source with a host and port", (long)proxy->number);
  } else if ((source = ConnectTo(host, port)) == INVALID_SOCKET) {
    LogF(1, EXAMPLE_NAME " %ld: cannot reach %s:%ld (error %d)", (long)proxy->number, host, (long)port,
         WSAGetLastError());
  } else {
    EnterCriticalSection(&proxy->lock);
    player->source = source;
    LeaveCriticalSection(&proxy->lock);
    LogF(1, EXAMPLE_NAME " %ld: a player to %s:%ld directly", (long)proxy->number, host, (long)port);
    NoteReachedSource(proxy, host, port);
    Carry(proxy, player->player, source);
  }
  /* CloseConnections closes the sockets it finds here; what is left is ours. */
  EnterCriticalSection(&proxy->lock);
  if (player->source != INVALID_SOCKET) closesocket(player->source);
  if (player->player != INVALID_SOCKET) closesocket(player->player);
  player->source = player->player = INVALID_SOCKET;
  LeaveCriticalSection(&proxy->lock);
  return 0;
}

/* Closes the threads of the players that have finished, so none is kept past the next player; returns a
   free slot, -1 when every slot is busy. */
static int FreeSlot(Proxy* proxy) {
  int i, slot = -1;
  for (i = MAX_PLAYERS - 1; i >= 0; --i) {
    Player* player = &proxy->players[i];
    if (player->thread != NULL && WaitForSingleObject(player->thread, 0) == WAIT_OBJECT_0) {
      CloseHandle(player->thread);
      player->thread = NULL;
    }
    if (player->thread == NULL) slot = i;
  }
  return slot;
}

static DWORD WINAPI AcceptThread(void* argument) {
  Proxy* proxy = (Proxy*)argument;
  for (;;) {
    const SOCKET accepted = accept(proxy->listener, NULL, NULL);
    PlayerStart* start;
    int slot;
    if (accepted == INVALID_SOCKET) return 0; /* closed by CloseConnections */
    Touch(proxy);
    EnterCriticalSection(&proxy->lock);
    slot = proxy->closing ? -1 : FreeSlot(proxy);
    start = slot < 0 ? NULL : (PlayerStart*)malloc(sizeof *start);
    if (start != NULL) {
      start->proxy = proxy;
      start->slot = slot;
      proxy->players[slot].player = accepted;
      proxy->players[slot].source = INVALID_SOCKET;
      proxy->players[slot].thread = CreateThread(NULL, 0, PlayerThread, start, 0, NULL);
    }
    if (start == NULL || proxy->players[slot].thread == NULL) {
      free(start);
      if (slot >= 0) proxy->players[slot].player = INVALID_SOCKET;
      closesocket(accepted);
      LogF(1, EXAMPLE_NAME " %ld: a player turned away", (long)proxy->number);
    }
    LeaveCriticalSection(&proxy->lock);
  }
}

/* Stops listening, ends every player's connection and waits for every thread, so nothing of this
   library runs once the library unloads it. 0 when everything was closed already: the library closes
   twice when the host deletes the player. */
static int CloseEverything(Proxy* proxy) {
  HANDLE threads[MAX_PLAYERS + 1];
  DWORD count = 0;
  int i, wasOpen;
  EnterCriticalSection(&proxy->lock);
  wasOpen = proxy->listener != INVALID_SOCKET;
  proxy->closing = 1;
  if (proxy->listener != INVALID_SOCKET) closesocket(proxy->listener);
  proxy->listener = INVALID_SOCKET;
  if (proxy->acceptThread != NULL) threads[count++] = proxy->acceptThread;
  proxy->acceptThread = NULL;
  for (i = 0; i < MAX_PLAYERS; ++i) {
    Player* player = &proxy->players[i];
    if (player->player != INVALID_SOCKET) shutdown(player->player, SD_BOTH);
    if (player->source != INVALID_SOCKET) shutdown(player->source, SD_BOTH);
    if (player->thread != NULL) threads[count++] = player->thread;
    player->thread = NULL;
  }
  LeaveCriticalSection(&proxy->lock);
  for (i = 0; i < (int)count; ++i) {
    WaitForSingleObject(threads[i], INFINITE);
    CloseHandle(threads[i]);
  }
  return wasOpen;
}

static HRESULT QEL_METHOD_CALL ProxyQueryInterface(IQelVideoProxy* self, const GUID* riid, void** ppv) {
  if (ppv == NULL) return E_POINTER;
  *ppv = NULL;
  if (!QelIsIid(riid, &IID_IQelVideoProxy) && !QelIsIid(riid, &QEL_IID_IUnknown)) return E_NOINTERFACE;
  self->lpVtbl->AddRef(self);
  *ppv = self;
  return S_OK;
}

static ULONG QEL_METHOD_CALL ProxyAddRef(IQelVideoProxy* self) {
  return (ULONG)InterlockedIncrement(&((Proxy*)self)->refs);
}

static ULONG QEL_METHOD_CALL ProxyRelease(IQelVideoProxy* self) {
  Proxy* proxy = (Proxy*)self;
  const LONG refs = InterlockedDecrement(&proxy->refs);
  if (refs == 0) {
    CloseEverything(proxy);
    LogF(3, EXAMPLE_NAME " %ld: released", (long)proxy->number);
    DeleteCriticalSection(&proxy->lock);
    free(proxy);
    WSACleanup();
  }
  return (ULONG)refs;
}

static HRESULT QEL_METHOD_CALL ProxyCreate(IQelVideoProxy* self, CSrcConfig* pConfig) {
  Proxy* proxy = (Proxy*)self;
  struct sockaddr_in address;
  int length = sizeof address;
  if (pConfig == NULL || proxy->config != NULL) return E_INVALIDARG;
  memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  proxy->listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (proxy->listener == INVALID_SOCKET || bind(proxy->listener, (struct sockaddr*)&address, sizeof address) != 0 ||
      listen(proxy->listener, SOMAXCONN) != 0 ||
      getsockname(proxy->listener, (struct sockaddr*)&address, &length) != 0) {
    LogF(1, EXAMPLE_NAME " %ld: cannot listen (error %d)", (long)proxy->number, WSAGetLastError());
    return E_FAIL;
  }
  proxy->config = pConfig;
  proxy->port = ntohs(address.sin_port);
  proxy->acceptThread = CreateThread(NULL, 0, AcceptThread, proxy, 0, NULL);
  if (proxy->acceptThread == NULL) return E_FAIL;
  LogF(1, EXAMPLE_NAME " %ld: listening on 127.0.0.1:%ld", (long)proxy->number, (long)proxy->port);
  return S_OK;
}

static HRESULT QEL_METHOD_CALL ProxyNeverCalled(IQelVideoProxy* self, LONG value) {
  (void)self, (void)value;
  return E_NOTIMPL;
}

/* The host is not needed here: nothing to keep. */
static HRESULT QEL_METHOD_CALL ProxySetCallback(IQelVideoProxy* self, IQelVideoCBBCallback* pCallback) {
  (void)self, (void)pCallback;
  return S_OK;
}

/* No port once closed: nobody would answer a player there. */
static LONG QEL_METHOD_CALL ProxyGetPort(IQelVideoProxy* self) {
  Proxy* proxy = (Proxy*)self;
  LONG port;
  EnterCriticalSection(&proxy->lock);
  port = proxy->config != NULL && proxy->listener != INVALID_SOCKET ? proxy->port : -1;
  LeaveCriticalSection(&proxy->lock);
  return port;
}

/* The library's own configuration: the host's later settings reach this proxy through it. */
static CSrcConfig* QEL_METHOD_CALL ProxyGetConfig(IQelVideoProxy* self) { return ((Proxy*)self)->config; }

/* "scheme://[user@]host[:port]/...": the host and port, the scheme's own port when none is given. */
static int ParseUrl(const char* url, char* host, LONG* port) {
  const char* at = strstr(url, "://");
  const char *start, *end, *colon;
  if (at == NULL) return 0;
  start = at + 3;
  end = start + strcspn(start, "/?#");
  for (at = start; at < end; ++at)
    if (*at == '@') start = at + 1;
  colon = NULL;
  for (at = start; at < end; ++at)
    if (*at == ':') colon = at;
  *port = SchemeDefaultPort(url);
  if (colon != NULL) *port = atol(colon + 1);
  else colon = end;
  if (colon == start || colon - start >= MAX_HOST || *port <= 0 || *port > 65535) return 0;
  memcpy(host, start, (size_t)(colon - start));
  host[colon - start] = '\0';
  return 1;
}

/* Points an existing connection of the configuration at the new URL; the next player goes there. */
static HRESULT QEL_METHOD_CALL ProxySetConnectionURL(IQelVideoProxy* self, LONG connIndex, const char* url,
                                                     LONG type) {
  Proxy* proxy = (Proxy*)self;
  CSrcConfig* config = proxy->config;
  char host[MAX_HOST];
  LONG port;
  HRESULT result = E_INVALIDARG;
  if (config == NULL || url == NULL || !ParseUrl(url, host, &port)) return E_INVALIDARG;
  EnterCriticalSection(&config->m_cs);
  if (connIndex >= 0 && connIndex < (LONG)(config->m_connections.pEnd - config->m_connections.pBegin)) {
    CSrcConnection* connection = config->m_connections.pBegin[connIndex];
    if (QelStringAssign(&connection->m_strURL, url, (int)strlen(url)) &&
        QelStringAssign(&connection->m_strHost, host, (int)strlen(host))) {
      connection->m_nPort = port;
      connection->m_nType = type;
      result = S_OK;
    }
  }
  LeaveCriticalSection(&config->m_cs);
  LogF(1, EXAMPLE_NAME " %ld: connection %ld to %s:%ld%s", (long)proxy->number, (long)connIndex, host, (long)port,
       result == S_OK ? "" : ", refused");
  return result;
}

/* Bytes since the previous call, at most 0x0FFFFFFF (the library multiplies by 8); the rest waits. */
static LONG QEL_METHOD_CALL ProxyGetByteCount(IQelVideoProxy* self) {
  Proxy* proxy = (Proxy*)self;
  LONG64 pending;
  EnterCriticalSection(&proxy->lock);
  pending = InterlockedCompareExchange64(&proxy->carried, 0, 0) - proxy->reported;
  if (pending > 0x0FFFFFFF) pending = 0x0FFFFFFF;
  proxy->reported += pending;
  LeaveCriticalSection(&proxy->lock);
  return (LONG)pending;
}

static HRESULT QEL_METHOD_CALL ProxyCloseConnections(IQelVideoProxy* self, LONG includeProxy) {
  Proxy* proxy = (Proxy*)self;
  (void)includeProxy; /* the library always closes the proxy too */
  if (CloseEverything(proxy))
    LogF(1, EXAMPLE_NAME " %ld: closed, %lld bytes carried", (long)proxy->number,
         (long long)InterlockedCompareExchange64(&proxy->carried, 0, 0));
  return S_OK;
}

/* Turns new players away from now on; CloseConnections follows. Twice is as once. */
static HRESULT QEL_METHOD_CALL ProxyPrepareClose(IQelVideoProxy* self, LONG value) {
  Proxy* proxy = (Proxy*)self;
  (void)value;
  EnterCriticalSection(&proxy->lock);
  proxy->closing = 1;
  LeaveCriticalSection(&proxy->lock);
  return S_OK;
}

static LONGLONG QEL_METHOD_CALL ProxyGetLastActivityTime(IQelVideoProxy* self) {
  return InterlockedCompareExchange64(&((Proxy*)self)->lastActivity, 0, 0);
}

static const IQelVideoProxyVtbl kProxySlots = {
    ProxyQueryInterface, ProxyAddRef,      ProxyRelease,          ProxyCreate,           ProxyNeverCalled,
    ProxySetCallback,    ProxyNeverCalled, ProxyGetPort,          ProxyGetConfig,        ProxyNeverCalled,
    ProxyNeverCalled,    ProxyNeverCalled, ProxyNeverCalled,      ProxySetConnectionURL, ProxyGetByteCount,
    ProxyNeverCalled,    ProxyCloseConnections, ProxyPrepareClose, ProxyGetLastActivityTime};

/* Each proxy holds one start of the sockets library (not DllMain's to do: it runs under the loader lock). */
static IQelVideoProxy* NewProxy(void) {
  WSADATA winsock;
  Proxy* proxy;
  int i;
  if (WSAStartup(MAKEWORD(2, 2), &winsock) != 0) return NULL;
  proxy = (Proxy*)calloc(1, sizeof *proxy);
  if (proxy == NULL) {
    WSACleanup();
    return NULL;
  }
  proxy->base.lpVtbl = &kProxySlots;
  proxy->refs = 1;
  proxy->number = InterlockedIncrement(&g_proxyCount);
  proxy->listener = INVALID_SOCKET;
  for (i = 0; i < MAX_PLAYERS; ++i) proxy->players[i].player = proxy->players[i].source = INVALID_SOCKET;
  InitializeCriticalSection(&proxy->lock);
  return &proxy->base;
}

/* ---- The factory object and the exports ---------------------------------------------------------- */

typedef struct Factory Factory;
typedef struct FactoryVtbl {
  HRESULT(QEL_METHOD_CALL* QueryInterface)(Factory* self, const GUID* riid, void** ppv);
  ULONG(QEL_METHOD_CALL* AddRef)(Factory* self);
  ULONG(QEL_METHOD_CALL* Release)(Factory* self);
} FactoryVtbl;
struct Factory {
  const FactoryVtbl* lpVtbl;
  LONG refs;
};

static ULONG QEL_METHOD_CALL FactoryAddRef(Factory* self) { return (ULONG)InterlockedIncrement(&self->refs); }
static ULONG QEL_METHOD_CALL FactoryRelease(Factory* self) {
  const LONG refs = InterlockedDecrement(&self->refs);
  if (refs == 0) free(self);
  return (ULONG)refs;
}
/* Each query for the proxy interface makes a new local proxy with one reference. */
static HRESULT QEL_METHOD_CALL FactoryQueryInterface(Factory* self, const GUID* riid, void** ppv) {
  if (ppv == NULL) return E_POINTER;
  *ppv = NULL;
  if (QelIsIid(riid, &QEL_IID_IUnknown)) {
    FactoryAddRef(self);
    *ppv = self;
    return S_OK;
  }
  if (!QelIsIid(riid, &IID_IQelVideoProxy)) return E_NOINTERFACE;
  *ppv = NewProxy();
  return *ppv != NULL ? S_OK : E_OUTOFMEMORY;
}
static const FactoryVtbl kFactorySlots = {FactoryQueryInterface, FactoryAddRef, FactoryRelease};

/* Once per control, also while earlier proxies write: the helper opens once and then updates the level. */
QEL_PLUGIN_EXPORT(void) ProxySetLogFile(FILE** ppStream, LONG level, CRITICAL_SECTION* pLock) {
  QelSharedLogOpen(&g_log, ppStream, level, pLock);
  LogF(3, EXAMPLE_NAME ": sharing the log at level %ld, kit version %d", (long)level, QEL_PLUGIN_KIT_VERSION);
}

QEL_PLUGIN_EXPORT(LONG) ProxyFactory(void** ppObject) {
  Factory* factory;
  if (ppObject == NULL) return 0;
  factory = (Factory*)calloc(1, sizeof *factory);
  *ppObject = factory;
  if (factory == NULL) return 0;
  factory->lpVtbl = &kFactorySlots;
  factory->refs = 1;
  return 1;
}

QEL_EXTERN_C BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance, (void)reserved;
  if (reason == DLL_PROCESS_DETACH) QelSharedLogClose(&g_log);
  return TRUE;
}
