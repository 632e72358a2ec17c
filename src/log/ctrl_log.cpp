#include "log/ctrl_log.h"

#include <chrono>
#include <cstdarg>
#include <cstring>
#include <thread>

#include "base/locks.h"
#include "base/registry.h"
#include "log/failure_lines.h"
#include "log/log_file.h"
#include "log/log_line.h"

namespace {

constexpr const char* kHeaderRule = "==============================================================";
constexpr const char* kVersionedFiles[] = {"QelVorlaProxy.dll", "QelVideoProxy_WMP.dll", "QelVideoProxy_SS.dll",
                                           "QelVideoProxy_VFN.dll"};
constexpr LONG kMaxSizeKLimit = 10239;
constexpr int kExactPositionEvery = 32;
constexpr int kReopenAttempts = 50;
constexpr std::chrono::milliseconds kReopenPause{20};

// A text logged as it is ("%s") skips the formatter, which costs more than the rest of the line's own work.
bool IsPlainTextFormat(const char* format) { return format != nullptr && std::strcmp(format, "%s") == 0; }

// The text as the formatter would give it: "(null)" for a null text, at most 1023 characters.
std::string_view PlainText(const char* text) {
  if (text == nullptr) text = "(null)";
  return {text, strnlen(text, kLogMessageBufferSize - 1)};
}

}  // namespace

size_t FormatLogMessage(char (&buffer)[kLogMessageBufferSize], const char* format, va_list args) {
  if (IsPlainTextFormat(format)) {
    const std::string_view text = PlainText(va_arg(args, const char*));
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return text.size();
  }
  if (format == nullptr || std::vsnprintf(buffer, sizeof buffer, format, args) < 0) buffer[0] = '\0';
  // The text ends at its first NUL, whatever the formatter counted.
  return strnlen(buffer, sizeof buffer - 1);
}

std::string OldLogFileName(const std::string& path) {
  const size_t nameStart = path.find_last_of("\\/");
  const size_t dot = path.find('.', nameStart == std::string::npos ? 0 : nameStart + 1);
  if (dot == std::string::npos) return {};
  return path.substr(0, dot) + "_old" + path.substr(dot);
}

CQelCtrlLog::CQelCtrlLog()
    : m_bSettingsRead(false), m_pStream(nullptr), m_nLevel(0), m_nMaxSize(kDefaultLogMaxSize) {
  InitializeCriticalSection(&m_csLog);
}

CQelCtrlLog::~CQelCtrlLog() {
  Close();
  DeleteCriticalSection(&m_csLog);
}

int CQelCtrlLog::ReadSettings() {
  CRegistry registry(HKEY_LOCAL_MACHINE, kLogSettingsKey);
  return ReadSettingsFrom(registry);
}

int CQelCtrlLog::ReadSettingsFrom(CRegistry& registry) {
  CAutoLock hold(&m_csLog);
  if (m_bSettingsRead) return 1;
  const std::string fileName = registry.ReadString("LogFile");
  if (fileName.empty()) return 0;
  const DWORD level = registry.ReadDword("LogFileLevel");
  const DWORD maxSizeK = registry.ReadDword("LogMaxSizeK");
  const bool maxSizeAccepted = maxSizeK >= 1 && maxSizeK <= kMaxSizeKLimit;
  UseSettings(fileName, level >= 1 && level <= 3 ? static_cast<LONG>(level) : 1,
              maxSizeAccepted ? static_cast<LONG>(maxSizeK) * 1024 : m_nMaxSize);
  return 1;
}

void CQelCtrlLog::UseSettings(const std::string& fileName, LONG level, LONG maxSize) {
  CAutoLock hold(&m_csLog);
  m_strFileName = fileName;
  m_nLevel = level;
  m_nMaxSize = maxSize;
  m_bSettingsRead = true;
}

int CQelCtrlLog::LogF(LONG level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = VLogF(level, format, args);
  va_end(args);
  return result;
}

int CQelCtrlLog::VLogF(LONG level, const char* format, va_list args) {
  if (level > m_nLevel) return 1;
  // A plain text goes into the line as it stands, without a copy.
  if (IsPlainTextFormat(format)) return WriteText(PlainText(va_arg(args, const char*)), level);
  char message[kLogMessageBufferSize];
  const size_t length = FormatLogMessage(message, format, args);
  return WriteText({message, length}, level);
}

int CQelCtrlLog::Write(const char* text, LONG level) {
  if (text == nullptr) return 0;
  return WriteText(text, level);
}

int CQelCtrlLog::WriteText(std::string_view text, LONG level) {
  if (level > m_nLevel) return 1;
  {
    // The usual case, a file already open, takes the section once.
    CAutoLock hold(&m_csLog);
    if (m_pStream != nullptr) return WriteLineHeld(text);
  }
  // The lock is not held between the open and the header: a plug-in line may fall between header lines.
  if (Open() == 1) WriteHeaderBlock();
  CAutoLock hold(&m_csLog);
  return WriteLineHeld(text);
}

