// Surviving a hardware fault, or on 32-bit x86 also a foreign C++ exception, in a foreign call. Visual C++
// has structured exception handling for this; mingw-w64 has not, and each of its targets gets what fits its
// exception model:
// - 64-bit: a vectored handler, registered only for the length of the call, sees the fault first; when the
//   faulting thread is inside a guarded call it makes the thread resume in a landing function that jumps
//   back to the guard with GCC's non-unwinding __builtin_longjmp, abandoning the foreign frames. The
//   landing runs on ordinary stack below the guard, not inside the exception dispatch. Only hardware faults
//   are taken: C++ exceptions also pass through vectored handlers and must go on to their catch blocks,
//   which on this target are found across module boundaries.
// - 32-bit x86: a frame handler of our own is pushed on the thread's handler chain around the call, so the
//   foreign library's own handlers see an exception first and only what escapes them reaches ours. Ours
//   unwinds the foreign frames the system's way and jumps back to the guard. Besides hardware faults it
//   takes C++ exceptions raised through the system by libraries built with a Windows compiler: GCC's own
//   exceptions on this target are DWARF-based and can never leave the library that throws them.
#ifdef _WIN32
#include "base/foreign_call.h"

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

#elif defined(_WIN64)

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
  context->Rsp = stack - 8;  // as if just called: the return address slot keeps the alignment rules
  context->Rip = reinterpret_cast<DWORD64>(&LandAfterFault);
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

#else  // 32-bit x86

namespace {

// What a Windows compiler's runtime raises for a C++ throw.
constexpr DWORD kForeignCppException = 0xE06D7363;

// The chain record comes first, so the frame the system hands the handler is the guard itself.
struct FaultGuard {
  EXCEPTION_REGISTRATION_RECORD record;
  void* jump[5];  // what __builtin_setjmp keeps
};

// The head of the thread's handler chain, the first word of its information block at fs:0. Read and written
// directly: the headers' accessors make GCC see a null-pointer dereference.
EXCEPTION_REGISTRATION_RECORD* ChainHead() {
  EXCEPTION_REGISTRATION_RECORD* head;
  __asm__ volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

void SetChainHead(EXCEPTION_REGISTRATION_RECORD* head) { __asm__ volatile("movl %0, %%fs:0" : : "r"(head) : "memory"); }

// The guard is kept where the unwind cannot touch it: the system's unwind need not preserve the registers
// a compiler expects to survive a call.
thread_local FaultGuard* t_landing = nullptr;

EXCEPTION_DISPOSITION __cdecl OnEscapedException(EXCEPTION_RECORD* record, void* frame, CONTEXT*, void*) {
  if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0) return ExceptionContinueSearch;
  if (!IsHardwareFault(record->ExceptionCode) && record->ExceptionCode != kForeignCppException)
    return ExceptionContinueSearch;
  t_landing = static_cast<FaultGuard*>(frame);
  // The foreign frames run their cleanup, and the chain ends at this guard again.
  RtlUnwind(frame, nullptr, record, nullptr);
  __builtin_longjmp(t_landing->jump, 1);
}

}  // namespace

bool GuardedForeignCall(void (*call)(void* context), void* context) {
  FaultGuard guard{};
  guard.record.Next = ChainHead();
  guard.record.Handler = reinterpret_cast<PEXCEPTION_ROUTINE>(&OnEscapedException);
  volatile bool faulted = false;
  if (__builtin_setjmp(guard.jump) == 0) {
    SetChainHead(&guard.record);
    call(context);
  } else {
    faulted = true;
  }
  SetChainHead(guard.record.Next);
  return !faulted;
}

#endif  // _MSC_VER
#endif  // _WIN32
