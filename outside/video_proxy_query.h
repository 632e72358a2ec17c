// QueryInterface as every proxy object of the outside libraries answers it: IQelVideoProxy and IUnknown
// with a reference of their own, nothing else.
#pragma once

#include "plugins/outside_interfaces.h"

inline HRESULT QueryVideoProxy(IQelVideoProxy* pProxy, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualGUID(riid, IID_IQelVideoProxy) && !IsEqualGUID(riid, IID_IUnknown)) return E_NOINTERFACE;
  pProxy->AddRef();
  *ppv = pProxy;
  return S_OK;
}
