// One counted reference on an interface, held for exactly as long as the holder holds the pointer. An
// empty holder holds nothing. The reference is given back through the guarded release, so a foreign
// object whose Release throws or faults cannot take the holder's owner down with it.
#pragma once

#include <utility>

#include "base/foreign_call.h"
#include "base/platform.h"

template <class T>
class CComRef {
 public:
  CComRef() = default;
  ~CComRef() { Reset(); }
  CComRef(const CComRef&) = delete;
  CComRef& operator=(const CComRef&) = delete;
  CComRef(CComRef&& other) noexcept : m_pInterface(other.Detach()) {}
  // The incoming reference is in place before the old one goes: holding the same object again never lets
  // its count touch 0 in between.
  CComRef& operator=(CComRef&& other) noexcept {
    CComRef old(std::move(*this));
    m_pInterface = other.Detach();
    return *this;
  }

  // Takes over a reference the caller already counted (a factory's result, a reference handed in).
  static CComRef Adopt(T* pInterface) {
    CComRef ref;
    ref.m_pInterface = pInterface;
    return ref;
  }
  // Adds a reference of its own on an interface someone else holds.
  static CComRef Share(T* pInterface) {
    if (pInterface != nullptr) pInterface->AddRef();
    return Adopt(pInterface);
  }

  // Gives the reference back; empty afterwards.
  void Reset() { SafeRelease(Detach()); }

  // For an out-parameter (QueryInterface, a factory): the old reference goes first, the callee writes the
  // counted one in place.
  T** Put() {
    Reset();
    return &m_pInterface;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }

  T* Get() const { return m_pInterface; }
  T* operator->() const { return m_pInterface; }
  explicit operator bool() const { return m_pInterface != nullptr; }

 private:
  T* Detach() { return std::exchange(m_pInterface, nullptr); }

  T* m_pInterface = nullptr;
};

// Asks an object for an interface; a refused request gives an empty holder, whatever the callee wrote into
// the out-parameter: that is not a reference, so it is never released.
template <class T>
CComRef<T> QueryRefOrEmpty(IUnknown* pObject, REFIID iid) {
  T* found = nullptr;
  if (pObject == nullptr || FAILED(pObject->QueryInterface(iid, reinterpret_cast<void**>(&found)))) return {};
  return CComRef<T>::Adopt(found);
}
