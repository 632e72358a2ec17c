// The interfaces the terminal host offers a control, which InitControl asks the host object for. They are
// the host's binary contract: the host calls by position, so each table keeps its slot order and argument
// count. Slots the control never calls still hold their place; each takes one 32-bit value.
#pragma once

#include "base/platform.h"

// Asked once at start-up so the host sends this control its broadcast messages.
struct ICBBSetCtrl : IUnknown {
  // slot 3: 1 asks for broadcast messages.
  virtual HRESULT STDMETHODCALLTYPE RequestBroadcast(LONG bRequest) = 0;
};
inline constexpr IID IID_ICBBSetCtrl = {0xACD35DC0, 0x641B, 0x11D2, {0xBB, 0x1D, 0x00, 0x08, 0xC7, 0x3A, 0xDF, 0xDD}};

// The callback channel: client keys, epoch time and INMS alarms are requests numbered by opcode.
struct CBBInfo3 : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CBBReserved3(LONG value) = 0;  // slot 3
  virtual HRESULT STDMETHODCALLTYPE CBBReserved4(LONG value) = 0;  // slot 4
  virtual HRESULT STDMETHODCALLTYPE CBBReserved5(LONG value) = 0;  // slot 5
  virtual HRESULT STDMETHODCALLTYPE CBBReserved6(LONG value) = 0;  // slot 6
  virtual HRESULT STDMETHODCALLTYPE CBBReserved7(LONG value) = 0;  // slot 7
  virtual HRESULT STDMETHODCALLTYPE CBBReserved8(LONG value) = 0;  // slot 8
  virtual HRESULT STDMETHODCALLTYPE CBBReserved9(LONG value) = 0;  // slot 9
  // slot 10: writes the callback status into *pStatus; bit 0 set means enabled. The result is not looked at.
  virtual HRESULT STDMETHODCALLTYPE GetCallbackStatus(LONG* pStatus) = 0;
  virtual HRESULT STDMETHODCALLTYPE CBBReserved11(LONG value) = 0;  // slot 11
  // slot 12: the host reads or fills pBuffer as opCode says and sets *pRCode; negative on failure.
  virtual HRESULT STDMETHODCALLTYPE Request(LONG opCode, void* pBuffer, LONG nSize, LONG* pRCode) = 0;
};
inline constexpr IID IID_CBBInfo3 = {0xEF073570, 0xFF34, 0x11D2, {0x8C, 0x78, 0xF0, 0xB9, 0xD4, 0x00, 0x00, 0x00}};

// CBBInfo3 request opcodes, named as the log shows them.
inline constexpr LONG CCB_GetClientKeys = 11;  // the host fills a block of kClientKeysSize bytes
inline constexpr LONG CCB_GetEpochTime = 12;   // the host writes the 32-bit time; result code 0 when valid
inline constexpr LONG CCB_SendINMSAlarm = 87;  // the host takes an INMS alarm message
inline constexpr LONG kClientKeysSize = 52;

// Where talkback messages to the host terminal go.
struct ITalkBack : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE TalkBackReserved3(LONG value) = 0;  // slot 3
  // slot 4: the host takes nSize bytes at pMessage; negative on failure.
  virtual HRESULT STDMETHODCALLTYPE Send(const BYTE* pMessage, LONG nSize) = 0;
};
inline constexpr IID IID_ITalkBack = {0x4A415E90, 0xC4B5, 0x11D2, {0xBB, 0x32, 0x00, 0x08, 0xC7, 0x3A, 0xDF, 0xDD}};

// The control's site in the host; kept for the life of the control, never called.
struct IHostSite : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SiteReserved3(LONG value) = 0;  // slot 3
};
inline constexpr IID IID_IHostSite = {0x32955844, 0x8141, 0x11D1, {0xB3, 0x0B, 0x00, 0x80, 0x5F, 0x81, 0x5C, 0xBF}};
