// Interface identifiers written as constants usable on every target.
#pragma once

#include <cstring>

#include "base/platform.h"

#ifdef _WIN32
// The platform's GUID comparison is not constexpr-friendly across toolchains; raw bytes are what count.
inline bool SameIID(REFIID a, REFIID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
#else
inline bool SameIID(REFIID a, REFIID b) { return IsEqualGUID(a, b); }
#endif
