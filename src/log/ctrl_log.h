// The process's one diagnostic log file, shared with the proxy plug-in and with other host processes that
// name the same file. Lines are timestamped and filtered by level; the file is opened lazily with a header
// block and moved aside to its "_old" name when it grows past its limit, whichever process or plug-in wrote
// the bytes.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>

#include "base/platform.h"
#include "log/log_line.h"
#include "log/log_line_lock.h"
#include "log/log_settings.h"
#include "log/log_writer_offer.h"

class CRegistry;


class CQelCtrlLog {
 public:
  CQelCtrlLog();
  virtual ~CQelCtrlLog();
  CQelCtrlLog(const CQelCtrlLog&) = delete;
  CQelCtrlLog& operator=(const CQelCtrlLog&) = delete;

  // Takes the settings under HKEY_LOCAL_MACHINE; 1 when "LogFile" was found (or settings were already
  // taken), 0 otherwise, leaving the fallback to the caller.
  int ReadSettings();
  // The same rules applied to any key, so the acceptance rules can be exercised under a test key.
  int ReadSettingsFrom(CRegistry& registry);
  // Takes settings directly; what ReadSettings ends with and what the module's fallback uses.
  void UseSettings(const std::string& fileName, LONG level, LONG maxSize);

  // Tests the level first and formats only a line that will be written; the result is Write's.
  int LogF(LONG level, const char* format, ...) QEL_PRINTF_FORMAT(3, 4);
  int VLogF(LONG level, const char* format, va_list args);
  // 0 for a null text, 1 for a line above the level or written, 0 when no file is open.
  int Write(const char* text, LONG level);
  // One line, if a file is open (none is opened for it); what the plug-in's lines go through as well.
  int WriteLine(const char* text);
  // 1 only when this call opened the file for a new session; 0 when it was open, could not be opened, or
  // was opened again for the session whose stream was lost at a move-aside (no new header block then).
  int Open();
  // The size test and move-aside of WriteLine without writing; 1 when a file is open afterwards.
  int CheckSize();
  void Close();
  void DisplayDllVersion(const char* fileName);

  // What the proxy plug-in is handed: it follows every reopen through the field's address and writes
  // while holding the same section.
  FILE** StreamAddress() { return &m_pStream; }
  CRITICAL_SECTION* LockAddress() { return &m_csLog; }
  LONG Level() const { return m_nLevel; }
  LONG MaxSize() const { return m_nMaxSize; }
  std::string FileName();
  bool IsOpen();

 private:
  // Write and LogF with the text's length known.
  int WriteText(std::string_view text, LONG level);
  // The header block's lines, stamped now, to be written as one piece: read before the line lock is
  // taken, since the file versions take a while and other processes wait on that lock.
  std::string HeaderBlock();
  // The steps below run under the section and the line lock, so no writer of any process writes, moves or
  // reopens the file meanwhile.
  int OpenLocked();
  int WriteLineLocked(const LogLineLock& line, std::string_view text);
  // The size test: past the limit the file is moved aside and opened anew (no header block: the same
  // session goes on), or, when another process has moved it already, the new file at the path is taken
  // up. The size is read when `othersWrote` or `readNow`, otherwise counted. False when no stream is open
  // afterwards.
  bool KeepWithinLimit(bool othersWrote, bool readNow);
  bool CreateStream();

  bool m_bSettingsRead;
  FILE* m_pStream;
  LONG m_nLevel;
  CRITICAL_SECTION m_csLog;
  LONG m_nMaxSize;
  std::string m_strFileName;
  std::string m_strOldFileName;  // empty when the file is never moved aside
  LogLineWriter m_lineWriter;
  LogLineLockSection m_lineLockSection;
  LogWriterOfferSection m_writerOffer;
  // The file's size as last read, plus this log's bytes since. Reading it costs a system call, more than
  // the rest of a line, so it is read every kExactSizeEvery lines, when the count passes the limit, and
  // whenever another writer has held the line lock since this log's last line.
  long m_nKnownSize = 0;
  int m_nLinesSinceExact = 0;
  ULONG m_nLastHolding = 0;
  // The reopen after a move-aside failed: the session goes on, and the next open writes no header.
  bool m_bSessionLostStream = false;
};

// Formats like vsnprintf into a 1024-byte buffer, keeping at most 1023 characters; an encoding error
// leaves an empty text. Returns the text's length.
size_t FormatLogMessage(char (&buffer)[kLogMessageBufferSize], const char* format, va_list args);

// "path_old.ext": "_old" goes before the first "." of the file name (not of a directory name). Empty when
// the file name has no dot: such a file is never moved aside.
std::string OldLogFileName(const std::string& path);