void CQelCtrlLog::WriteHeaderBlock() {
  LogF(1, "%s", kHeaderRule);
  LogF(1, "Process ID: %d", static_cast<int>(GetCurrentProcessId()));
  LogF(1, "Image Name: %s", ProcessImageName().c_str());
  for (const char* file : kVersionedFiles) DisplayDllVersion(file);
  LogF(1, "%s", kHeaderRule);
}

int CQelCtrlLog::WriteLine(const char* text) {
  CAutoLock hold(&m_csLog);
  return WriteLineHeld(text != nullptr ? text : "");
}

int CQelCtrlLog::WriteLineHeld(std::string_view text) {
  if (!ReopenIfOverLimit(false)) return 0;
  LogLineLock otherProcesses(m_lineLockSection);
  m_nKnownPosition += static_cast<long>(m_lineWriter.Write(m_pStream, text));
  return 1;
}

long CQelCtrlLog::StreamPosition(bool exact) {
  // Between exact readings the own count can only say "below the limit": nothing moves, whatever the
  // stream's state.
  if (!exact && ++m_nLinesSinceExact < kExactPositionEvery && m_nKnownPosition <= static_cast<long>(m_nMaxSize))
    return m_nKnownPosition;
  // A stream in a failed state reports position -1 and so is never moved aside.
  if (std::ferror(m_pStream)) return -1L;
  m_nLinesSinceExact = 0;
  m_nKnownPosition = std::ftell(m_pStream);
  return m_nKnownPosition;
}

bool CQelCtrlLog::ReopenIfOverLimit(bool exact) {
  if (m_pStream == nullptr) return false;
  const long position = StreamPosition(exact);
  if (m_nMaxSize > 0 && position > static_cast<long>(m_nMaxSize)) {
    std::fclose(m_pStream);
    m_pStream = nullptr;
    MoveLogAsideIfOver(m_strFileName, OldLogFileName(m_strFileName), m_nMaxSize);
    // No header block after this reopen: the new file continues the same session.
    if (!ReopenAfterMoveAside()) {
      m_bSessionLostStream = true;
      return false;
    }
  }
  return true;
}

bool CQelCtrlLog::ReopenAfterMoveAside() {
  // Another process moving the shared file aside holds it, for as long as its delete and move take, in a
  // way that refuses every other open: the reopen waits that out rather than drop the line.
  for (int attempt = 1;; ++attempt) {
    if (CreateStream()) return true;
    if (attempt == kReopenAttempts) return false;
    std::this_thread::sleep_for(kReopenPause);
  }
}

int CQelCtrlLog::CheckSize() {
  CAutoLock hold(&m_csLog);
  return ReopenIfOverLimit(true) ? 1 : 0;
}

bool CQelCtrlLog::CreateStream() {
  // Binary append with explicit CR LF, so the plug-in's writes through the same FILE* read alike.
  FILE* stream = OpenLogForAppend(m_strFileName);
  if (stream == nullptr) return false;
  // Where the write position starts in append mode is left to the C library; the size test needs it at
  // the end.
  std::fseek(stream, 0, SEEK_END);
  m_pStream = stream;
  m_nKnownPosition = std::ftell(stream);
  m_nLinesSinceExact = 0;
  return true;
}

int CQelCtrlLog::Open() {
  CAutoLock hold(&m_csLog);
  if (m_pStream != nullptr) return 0;
  MoveLogAsideIfOver(m_strFileName, OldLogFileName(m_strFileName), m_nMaxSize);
  if (!CreateStream()) return 0;
  // A stream lost at a move-aside is taken up again in the session it belonged to: no header block.
  const bool sameSession = m_bSessionLostStream;
  m_bSessionLostStream = false;
  return sameSession ? 0 : 1;
}

void CQelCtrlLog::Close() {
  CAutoLock hold(&m_csLog);
  if (m_pStream != nullptr) std::fclose(m_pStream);
  m_pStream = nullptr;
  m_bSessionLostStream = false;
}

void CQelCtrlLog::DisplayDllVersion(const char* fileName) {
  FileVersion version{};
  if (fileName == nullptr || !ReadFileVersion(fileName, version)) {
    LogF(1, kFailedFileVersion, fileName != nullptr ? fileName : "");
    return;
  }
  // Each 16-bit part prints as a signed number, as the version tools of the platform do.
  LogF(1, "DisplayDllVersion: File=%s, %d.%d.%d.%d", fileName,
       static_cast<int16_t>(version.mostSignificant >> 16), static_cast<int16_t>(version.mostSignificant & 0xFFFF),
       static_cast<int16_t>(version.leastSignificant >> 16), static_cast<int16_t>(version.leastSignificant & 0xFFFF));
}

std::string CQelCtrlLog::FileName() {
  CAutoLock hold(&m_csLog);
  return m_strFileName;
}

bool CQelCtrlLog::IsOpen() {
  CAutoLock hold(&m_csLog);
  return m_pStream != nullptr;
}
