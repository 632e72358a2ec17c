// Where the process's log lives unless its settings say otherwise: the registry key its settings are read
// from, the file it falls back to and the size past which it moves aside. The host simulator finds the
// library's log by the same rule.
#pragma once

#include "base/platform.h"

inline constexpr const char* kLogSettingsKey = "SOFTWARE\\Strovek L.P.\\QelVorlaProxy";
inline constexpr const char* kDefaultLogFile = "QelVorlaProxy.log";
inline constexpr LONG kDefaultLogMaxSize = 1024000;
