// What crosses the boundary to the two outside libraries: their exports, the local proxy interface they
// implement, and the video host's interface they call back. The libraries are built apart from this
// system, so slot order, argument counts and calling conventions here are fixed and must not drift.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/platform.h"

class CSrcConfig;

// The outside libraries' exports use the C calling convention whatever the compiler's default.
#ifdef _WIN32
#define QEL_CDECL __cdecl
#else
#define QEL_CDECL
#endif

// {35013793-9535-4B3A-9300-B51EF2F04E9B}
inline constexpr IID IID_IQelVideoProxy = {0x35013793, 0x9535, 0x4B3A, {0x93, 0x00, 0xB5, 0x1E, 0xF2, 0xF0, 0x4E, 0x9B}};

// The video host as the proxies and the dispatcher see it. Slots 0 to 4 may be called from the proxy
// library's own threads.
struct IQelVideoCBBCallback : public IUnknown {
  // slot 3: the host terminal's epoch time; 0 with the time, 1 without it, E_INVALIDARG for null.
  virtual HRESULT STDMETHODCALLTYPE GetEpochTime(DWORD* pTime) = 0;
  // slot 4: kept for its place; does nothing.
  virtual HRESULT STDMETHODCALLTYPE ReservedCallback(LONG value) = 0;
  // slot 5
  virtual HRESULT STDMETHODCALLTYPE SetURL(LONG proxyIndex, LONG connIndex, const char* url, LONG type) = 0;
  // slot 6
  virtual HRESULT STDMETHODCALLTYPE SetAASSessionIDs(int64_t id1, int64_t id2) = 0;
  // slot 7
  virtual HRESULT STDMETHODCALLTYPE SetPlugInName(const char* names) = 0;
  // slot 8
  virtual HRESULT STDMETHODCALLTYPE SetSocks5Proxy(const char* host1, LONG port1, const char* host2, LONG port2,
                                                   const char* userName, const char* password) = 0;
  // slot 9
  virtual HRESULT STDMETHODCALLTYPE SetPLUGProxy(const char* host1, LONG port1, const char* host2, LONG port2,
                                                 const char* customHeader) = 0;
  // slot 10
  virtual HRESULT STDMETHODCALLTYPE SetSecureHeader(const char* header, LONG version, LONG keyType) = 0;
  // slot 11
  virtual HRESULT STDMETHODCALLTYPE SetProxyKey(LONG total, LONG index, const char* key) = 0;
  // slot 12
  virtual HRESULT STDMETHODCALLTYPE SetPlugInType(LONG type) = 0;
  // slot 13
  virtual HRESULT STDMETHODCALLTYPE SetHeartbeatAlarmInterval(LONG seconds) = 0;
  // slot 14
  virtual HRESULT STDMETHODCALLTYPE SetIsolatedFlag(LONG flag) = 0;
};

// One local proxy of the proxy library. The reserved slots are never called; they keep their places and
// take one 32-bit value each.
struct IQelVideoProxy : public IUnknown {
  // slot 3: start serving `pConfig`, which stays alive until the proxy is released; >= 0 listens.
  virtual HRESULT STDMETHODCALLTYPE Create(CSrcConfig* pConfig) = 0;
  // slot 4
  virtual HRESULT STDMETHODCALLTYPE Reserved4(LONG value) = 0;
  // slot 5: called before Create.
  virtual HRESULT STDMETHODCALLTYPE SetCallback(IQelVideoCBBCallback* pCallback) = 0;
  // slot 6
  virtual HRESULT STDMETHODCALLTYPE Reserved6(LONG value) = 0;
  // slot 7: the local port; negative when there is none.
  virtual LONG STDMETHODCALLTYPE GetPort() = 0;
  // slot 8: the configuration the running proxy works from, or null; written under its own lock.
  virtual CSrcConfig* STDMETHODCALLTYPE GetConfig() = 0;
  // slots 9 to 12
  virtual HRESULT STDMETHODCALLTYPE Reserved9(LONG value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved10(LONG value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved11(LONG value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved12(LONG value) = 0;
  // slot 13: changes one connection of a running proxy.
  virtual HRESULT STDMETHODCALLTYPE SetConnectionURL(LONG connIndex, const char* url, LONG type) = 0;
  // slot 14: bytes carried since the previous call; the heartbeat reports them in bits.
  virtual LONG STDMETHODCALLTYPE GetByteCount() = 0;
  // slot 15
  virtual HRESULT STDMETHODCALLTYPE Reserved15(LONG value) = 0;
  // slot 16: 1 closes every connection, the proxy's own included.
  virtual HRESULT STDMETHODCALLTYPE CloseConnections(LONG includeProxy) = 0;
  // slot 17: called with 1 on every proxy before any of them is asked to close.
  virtual HRESULT STDMETHODCALLTYPE PrepareClose(LONG value) = 0;
  // slot 18: seconds since 1970-01-01 UTC of the last activity; 0 when none.
  virtual int64_t STDMETHODCALLTYPE GetLastActivityTime() = 0;
};

// Exports of the proxy plug-in library ("QelVideoProxy_WMP.dll", "QelVideoProxy_SS.dll",
// "QelVideoProxy_VFN.dll"). The stream and lock are the process log's: the library writes only while it
// holds *pLock, through the current value of *ppStream, which is null while the log is closed.
inline constexpr const char* kProxySetLogFileExport = "ProxySetLogFile";
inline constexpr const char* kProxyFactoryExport = "ProxyFactory";
extern "C" {
typedef void(QEL_CDECL* ProxySetLogFileFn)(FILE** ppStream, LONG level, CRITICAL_SECTION* pLock);
// Writes an object that answers IID_IQelVideoProxy to *ppObject; non-zero for success.
typedef LONG(QEL_CDECL* ProxyFactoryFn)(IUnknown** ppObject);
}

// Exports of the media-link library "QelVorlaLink.dll". A post reaches every other window subscribed under
// the same value, in any process, as message kVorlaLinkMessage with wParam the posting window and lParam
// the value. The results are one-byte booleans where any non-zero byte means true.
inline constexpr const char* kVOSubscribeMsgExport = "VO_SubscribeMsg";
inline constexpr const char* kVOUnsubscribeMsgExport = "VO_UnsubscribeMsg";
inline constexpr const char* kVOPostMsgExport = "VO_PostMsg";
inline constexpr UINT kVorlaLinkMessage = 0x0400 + 2001;  // WM_USER + 2001
extern "C" {
typedef BYTE(QEL_CDECL* VOSubscribeMsgFn)(LONG subscription, HWND hWnd);
typedef BYTE(QEL_CDECL* VOUnsubscribeMsgFn)(LONG subscription, HWND hWnd);
typedef BYTE(QEL_CDECL* VOPostMsgFn)(LONG subscription, HWND hWnd, LONG value);
}
