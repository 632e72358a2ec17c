// The terminal host's control interfaces. The host calls every operation by its slot, so each table's order
// and argument count is the binary contract; names of operations the host never named are ours.
// Arguments are 32-bit values on the host's platform; outputs are pointers that may be null.
#pragma once

#include "base/platform.h"

// {01548341-EF19-11D1-B329-00805F815CBF}
inline constexpr IID IID_IQELTermControl = {0x01548341, 0xEF19, 0x11D1, {0xB3, 0x29, 0x00, 0x80, 0x5F, 0x81, 0x5C, 0xBF}};
// {0211C2B8-46FD-4342-9B9F-2148A2248417}
inline constexpr IID IID_IQELImageNotify = {0x0211C2B8, 0x46FD, 0x4342, {0x9B, 0x9F, 0x21, 0x48, 0xA2, 0x24, 0x84, 0x17}};
// {99883220-329B-11D2-BB06-0008C73ADFDD}
inline constexpr IID IID_IQELTCWinMan2 = {0x99883220, 0x329B, 0x11D2, {0xBB, 0x06, 0x00, 0x08, 0xC7, 0x3A, 0xDF, 0xDD}};

struct IQELTermControl : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE ProcessBuf(const BYTE* buffer, LONG size) = 0;        // slot 3
  virtual HRESULT STDMETHODCALLTYPE InitControl(HWND parent, IUnknown* pHostUnknown) = 0;  // slot 4
  virtual HRESULT STDMETHODCALLTYPE ShowControl(LONG show) = 0;                           // slot 5
  virtual HRESULT STDMETHODCALLTYPE DeleteControl() = 0;                                  // slot 6
  virtual HRESULT STDMETHODCALLTYPE TermReserved(LONG a, LONG b) = 0;                     // slot 7
};

struct IQELTCMfc : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE MfcNotify(LONG a) = 0;   // slot 3
  virtual HRESULT STDMETHODCALLTYPE MfcPretranslate(LONG a) = 0;  // slot 4: S_FALSE, nothing translated
};

struct IQELTCPrintW32 : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Print(LONG a, LONG b, LONG c) = 0;  // slot 3
};

struct IQELTCWinManExtCtrl : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE ExtCtrlNotify(LONG a, LONG b) = 0;        // slot 3
  virtual HRESULT STDMETHODCALLTYPE SetExtCtrlSink(IUnknown* sink) = 0;      // slot 4
};

struct IQELTCInformSizing : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SizingStarted(LONG a) = 0;                  // slot 3
  virtual HRESULT STDMETHODCALLTYPE SizingChanged(LONG a, LONG b, LONG c, LONG d) = 0;  // slot 4
};

// Eleven operations over the chain, root first.
struct IQELTCEvents : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE EventSetArg(LONG a) = 0;                         // slot 3
  virtual HRESULT STDMETHODCALLTYPE EventPair1(LONG a, LONG b) = 0;                  // slot 4
  virtual HRESULT STDMETHODCALLTYPE EventPair2(LONG a, LONG b) = 0;                  // slot 5
  virtual HRESULT STDMETHODCALLTYPE EventQuad(LONG a, LONG b, LONG c, LONG d) = 0;   // slot 6
  virtual HRESULT STDMETHODCALLTYPE EventTriple1(LONG a, LONG b, LONG c) = 0;        // slot 7
};
struct IQELTCEvents2 : IQELTCEvents {
  virtual HRESULT STDMETHODCALLTYPE EventSetArgs(LONG a, LONG b, LONG c) = 0;  // slot 8
};
struct IQELTCEvents3 : IQELTCEvents2 {
  virtual HRESULT STDMETHODCALLTYPE EventQuery1(LONG a, LONG b, LONG* out) = 0;  // slot 9
};
struct IQELTCEvents4 : IQELTCEvents3 {
  virtual HRESULT STDMETHODCALLTYPE EventQuery2(LONG a, LONG b, LONG* out) = 0;  // slot 10
};
struct IQELTCEvents5 : IQELTCEvents4 {
  virtual HRESULT STDMETHODCALLTYPE EventQuery3(LONG a, LONG b, LONG* out) = 0;  // slot 11
};
struct IQELTCEvents6 : IQELTCEvents5 {
  virtual HRESULT STDMETHODCALLTYPE EventQuery4(LONG a, LONG b, LONG c, LONG* out) = 0;  // slot 12
};
struct IQELTCEvents7 : IQELTCEvents6 {
  virtual HRESULT STDMETHODCALLTYPE EventTriple2(LONG a, LONG b, LONG c) = 0;  // slot 13
};

struct IQELTCWinMan2 : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE ReleaseWinManObject(IUnknown* object) = 0;  // slot 3
  virtual HRESULT STDMETHODCALLTYPE SetACID(LONG acid) = 0;                     // slot 4
};

