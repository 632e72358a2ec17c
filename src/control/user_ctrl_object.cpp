#include "control/user_ctrl_object.h"

#include "base/foreign_call.h"

namespace {

void Put(LONG* out, LONG value) {
  if (out != nullptr) *out = value;
}

}  // namespace

CUserCtrlObject::CUserCtrlObject()
    : CComObject(0),
      m_nEventArg1(0),
      m_nEventArg2(0),
      m_nEventArg3(0),
      m_nACID(0) {}

CUserCtrlObject::~CUserCtrlObject() = default;

HRESULT CUserCtrlObject::ProcessBuf(const BYTE*, LONG) { return S_OK; }

HRESULT CUserCtrlObject::InitControl(HWND, IUnknown* pHostUnknown) {
  // The host hands its reference over with the call.
  const CComRef<IUnknown> given = CComRef<IUnknown>::Adopt(pHostUnknown);
  if (given) KeepHostInterfaces(given.Get());
  return S_OK;
}

void CUserCtrlObject::KeepHostInterfaces(IUnknown* pHost) {
  m_pHostSite = QueryRefOrEmpty<IHostSite>(pHost, IID_IHostSite);
  m_pTalkBack = QueryRefOrEmpty<ITalkBack>(pHost, IID_ITalkBack);
}

HRESULT CUserCtrlObject::ShowControl(LONG) { return S_OK; }
HRESULT CUserCtrlObject::DeleteControl() { return S_OK; }
HRESULT CUserCtrlObject::TermReserved(LONG, LONG) { return S_OK; }

HRESULT CUserCtrlObject::MfcNotify(LONG) { return S_OK; }
HRESULT CUserCtrlObject::MfcPretranslate(LONG) { return S_FALSE; }

HRESULT CUserCtrlObject::Print(LONG, LONG, LONG) { return S_OK; }

HRESULT CUserCtrlObject::ExtCtrlNotify(LONG, LONG) { return S_OK; }
HRESULT CUserCtrlObject::SetExtCtrlSink(IUnknown* sink) {
  // Kept as given: the reference the host passed with it is released at destruction.
  m_pExtCtrlSink = CComRef<IUnknown>::Adopt(sink);
  return S_OK;
}

HRESULT CUserCtrlObject::SizingStarted(LONG) { return S_OK; }
HRESULT CUserCtrlObject::SizingChanged(LONG, LONG, LONG, LONG) { return S_OK; }

HRESULT CUserCtrlObject::EventSetArg(LONG a) {
  m_nEventArg2 = a;
  return S_OK;
}
HRESULT CUserCtrlObject::EventPair1(LONG, LONG) { return S_OK; }
HRESULT CUserCtrlObject::EventPair2(LONG, LONG) { return S_OK; }
HRESULT CUserCtrlObject::EventQuad(LONG, LONG, LONG, LONG) { return S_OK; }
HRESULT CUserCtrlObject::EventTriple1(LONG, LONG, LONG) { return S_OK; }
HRESULT CUserCtrlObject::EventSetArgs(LONG a, LONG b, LONG c) {
  m_nEventArg1 = a;
  m_nEventArg2 = b;
  m_nEventArg3 = c;
  return S_OK;
}
HRESULT CUserCtrlObject::EventQuery1(LONG, LONG, LONG* out) {
  Put(out, 0);
  return S_OK;
}
HRESULT CUserCtrlObject::EventQuery2(LONG, LONG, LONG* out) {
  Put(out, 0);
  return S_OK;
}
HRESULT CUserCtrlObject::EventQuery3(LONG, LONG, LONG* out) {
  Put(out, 0);
  return S_OK;
}
HRESULT CUserCtrlObject::EventQuery4(LONG, LONG, LONG, LONG* out) {
  Put(out, 0);
  return S_OK;
}
HRESULT CUserCtrlObject::EventTriple2(LONG, LONG, LONG) { return S_OK; }

HRESULT CUserCtrlObject::ReleaseWinManObject(IUnknown* object) {
  if (object != nullptr) SafeRelease(object);
  return S_OK;
}
HRESULT CUserCtrlObject::SetACID(LONG acid) {
  m_nACID = acid;
  return S_OK;
}

