#ifdef _WIN32
#include <vector>

#include "log/log_file.h"
// psapi.h needs the Windows types first.
#include <psapi.h>

void MoveLogAsideIfOver(const std::string& path, const std::string& oldName, LONG maxSize) {
  // Open with FILE_SHARE_DELETE only: a writer elsewhere that forbids deletion makes the open fail and
  // nothing is moved. The handle stays open across the move.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const DWORD size = GetFileSize(file, nullptr);
  if (size != INVALID_FILE_SIZE && size > static_cast<DWORD>(maxSize) && !oldName.empty()) {
    DeleteFileA(oldName.c_str());
    MoveFileA(path.c_str(), oldName.c_str());
  }
  CloseHandle(file);
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
