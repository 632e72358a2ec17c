// The platform edges of the log: moving the file aside, the process's name and file versions.
#pragma once

#include <cstdio>
#include <string>

#include "base/platform.h"

// The log file as a binary stream whose every write the system itself puts at the end of the file, so
// writers in other processes never land on the same offset. No sharing restriction: other handles may
// read, write, rename or delete the file meanwhile. Null when the file cannot be opened.
FILE* OpenLogForAppend(const std::string& path);

// Moves the file to `oldName` (replacing an old file) when its size is above `maxSize`, while other
// processes hold it open for appending. Silent: a file that is missing, locked or cannot be moved stays
// where it is.
void MoveLogAsideIfOver(const std::string& path, const std::string& oldName, LONG maxSize);

// The size of the file the stream writes to, every process's appends included; -1 when unknown.
long LogFileSize(FILE* stream);

// The base name of the process's executable; empty if unavailable.
std::string ProcessImageName();

struct FileVersion {
  DWORD mostSignificant;
  DWORD leastSignificant;
};
// The fixed file version of a module found by the system's search rules; false if it has none.
bool ReadFileVersion(const char* fileName, FileVersion& version);
