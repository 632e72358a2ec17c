// The library's two entry points, exported by plain name through QelVorlaProxy.def.
#pragma once

#include "base/platform.h"

extern "C" {
// Creates a control when the low 16 bits of `type` are 53 and hands its IUnknown, with one reference, to
// *ppUnknown. 1 on success, 0 otherwise; no exception leaves it.
LONG WINAPI ControlFactoryX(LONG type, IUnknown** ppUnknown, LONG reserved);
// Writes 1 and 0 to the two outputs (a null output is skipped) and returns 1.
LONG WINAPI Version(LONG reserved, LONG* pFirst, LONG* pSecond);
}
