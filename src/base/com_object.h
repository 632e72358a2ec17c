// The one base of the library's COM objects and of the relay's and the simulator's: the interfaces the
// object derives from, one reference count for all of them, and QueryInterface written one way. The count
// type says who may count (CPlainCount on one thread, CInterlockedCount from any) and what the last
// Release does: the counted object deletes itself, the watched one (CWatchedCount) only lets its owner
// read the count, for an object that lives as long as whoever made it.
#pragma once

#include <initializer_list>

#include "base/object_count.h"
#include "base/platform.h"

// One identifier an object answers and the interface pointer it answers with.
struct CComAnswer {
  const IID& iid;
  IUnknown* pInterface;
};

template <class Count, class... Interfaces>
class CComObject : public Interfaces... {
 public:
  CComObject(const CComObject&) = delete;
  CComObject& operator=(const CComObject&) = delete;

  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(m_count.Up()); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG count = m_count.Down();
    // The count lives inside the object: nothing of it is touched after the delete.
    if constexpr (Count::kDeletesObject) {
      if (count == 0) delete this;
    }
    return static_cast<ULONG>(count);
  }
  LONG RefCount() const { return m_count.Value(); }

 protected:
  explicit CComObject(LONG initial) : m_count(initial) {}
  virtual ~CComObject() = default;

  // A null output is refused with E_POINTER; otherwise the output is cleared, and the first answer whose
  // identifier matches is written with a reference of its own.
  HRESULT Answer(REFIID iid, void** ppv, std::initializer_list<CComAnswer> answers) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    for (const CComAnswer& answer : answers) {
      if (!IsEqualGUID(iid, answer.iid)) continue;
      answer.pInterface->AddRef();
      *ppv = answer.pInterface;
      return S_OK;
    }
    return E_NOINTERFACE;
  }

 private:
  Count m_count;
};
