// Releasing foreign objects that misbehave: the fault stays inside the release.
#include <gtest/gtest.h>

#include <stdexcept>

#include "base/foreign_call.h"
#include "plugins/proxy_plugin.h"
#include "proxy_standin_control.h"

namespace {

// An object whose Release counts down and then fails as told.
class MisbehavingObject : public IUnknown {
 public:
  enum class Failure { kNone, kThrow, kFault };
  explicit MisbehavingObject(Failure failure) : m_failure(failure) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG STDMETHODCALLTYPE Release() override {
    --refs;
    if (m_failure == Failure::kThrow) throw std::runtime_error("release failed");
    if (m_failure == Failure::kFault) {
      volatile uintptr_t nowhere = 0;
      *reinterpret_cast<volatile int*>(nowhere) = 1;
    }
    return static_cast<ULONG>(refs);
  }

  LONG refs = 2;

 private:
  Failure m_failure;
};

}  // namespace

TEST(SafeRelease, ReleasesOnceAndReportsHowReleaseEnded) {
  const struct {
    MisbehavingObject::Failure failure;
    bool expected;
  } cases[] = {
      {MisbehavingObject::Failure::kNone, true},
      {MisbehavingObject::Failure::kThrow, false},
  };
  for (const auto& c : cases) {
    MisbehavingObject object(c.failure);
    EXPECT_EQ(SafeRelease(&object), c.expected);
    EXPECT_EQ(object.refs, 1);
  }
  EXPECT_TRUE(SafeRelease(nullptr));
}

TEST(SafeRelease, AThrowingReleaseAcrossTheLibraryBoundaryIsSwallowed) {
  StandInLibrary standin("QelVideoProxy_VFN.dll");
  StandInBehaviour behaviour;
  behaviour.proxyReleaseFault = kStandInThrows;
  standin.Configure(behaviour);
  CProxyPlugin plugin;
  ASSERT_EQ(plugin.Load("QelVideoProxy_VFN.dll"), 1);
  IQelVideoProxy* proxy = nullptr;
  ASSERT_EQ(plugin.CreateProxy(&proxy), 1);
  ASSERT_NE(proxy, nullptr);
  EXPECT_FALSE(SafeRelease(proxy));
  EXPECT_EQ(standin.Counts().liveProxies, 0) << "the throwing Release had let go first";
}

#ifdef _WIN32
TEST(SafeRelease, AnAccessViolationInsideReleaseIsSurvivedAndTheGuardCanBeUsedAgain) {
  MisbehavingObject faulting(MisbehavingObject::Failure::kFault);
  EXPECT_FALSE(SafeRelease(&faulting));
  EXPECT_EQ(faulting.refs, 1) << "the release ran up to the fault";
  MisbehavingObject faultingAgain(MisbehavingObject::Failure::kFault);
  EXPECT_FALSE(SafeRelease(&faultingAgain));
  MisbehavingObject sound(MisbehavingObject::Failure::kNone);
  EXPECT_TRUE(SafeRelease(&sound));
  // A C++ exception after the guards is still caught where it is thrown.
  EXPECT_THROW(throw std::runtime_error("after"), std::runtime_error);
}

TEST(SafeRelease, AFaultingFactoryReleaseInsideTheLibraryLeavesCreateProxyWorking) {
  StandInLibrary standin("QelVideoProxy_SS.dll");
  StandInBehaviour behaviour;
  behaviour.factoryReleaseFault = kStandInAccessViolation;
  standin.Configure(behaviour);
  CProxyPlugin plugin;
  ASSERT_EQ(plugin.Load("QelVideoProxy_SS.dll"), 1);
  for (int attempt = 0; attempt < 2; ++attempt) {
    IQelVideoProxy* proxy = nullptr;
    EXPECT_EQ(plugin.CreateProxy(&proxy), 1);
    ASSERT_NE(proxy, nullptr);
    EXPECT_EQ(proxy->Release(), 0u);
  }
  EXPECT_EQ(standin.Counts().liveFactoryObjects, 2) << "each faulting Release abandoned its object";
}

void WriteThroughNull(void*) {
  volatile uintptr_t nowhere = 0;
  *reinterpret_cast<volatile int*>(nowhere) = 1;
}

// A foreign library that guards its own risky call sees its own fault first; the outer guard sees nothing.
TEST(GuardedForeignCall, TheInnermostGuardTakesTheFaultAndTheOuterCallCompletes) {
  struct Outcome {
    bool innerCompleted = true;
    bool outerReachedItsEnd = false;
  } outcome;
  const bool outerCompleted = GuardedForeignCall(
      [](void* context) {
        auto* seen = static_cast<Outcome*>(context);
        seen->innerCompleted = GuardedForeignCall(&WriteThroughNull, nullptr);
        seen->outerReachedItsEnd = true;
      },
      &outcome);
  EXPECT_TRUE(outerCompleted);
  EXPECT_FALSE(outcome.innerCompleted);
  EXPECT_TRUE(outcome.outerReachedItsEnd);
  EXPECT_FALSE(GuardedForeignCall(&WriteThroughNull, nullptr)) << "the guards were let go in order";
}

#ifndef _WIN64
// What a library built with a Windows compiler raises for a C++ throw escapes its frames into ours.
TEST(GuardedForeignCall, AWindowsCompilersCppExceptionIsTakenOn32BitX86) {
  const bool completed = GuardedForeignCall(
      [](void*) {
        const ULONG_PTR throwInfo[3] = {0x19930520, 0, 0};
        RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 3, throwInfo);
      },
      nullptr);
  EXPECT_FALSE(completed);
  EXPECT_THROW(throw std::runtime_error("after"), std::runtime_error);
}
#endif
#endif