HRESULT CUserCtrlObject::AttribQuery(LONG* out, LONG, LONG) {
  Put(out, 0);
  return S_OK;
}
HRESULT CUserCtrlObject::AttribPair(LONG, LONG) { return S_OK; }
HRESULT CUserCtrlObject::AttribQuery5(LONG, LONG* out, LONG, LONG, LONG) {
  Put(out, 0);
  return S_OK;
}
HRESULT CUserCtrlObject::AttribQuad(LONG, LONG, LONG, LONG) { return S_OK; }

HRESULT CUserCtrlObject::MenuQuery5(LONG, LONG* out, LONG, LONG, LONG) {
  Put(out, 0);
  return S_OK;
}
HRESULT CUserCtrlObject::MenuPair(LONG, LONG) { return S_OK; }
HRESULT CUserCtrlObject::MenuNone() { return S_OK; }
HRESULT CUserCtrlObject::MenuTriple(LONG, LONG, LONG) { return S_OK; }
HRESULT CUserCtrlObject::MenuQuery7(LONG* o1, LONG* o2, LONG* o3, LONG* o4, LONG* o5, LONG* o6, LONG* o7) {
  for (LONG* out : {o1, o2, o3, o4, o5, o6, o7}) Put(out, 0);
  return S_OK;
}
HRESULT CUserCtrlObject::MenuSingle(LONG) { return S_OK; }
HRESULT CUserCtrlObject::MenuQuery1(LONG* out) {
  Put(out, 0);
  return S_OK;
}
HRESULT CUserCtrlObject::MenuSingle2(LONG) { return S_OK; }

HRESULT CUserCtrlObject::Prop1(LONG, LONG) { return E_NOTIMPL; }
HRESULT CUserCtrlObject::Prop2(LONG, LONG) { return E_NOTIMPL; }
HRESULT CUserCtrlObject::Prop3(LONG, LONG, LONG) { return E_NOTIMPL; }
HRESULT CUserCtrlObject::Prop4(LONG, LONG, LONG, LONG* out) {
  Put(out, -1);
  return E_NOTIMPL;
}
HRESULT CUserCtrlObject::Prop5(LONG, LONG, LONG* out) {
  Put(out, -1);
  return E_NOTIMPL;
}
HRESULT CUserCtrlObject::Prop6(LONG, LONG, LONG* out) {
  Put(out, -1);
  return E_NOTIMPL;
}
HRESULT CUserCtrlObject::Prop7(LONG, LONG, LONG) { return E_NOTIMPL; }
HRESULT CUserCtrlObject::Prop8(LONG, LONG, LONG) { return E_NOTIMPL; }
HRESULT CUserCtrlObject::Prop9(LONG, LONG, LONG, LONG) { return E_NOTIMPL; }
HRESULT CUserCtrlObject::Prop10(LONG, LONG, LONG, LONG, LONG* out) {
  Put(out, -1);
  return E_NOTIMPL;
}
HRESULT CUserCtrlObject::Prop11(LONG, LONG, LONG, LONG* out) {
  Put(out, -1);
  return E_NOTIMPL;
}
HRESULT CUserCtrlObject::Prop12(LONG, LONG, LONG, LONG* out) {
  Put(out, -1);
  return E_NOTIMPL;
}

HRESULT CUserCtrlObject::MaskQuery5(LONG, LONG, LONG, LONG, LONG* out) {
  Put(out, 0);
  return S_OK;
}
HRESULT CUserCtrlObject::MaskQuery1(LONG* out) {
  Put(out, 0);
  return S_OK;
}
HRESULT CUserCtrlObject::MaskSingle1(LONG) { return S_OK; }
HRESULT CUserCtrlObject::MaskSingle2(LONG) { return S_OK; }
HRESULT CUserCtrlObject::MaskQuery3(LONG, LONG* o2, LONG* o3) {
  Put(o2, 0);
  Put(o3, 0);
  return S_OK;
}
HRESULT CUserCtrlObject::MaskNone() { return S_OK; }
HRESULT CUserCtrlObject::MaskQuery1b(LONG* out) {
  Put(out, 0);
  return S_OK;
}
HRESULT CUserCtrlObject::MaskQuery1c(LONG* out) {
  Put(out, 0);
  return S_OK;
}
HRESULT CUserCtrlObject::MaskQuery2(LONG, LONG* out) {
  Put(out, 0);
  return S_OK;
}

HRESULT CUserCtrlObject::PaintCell(LONG, LONG, LONG, LONG, LONG, LONG, LONG, LONG, LONG, LONG) { return E_NOTIMPL; }
HRESULT CUserCtrlObject::MediaEvent(LONG) { return E_NOTIMPL; }