// Four operations over the chain.
struct IQELTCAttribBlock : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AttribQuery(LONG* out, LONG b, LONG c) = 0;                    // slot 3
  virtual HRESULT STDMETHODCALLTYPE AttribPair(LONG a, LONG b) = 0;                                // slot 4
  virtual HRESULT STDMETHODCALLTYPE AttribQuery5(LONG a, LONG* out, LONG c, LONG d, LONG e) = 0;  // slot 5
};
struct IQELTCAttribBlock2 : IQELTCAttribBlock {
  virtual HRESULT STDMETHODCALLTYPE AttribQuad(LONG a, LONG b, LONG c, LONG d) = 0;  // slot 6
};

// Eight operations over the chain.
struct IQELTCFrameMenu : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE MenuQuery5(LONG a, LONG* out, LONG c, LONG d, LONG e) = 0;  // slot 3
  virtual HRESULT STDMETHODCALLTYPE MenuPair(LONG a, LONG b) = 0;                               // slot 4
  virtual HRESULT STDMETHODCALLTYPE MenuNone() = 0;                                             // slot 5
  virtual HRESULT STDMETHODCALLTYPE MenuTriple(LONG a, LONG b, LONG c) = 0;                     // slot 6
  virtual HRESULT STDMETHODCALLTYPE MenuQuery7(LONG* o1, LONG* o2, LONG* o3, LONG* o4, LONG* o5, LONG* o6,
                                               LONG* o7) = 0;                                   // slot 7
  virtual HRESULT STDMETHODCALLTYPE MenuSingle(LONG a) = 0;                                     // slot 8
  virtual HRESULT STDMETHODCALLTYPE MenuQuery1(LONG* out) = 0;                                  // slot 9
};
struct IQELTCFrameMenu2 : IQELTCFrameMenu {
  virtual HRESULT STDMETHODCALLTYPE MenuSingle2(LONG a) = 0;  // slot 10
};

// Twelve operations, none implemented by a control.
struct IQELPropertyAccess : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Prop1(LONG a, LONG b) = 0;                           // slot 3
  virtual HRESULT STDMETHODCALLTYPE Prop2(LONG a, LONG b) = 0;                           // slot 4
  virtual HRESULT STDMETHODCALLTYPE Prop3(LONG a, LONG b, LONG c) = 0;                   // slot 5
  virtual HRESULT STDMETHODCALLTYPE Prop4(LONG a, LONG b, LONG c, LONG* out) = 0;        // slot 6
  virtual HRESULT STDMETHODCALLTYPE Prop5(LONG a, LONG b, LONG* out) = 0;                // slot 7
  virtual HRESULT STDMETHODCALLTYPE Prop6(LONG a, LONG b, LONG* out) = 0;                // slot 8
  virtual HRESULT STDMETHODCALLTYPE Prop7(LONG a, LONG b, LONG c) = 0;                   // slot 9
  virtual HRESULT STDMETHODCALLTYPE Prop8(LONG a, LONG b, LONG c) = 0;                   // slot 10
  virtual HRESULT STDMETHODCALLTYPE Prop9(LONG a, LONG b, LONG c, LONG d) = 0;           // slot 11
  virtual HRESULT STDMETHODCALLTYPE Prop10(LONG a, LONG b, LONG c, LONG d, LONG* out) = 0;  // slot 12
  virtual HRESULT STDMETHODCALLTYPE Prop11(LONG a, LONG b, LONG c, LONG* out) = 0;       // slot 13
  virtual HRESULT STDMETHODCALLTYPE Prop12(LONG a, LONG b, LONG c, LONG* out) = 0;       // slot 14
};

// Nine operations over the chain.
struct IQELTCMask : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE MaskQuery5(LONG a, LONG b, LONG c, LONG d, LONG* out) = 0;  // slot 3
  virtual HRESULT STDMETHODCALLTYPE MaskQuery1(LONG* out) = 0;                                  // slot 4
  virtual HRESULT STDMETHODCALLTYPE MaskSingle1(LONG a) = 0;                                    // slot 5
  virtual HRESULT STDMETHODCALLTYPE MaskSingle2(LONG a) = 0;                                    // slot 6
  virtual HRESULT STDMETHODCALLTYPE MaskQuery3(LONG a, LONG* o2, LONG* o3) = 0;                 // slot 7
  virtual HRESULT STDMETHODCALLTYPE MaskNone() = 0;                                             // slot 8
};
struct IQELTCMask2 : IQELTCMask {
  virtual HRESULT STDMETHODCALLTYPE MaskQuery1b(LONG* out) = 0;  // slot 9
};
struct IQELTCMask3 : IQELTCMask2 {
  virtual HRESULT STDMETHODCALLTYPE MaskQuery1c(LONG* out) = 0;  // slot 10
};
struct IQELTCMask4 : IQELTCMask3 {
  virtual HRESULT STDMETHODCALLTYPE MaskQuery2(LONG a, LONG* out) = 0;  // slot 11
};

struct IQELCellPaintCallout : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE PaintCell(LONG a, LONG b, LONG c, LONG d, LONG e, LONG f, LONG g, LONG h, LONG i,
                                              LONG j) = 0;  // slot 3
};

struct IQELMediaEvents : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE MediaEvent(LONG a) = 0;  // slot 3
};

struct IQELImageNotify : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE ImageNotify(LONG a) = 0;  // slot 3
};
