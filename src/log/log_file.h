// The platform edges of the log: moving the file aside, the process's name and file versions.
#pragma once

#include <string>

#include "base/platform.h"

// Moves the file to `oldName` (replacing an old file) when its size is above `maxSize`. Silent: a file
// that is missing, locked or cannot be moved stays where it is.
void MoveLogAsideIfOver(const std::string& path, const std::string& oldName, LONG maxSize);

// The base name of the process's executable; empty if unavailable.
std::string ProcessImageName();

struct FileVersion {
  DWORD mostSignificant;
  DWORD leastSignificant;
};
// The fixed file version of a module found by the system's search rules; false if it has none.
bool ReadFileVersion(const char* fileName, FileVersion& version);
