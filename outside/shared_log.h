// The process log as a proxy plug-in library sees it: the stream address, level and lock it was handed by
// "ProxySetLogFile". Each line is "NAME: TEXT", NAME the library's file name. It goes through the log's own
// line writer when the log offers it (log/log_writer_offer.h), so it counts toward the file's size limit as
// the log's own lines do; otherwise into the log's current stream under the log's lock and the line lock,
// in the log's one line format.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string_view>

#include "base/platform.h"
#include "log/log_line.h"
#include "log/log_line_lock.h"
#include "log/log_writer_offer.h"

class SharedLog {
 public:
  explicit SharedLog(const char* libraryName) : m_libraryName(libraryName) {}

  void Attach(FILE** ppStream, LONG level, CRITICAL_SECTION* pLock);
  // Written when `level` is within the level the log was handed; the log may have been closed (null
  // stream) or reopened under a new stream since.
  void Write(LONG level, const char* text);
  void WriteF(LONG level, const char* format, ...) QEL_PRINTF_FORMAT(3, 4);

 private:
  void WriteIntoStream(FILE** ppStream, CRITICAL_SECTION* pLock, std::string_view line);

  const char* m_libraryName;
  std::mutex m_mutex;
  FILE** m_ppStream = nullptr;
  LONG m_nLevel = 0;
  CRITICAL_SECTION* m_pLock = nullptr;
  LogWriterOffer m_offer;
  std::mutex m_viewMutex;  // taken before m_mutex, never inside it
  std::unique_ptr<LogWriterOfferView> m_offerView;
  LogLineLockSection m_lineLockSection;
  LogLineWriter m_lineWriter;  // used under the log's lock
};
