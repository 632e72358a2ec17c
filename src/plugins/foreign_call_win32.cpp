// Surviving a hardware fault in a foreign call. Visual C++ has structured exception handling for this.
// mingw-w64 has not: there a vectored handler, registered only for the length of the call, sees the fault
// first; when the faulting thread is inside a guarded call it makes the thread resume in a landing
// function that jumps back to the guard with GCC's non-unwinding __builtin_longjmp, abandoning the
// foreign frames. The landing runs on ordinary stack below the guard, not inside the exception dispatch.
// Only hardware faults are taken: C++ exceptions also pass through vectored handlers and must go on to
// their catch blocks.
#ifdef _WIN32
#include "plugins/foreign_call.h"

namespace {

bool IsHardwareFault(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
      return true;
    default:
      return false;
  }
}

}  // namespace

#ifdef _MSC_VER

bool GuardedForeignCall(void (*call)(void* context), void* context) {
  __try {
    call(context);
  } __except (IsHardwareFault(GetExceptionCode()) ? EXCEPTION_EXECUTE_HANDLER : EXCEPTION_CONTINUE_SEARCH) {
    return false;
  }
  return true;
}

#else

namespace {

struct FaultGuard {
  void* jump[5];  // what __builtin_setjmp keeps
  FaultGuard* outer;
};

// The innermost guarded call of this thread, and the guard a fault is being returned to.
thread_local FaultGuard* t_guard = nullptr;
thread_local FaultGuard* t_landing = nullptr;

// The landing function runs this far below the guard: clear of the guard's own frame, and over the
// abandoned foreign frames if they reach that deep, which is harmless as they are never returned to.
constexpr uintptr_t kLandingStackGap = 1024;

[[noreturn]] void LandAfterFault() { __builtin_longjmp(t_landing->jump, 1); }

LONG CALLBACK OnForeignFault(EXCEPTION_POINTERS* info) {
  FaultGuard* guard = t_guard;
  if (guard == nullptr || !IsHardwareFault(info->ExceptionRecord->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
  // A second fault on the way out is not taken again: it would loop.
  t_guard = guard->outer;
  t_landing = guard;
  const uintptr_t stack = (reinterpret_cast<uintptr_t>(guard) - kLandingStackGap) & ~static_cast<uintptr_t>(15);
  CONTEXT* context = info->ContextRecord;
#ifdef _WIN64
  context->Rsp = stack - 8;  // as if just called: the return address slot keeps the alignment rules
  context->Rip = reinterpret_cast<DWORD64>(&LandAfterFault);
#else
  context->Esp = static_cast<DWORD>(stack - 4);
  context->Eip = static_cast<DWORD>(reinterpret_cast<uintptr_t>(&LandAfterFault));
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

bool GuardedForeignCall(void (*call)(void* context), void* context) {
  FaultGuard guard{};
  guard.outer = t_guard;
  // Registered per call rather than once, so no handler outlives this library when the host unloads it.
  void* volatile handler = AddVectoredExceptionHandler(1, &OnForeignFault);
  volatile bool faulted = false;
  if (__builtin_setjmp(guard.jump) == 0) {
    t_guard = &guard;
    call(context);
  } else {
    faulted = true;
  }
  t_guard = guard.outer;
  if (handler != nullptr) RemoveVectoredExceptionHandler(handler);
  return !faulted;
}

#endif  // _MSC_VER
#endif  // _WIN32
