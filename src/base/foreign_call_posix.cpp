// Off Windows a fault in foreign code is not survivable in a way the sanitizers and the dynamic loader
// accept, so the call runs unguarded.
#ifndef _WIN32
#include "base/foreign_call.h"

bool GuardedForeignCall(void (*call)(void* context), void* context) {
  call(context);
  return true;
}
#endif
