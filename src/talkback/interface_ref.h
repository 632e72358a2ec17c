// One reference on a foreign interface, held exactly as long as the pointer is stored.
#pragma once

#include "base/platform.h"
#include "plugins/foreign_call.h"

template <class T>
class CInterfaceRef {
 public:
  CInterfaceRef() = default;
  ~CInterfaceRef() { Reset(nullptr); }
  CInterfaceRef(const CInterfaceRef&) = delete;
  CInterfaceRef& operator=(const CInterfaceRef&) = delete;

  // Takes the new reference before giving back the old one: storing the interface already held must not
  // let its count touch 0 in between. A fault in the old one's Release is the host's own and is ignored.
  void Reset(T* pInterface) {
    if (pInterface != nullptr) pInterface->AddRef();
    T* pOld = m_pInterface;
    m_pInterface = pInterface;
    SafeRelease(pOld);
  }

  T* Get() const { return m_pInterface; }

 private:
  T* m_pInterface = nullptr;
};
