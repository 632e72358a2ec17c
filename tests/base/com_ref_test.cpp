// The owning reference: exact counts after each step of a holder's life.
#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>

#include "base/com_ref.h"

namespace {

// Counts its references; throws from the Release that a test arms, after letting go.
class CountedObject : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    AddRef();
    *ppv = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG STDMETHODCALLTYPE Release() override {
    --refs;
    if (minimum > refs) minimum = refs;
    if (throwOnRelease) throw std::runtime_error("release failed");
    return static_cast<ULONG>(refs);
  }
  LONG refs = 1;
  LONG minimum = 1;
  bool throwOnRelease = false;
};

using Ref = CComRef<IUnknown>;

}  // namespace

TEST(ComRef, AdoptTakesShareAddsAndEachHolderReleasesOnce) {
  CountedObject object;
  {
    Ref adopted = Ref::Adopt(&object);
    EXPECT_EQ(object.refs, 1);
    Ref shared = Ref::Share(adopted.Get());
    EXPECT_EQ(object.refs, 2);
    Ref moved = std::move(shared);
    EXPECT_FALSE(shared);
    EXPECT_EQ(moved.Get(), &object);
    EXPECT_EQ(object.refs, 2);
  }
  EXPECT_EQ(object.refs, 0);
}

TEST(ComRef, HoldingTheSameObjectAgainNeverLetsItsCountTouchZero) {
  CountedObject object;
  Ref held = Ref::Adopt(&object);
  held = Ref::Share(&object);
  EXPECT_EQ(object.refs, 1);
  EXPECT_EQ(object.minimum, 1);
  held.Reset();
  EXPECT_EQ(object.refs, 0);
}

TEST(ComRef, PutReleasesTheOldReferenceBeforeTheCalleeWrites) {
  CountedObject first;
  CountedObject second;
  Ref held = Ref::Adopt(&first);
  second.QueryInterface(IID_IUnknown, held.PutVoid());
  EXPECT_EQ(first.refs, 0);
  EXPECT_EQ(second.refs, 2);
  held.Reset();
  EXPECT_EQ(second.refs, 1);
}

TEST(ComRef, AThrowingReleaseLeavesTheHolderEmpty) {
  CountedObject object;
  object.throwOnRelease = true;
  Ref held = Ref::Adopt(&object);
  EXPECT_NO_THROW(held.Reset());
  EXPECT_FALSE(held);
  EXPECT_EQ(object.refs, 0);
}
