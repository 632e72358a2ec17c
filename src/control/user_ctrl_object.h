// The base of every control: the fourteen host interfaces with their default answers, one reference
// count for all of them, and the few values the host hands in. The control supplies QueryInterface and
// the primary interface's real work.
#pragma once

#include <array>

#include "base/com_object.h"
#include "base/com_ref.h"
#include "host_interfaces/host_interfaces.h"
#include "host_interfaces/term_interfaces.h"

// One count for every interface pointer; all calls arrive on the host's UI thread.
class CUserCtrlObject
    : public CComObject<CPlainCount, IQELTermControl, IQELTCMfc, IQELTCPrintW32, IQELTCWinManExtCtrl,
                        IQELTCInformSizing, IQELTCEvents7, IQELTCWinMan2, IQELTCAttribBlock2, IQELTCFrameMenu2,
                        IQELPropertyAccess, IQELTCMask4, IQELCellPaintCallout, IQELMediaEvents, IQELImageNotify> {
 public:
  CUserCtrlObject();
  ~CUserCtrlObject() override;

  // IQELTermControl
  HRESULT STDMETHODCALLTYPE ProcessBuf(const BYTE* buffer, LONG size) override;
  HRESULT STDMETHODCALLTYPE InitControl(HWND parent, IUnknown* pHostUnknown) override;
  HRESULT STDMETHODCALLTYPE ShowControl(LONG show) override;
  HRESULT STDMETHODCALLTYPE DeleteControl() override;
  HRESULT STDMETHODCALLTYPE TermReserved(LONG a, LONG b) override;
  // IQELTCMfc
  HRESULT STDMETHODCALLTYPE MfcNotify(LONG a) override;
  HRESULT STDMETHODCALLTYPE MfcPretranslate(LONG a) override;
  // IQELTCPrintW32
  HRESULT STDMETHODCALLTYPE Print(LONG a, LONG b, LONG c) override;
  // IQELTCWinManExtCtrl
  HRESULT STDMETHODCALLTYPE ExtCtrlNotify(LONG a, LONG b) override;
  HRESULT STDMETHODCALLTYPE SetExtCtrlSink(IUnknown* sink) override;
  // IQELTCInformSizing
  HRESULT STDMETHODCALLTYPE SizingStarted(LONG a) override;
  HRESULT STDMETHODCALLTYPE SizingChanged(LONG a, LONG b, LONG c, LONG d) override;
  // IQELTCEvents7
  HRESULT STDMETHODCALLTYPE EventSetArg(LONG a) override;
  HRESULT STDMETHODCALLTYPE EventPair1(LONG a, LONG b) override;
  HRESULT STDMETHODCALLTYPE EventPair2(LONG a, LONG b) override;
  HRESULT STDMETHODCALLTYPE EventQuad(LONG a, LONG b, LONG c, LONG d) override;
  HRESULT STDMETHODCALLTYPE EventTriple1(LONG a, LONG b, LONG c) override;
  HRESULT STDMETHODCALLTYPE EventSetArgs(LONG a, LONG b, LONG c) override;
  HRESULT STDMETHODCALLTYPE EventQuery1(LONG a, LONG b, LONG* out) override;
  HRESULT STDMETHODCALLTYPE EventQuery2(LONG a, LONG b, LONG* out) override;
  HRESULT STDMETHODCALLTYPE EventQuery3(LONG a, LONG b, LONG* out) override;
  HRESULT STDMETHODCALLTYPE EventQuery4(LONG a, LONG b, LONG c, LONG* out) override;
  HRESULT STDMETHODCALLTYPE EventTriple2(LONG a, LONG b, LONG c) override;
  // IQELTCWinMan2
  HRESULT STDMETHODCALLTYPE ReleaseWinManObject(IUnknown* object) override;
  HRESULT STDMETHODCALLTYPE SetACID(LONG acid) override;
  // IQELTCAttribBlock2
  HRESULT STDMETHODCALLTYPE AttribQuery(LONG* out, LONG b, LONG c) override;
  HRESULT STDMETHODCALLTYPE AttribPair(LONG a, LONG b) override;
  HRESULT STDMETHODCALLTYPE AttribQuery5(LONG a, LONG* out, LONG c, LONG d, LONG e) override;
  HRESULT STDMETHODCALLTYPE AttribQuad(LONG a, LONG b, LONG c, LONG d) override;
  // IQELTCFrameMenu2
  HRESULT STDMETHODCALLTYPE MenuQuery5(LONG a, LONG* out, LONG c, LONG d, LONG e) override;
  HRESULT STDMETHODCALLTYPE MenuPair(LONG a, LONG b) override;
  HRESULT STDMETHODCALLTYPE MenuNone() override;
  HRESULT STDMETHODCALLTYPE MenuTriple(LONG a, LONG b, LONG c) override;
  HRESULT STDMETHODCALLTYPE MenuQuery7(LONG* o1, LONG* o2, LONG* o3, LONG* o4, LONG* o5, LONG* o6, LONG* o7) override;
  HRESULT STDMETHODCALLTYPE MenuSingle(LONG a) override;
  HRESULT STDMETHODCALLTYPE MenuQuery1(LONG* out) override;
  HRESULT STDMETHODCALLTYPE MenuSingle2(LONG a) override;
  // IQELPropertyAccess
  HRESULT STDMETHODCALLTYPE Prop1(LONG a, LONG b) override;
  HRESULT STDMETHODCALLTYPE Prop2(LONG a, LONG b) override;
  HRESULT STDMETHODCALLTYPE Prop3(LONG a, LONG b, LONG c) override;
  HRESULT STDMETHODCALLTYPE Prop4(LONG a, LONG b, LONG c, LONG* out) override;
  HRESULT STDMETHODCALLTYPE Prop5(LONG a, LONG b, LONG* out) override;
  HRESULT STDMETHODCALLTYPE Prop6(LONG a, LONG b, LONG* out) override;
  HRESULT STDMETHODCALLTYPE Prop7(LONG a, LONG b, LONG c) override;
  HRESULT STDMETHODCALLTYPE Prop8(LONG a, LONG b, LONG c) override;
  HRESULT STDMETHODCALLTYPE Prop9(LONG a, LONG b, LONG c, LONG d) override;
  HRESULT STDMETHODCALLTYPE Prop10(LONG a, LONG b, LONG c, LONG d, LONG* out) override;
  HRESULT STDMETHODCALLTYPE Prop11(LONG a, LONG b, LONG c, LONG* out) override;
  HRESULT STDMETHODCALLTYPE Prop12(LONG a, LONG b, LONG c, LONG* out) override;
  // IQELTCMask4
  HRESULT STDMETHODCALLTYPE MaskQuery5(LONG a, LONG b, LONG c, LONG d, LONG* out) override;
  HRESULT STDMETHODCALLTYPE MaskQuery1(LONG* out) override;
  HRESULT STDMETHODCALLTYPE MaskSingle1(LONG a) override;
  HRESULT STDMETHODCALLTYPE MaskSingle2(LONG a) override;
  HRESULT STDMETHODCALLTYPE MaskQuery3(LONG a, LONG* o2, LONG* o3) override;
  HRESULT STDMETHODCALLTYPE MaskNone() override;
  HRESULT STDMETHODCALLTYPE MaskQuery1b(LONG* out) override;
  HRESULT STDMETHODCALLTYPE MaskQuery1c(LONG* out) override;
  HRESULT STDMETHODCALLTYPE MaskQuery2(LONG a, LONG* out) override;
  // IQELCellPaintCallout, IQELMediaEvents
  HRESULT STDMETHODCALLTYPE PaintCell(LONG a, LONG b, LONG c, LONG d, LONG e, LONG f, LONG g, LONG h, LONG i,
                                      LONG j) override;
  HRESULT STDMETHODCALLTYPE MediaEvent(LONG a) override;

  IQELTermControl* TermControl() { return static_cast<IQELTermControl*>(this); }

  LONG ACID() const { return m_nACID; }
  // The three event arguments, in the order the host gives them.
  std::array<LONG, 3> EventArgs() const { return {m_nEventArg1, m_nEventArg2, m_nEventArg3}; }

 protected:
  // Asks the host object for its site and TALK BACK interfaces and keeps what it answers.
  void KeepHostInterfaces(IUnknown* pHost);
  // Keeps a reference of the control's own on the host object, for the control's life.
  void KeepHostObject(IUnknown* pHost) { m_pHostUnknown = CComRef<IUnknown>::Share(pHost); }
  // Null when the host answered no TALK BACK interface.
  ITalkBack* HostTalkBack() const { return m_pTalkBack.Get(); }

 private:
  // Released in the reverse order: the sink first, the site last.
  CComRef<IHostSite> m_pHostSite;
  CComRef<ITalkBack> m_pTalkBack;
  CComRef<IUnknown> m_pHostUnknown;
  CComRef<IUnknown> m_pExtCtrlSink;
  LONG m_nEventArg1;
  LONG m_nEventArg2;
  LONG m_nEventArg3;
  LONG m_nACID;
};
