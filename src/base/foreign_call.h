// Calls into code that another party built. A plug-in object's Release may throw or fault; either is
// caught and ignored, so one broken library cannot take the host process down while it lets go of it.
#pragma once

#include "base/platform.h"

// Runs `call(context)`. Where the platform lets a fault be survived cleanly (Windows builds), a hardware
// fault inside the call (access violation, illegal instruction, division by zero...) abandons the call
// and returns false; elsewhere a fault ends the process as usual. C++ exceptions are not caught here.
bool GuardedForeignCall(void (*call)(void* context), void* context);

// Releases one reference on a foreign object; a C++ exception or a hardware fault raised inside Release
// is swallowed. True when Release returned normally. A null object is left alone and counts as released.
bool SafeRelease(IUnknown* object);
