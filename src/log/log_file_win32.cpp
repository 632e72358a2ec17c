#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <vector>

#include "log/log_file.h"
// psapi.h needs the Windows types first.
#include <psapi.h>

#include <atomic>
#include <climits>
#include <string>

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE StreamHandle(FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

// A process that has not yet followed the previous move-aside may still hold the old file open. Deleted
// where it is, its name would stay taken until that process lets go, and the move onto it would fail; so it
// first takes a name of its own, and goes when the last holder closes it.
void RemoveOldLog(const std::string& oldName) {
  static std::atomic<unsigned> removals{0};
  const std::string leaving = oldName + "." + std::to_string(GetCurrentProcessId()) + "-" +
                              std::to_string(GetTickCount()) + "-" + std::to_string(++removals) + ".deleted";
  if (MoveFileA(oldName.c_str(), leaving.c_str())) DeleteFileA(leaving.c_str());
  else DeleteFileA(oldName.c_str());
}

}  // namespace

FILE* OpenLogForAppend(const std::string& path) {
  // Append data without write data: the system appends each write at the end of the file, where a
  // seek to the end followed by a write could meet another process's write at the same offset.
  // Attributes too, for the size test.
  HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  // Not _O_APPEND: the C library would then seek to the end before every write, a second round of system
  // calls for what the handle already does; the write position still follows each append.
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
  if (descriptor == -1) {
    CloseHandle(file);
    return nullptr;
  }
  // From here the stream owns the descriptor, and the descriptor the handle.
  FILE* stream = _fdopen(descriptor, "ab");
  if (stream == nullptr) _close(descriptor);
  return stream;
}

void MoveLogAsideIfOver(const std::string& path, const std::string& oldName, LONG maxSize) {
  // Every other open of the log shares reading, writing and deletion, and so does this one: an open that
  // shared deletion alone would fail while any other process appends, and the file would never move. The
  // handle stays open across the move.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const DWORD size = GetFileSize(file, nullptr);
  if (size != INVALID_FILE_SIZE && size > static_cast<DWORD>(maxSize) && !oldName.empty()) {
    RemoveOldLog(oldName);
    MoveFileA(path.c_str(), oldName.c_str());
  }
  CloseHandle(file);
}

long LogFileSize(FILE* stream) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(StreamHandle(stream), &size)) return -1;
  return size.QuadPart > LONG_MAX ? LONG_MAX : static_cast<long>(size.QuadPart);
}

std::string ProcessImageName() {
  char name[100] = {};
  if (GetModuleBaseNameA(GetCurrentProcess(), nullptr, name, sizeof name) == 0) return {};
  return name;
}

bool ReadFileVersion(const char* fileName, FileVersion& version) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(fileName, &handle);
  if (size == 0) return false;
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoA(fileName, 0, size, data.data())) return false;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT infoSize = 0;
  if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &infoSize) || info == nullptr ||
      infoSize < sizeof(VS_FIXEDFILEINFO))
    return false;
  version.mostSignificant = info->dwFileVersionMS;
  version.leastSignificant = info->dwFileVersionLS;
  return true;
}
#endif
