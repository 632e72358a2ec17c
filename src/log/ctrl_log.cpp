#include "log/ctrl_log.h"

#include <cstdarg>
#include <cstring>

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
constexpr int kExactSizeEvery = 32;

// A text logged as it is ("%s") skips the formatter, which costs more than the rest of the line's own work.
bool IsPlainTextFormat(const char* format) { return format != nullptr && std::strcmp(format, "%s") == 0; }

// The text as the formatter would give it: "(null)" for a null text, at most 1023 characters.
std::string_view PlainText(const char* text) {
  if (text == nullptr) text = "(null)";
  return {text, strnlen(text, kLogMessageBufferSize - 1)};
}

// "DisplayDllVersion: File=NAME, A.B.C.D", each 16-bit part signed as the platform's version tools print it.
std::string DllVersionText(const char* fileName) {
  if (fileName == nullptr) fileName = "";
  char text[kLogMessageBufferSize];
  FileVersion version{};
  if (!ReadFileVersion(fileName, version))
    std::snprintf(text, sizeof text, kFailedFileVersion, fileName);
  else
    std::snprintf(text, sizeof text, "DisplayDllVersion: File=%s, %d.%d.%d.%d", fileName,
                  static_cast<int16_t>(version.mostSignificant >> 16),
                  static_cast<int16_t>(version.mostSignificant & 0xFFFF),
                  static_cast<int16_t>(version.leastSignificant >> 16),
                  static_cast<int16_t>(version.leastSignificant & 0xFFFF));
  return text;
}

int QEL_LOG_WRITER_CALL WriteOfferedLine(void* log, const char* text) {
  return static_cast<CQelCtrlLog*>(log)->WriteLine(text);
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
    : m_bSettingsRead(false),
      m_pStream(nullptr),
      m_nLevel(0),
      m_nMaxSize(kDefaultLogMaxSize),
      m_writerOffer(&m_pStream, LogWriterOffer{this, WriteOfferedLine}) {
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
  m_strOldFileName = OldLogFileName(fileName);
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
  CAutoLock hold(&m_csLog);
  const std::string header = m_pStream == nullptr && !m_bSessionLostStream ? HeaderBlock() : std::string();
  LogLineLock line(m_lineLockSection);
  // A new session's header block goes in one piece, so processes that start together never interleave
  // their blocks, and no plug-in line falls between its lines.
  if (m_pStream == nullptr && OpenLocked() == 1) {
    m_nKnownSize += static_cast<long>(std::fwrite(header.data(), 1, header.size(), m_pStream));
    std::fflush(m_pStream);
  }
  return WriteLineLocked(line, text);
}

std::string CQelCtrlLog::HeaderBlock() {
  std::string block;
  m_lineWriter.Append(block, kHeaderRule);
  m_lineWriter.Append(block, "Process ID: " + std::to_string(static_cast<int>(GetCurrentProcessId())));
  m_lineWriter.Append(block, "Image Name: " + ProcessImageName());
  for (const char* file : kVersionedFiles) m_lineWriter.Append(block, DllVersionText(file));
  m_lineWriter.Append(block, kHeaderRule);
  return block;
}

int CQelCtrlLog::WriteLine(const char* text) {
  CAutoLock hold(&m_csLog);
  LogLineLock line(m_lineLockSection);
  return WriteLineLocked(line, text != nullptr ? text : "");
}

int CQelCtrlLog::WriteLineLocked(const LogLineLock& line, std::string_view text) {
  // Another writer's lines since this log's last one may have passed the limit, or moved the file aside.
  if (!KeepWithinLimit(!line.Follows(m_nLastHolding), false)) return 0;
  m_nKnownSize += static_cast<long>(m_lineWriter.Write(m_pStream, text));
  return 1;
}

bool CQelCtrlLog::KeepWithinLimit(bool othersWrote, bool readNow) {
  if (m_pStream == nullptr) return false;
  if (m_nMaxSize <= 0 || m_strOldFileName.empty()) return true;
  // Between readings the own count can only say "below the limit".
  if (!othersWrote && !readNow && ++m_nLinesSinceExact < kExactSizeEvery &&
      m_nKnownSize <= static_cast<long>(m_nMaxSize))
    return true;
  m_nLinesSinceExact = 0;
  // While no other writer has held the line lock since this log's last line, this log's append was the
  // file's last and the stream's position, the cheaper call, is its end. A stream in a failed state is
  // never moved aside.
  m_nKnownSize = std::ferror(m_pStream) ? -1L : othersWrote ? LogFileSize(m_pStream) : std::ftell(m_pStream);
  if (m_nKnownSize <= static_cast<long>(m_nMaxSize)) return true;
  // The file written to is past the limit. If another process has moved it aside already, the file at the
  // path is the session's new one, and the move-aside's own size test leaves it in place: either way the
  // stream goes on at the path.
  std::fclose(m_pStream);
  m_pStream = nullptr;
  MoveLogAsideIfOver(m_strFileName, m_strOldFileName, m_nMaxSize);
  if (CreateStream()) return true;
  m_bSessionLostStream = true;
  return false;
}

int CQelCtrlLog::CheckSize() {
  CAutoLock hold(&m_csLog);
  LogLineLock line(m_lineLockSection);
  return KeepWithinLimit(!line.Follows(m_nLastHolding), true) ? 1 : 0;
}

bool CQelCtrlLog::CreateStream() {
  // Binary append with explicit CR LF, so the plug-in's writes through the same FILE* read alike.
  FILE* stream = OpenLogForAppend(m_strFileName);
  if (stream == nullptr) return false;
  // Where the write position starts in append mode is left to the C library; the size test reads it as
  // the file's end.
  std::fseek(stream, 0, SEEK_END);
  m_pStream = stream;
  m_nKnownSize = std::ftell(stream);
  m_nLinesSinceExact = 0;
  return true;
}

int CQelCtrlLog::Open() {
  CAutoLock hold(&m_csLog);
  LogLineLock line(m_lineLockSection);
  return OpenLocked();
}

int CQelCtrlLog::OpenLocked() {
  if (m_pStream != nullptr) return 0;
  MoveLogAsideIfOver(m_strFileName, m_strOldFileName, m_nMaxSize);
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

void CQelCtrlLog::DisplayDllVersion(const char* fileName) { LogF(1, "%s", DllVersionText(fileName).c_str()); }

std::string CQelCtrlLog::FileName() {
  CAutoLock hold(&m_csLog);
  return m_strFileName;
}

bool CQelCtrlLog::IsOpen() {
  CAutoLock hold(&m_csLog);
  return m_pStream != nullptr;
}
