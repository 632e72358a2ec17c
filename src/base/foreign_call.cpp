#include "base/foreign_call.h"

namespace {

struct ReleaseCall {
  IUnknown* object;
  bool threw;
};

void ReleaseOnce(void* context) {
  auto* call = static_cast<ReleaseCall*>(context);
  try {
    call->object->Release();
  } catch (...) {
    call->threw = true;
  }
}

}  // namespace

bool SafeRelease(IUnknown* object) {
  if (object == nullptr) return true;
  ReleaseCall call{object, false};
  const bool completed = GuardedForeignCall(&ReleaseOnce, &call);
  return completed && !call.threw;
}
