#include "shared_log.h"

#include <cstdarg>
#include <string>

void SharedLog::Attach(FILE** ppStream, LONG level, CRITICAL_SECTION* pLock) {
  LogWriterOffer offer;
  if (ppStream != nullptr) {
    std::lock_guard<std::mutex> viewing(m_viewMutex);
    if (m_offerView == nullptr || !m_offerView->Holds(ppStream))
      m_offerView = std::make_unique<LogWriterOfferView>(ppStream);
    offer = m_offerView->Read();
  }
  std::lock_guard<std::mutex> hold(m_mutex);
  m_ppStream = ppStream;
  m_nLevel = level;
  m_pLock = pLock;
  m_offer = offer;
}

void SharedLog::Write(LONG level, const char* text) {
  FILE** ppStream;
  CRITICAL_SECTION* pLock;
  LogWriterOffer offer;
  {
    std::lock_guard<std::mutex> hold(m_mutex);
    if (m_ppStream == nullptr || m_pLock == nullptr || level > m_nLevel) return;
    ppStream = m_ppStream;
    pLock = m_pLock;
    offer = m_offer;
  }
  const std::string line = std::string(m_libraryName) + ": " + (text != nullptr ? text : "");
  if (offer.writeLine != nullptr) offer.writeLine(offer.log, line.c_str());
  else WriteIntoStream(ppStream, pLock, line);
}

void SharedLog::WriteIntoStream(FILE** ppStream, CRITICAL_SECTION* pLock, std::string_view line) {
  EnterCriticalSection(pLock);
  if (FILE* stream = *ppStream) {
    LogLineLock otherProcesses(m_lineLockSection);
    m_lineWriter.Write(stream, line);
  }
  LeaveCriticalSection(pLock);
}

void SharedLog::WriteF(LONG level, const char* format, ...) {
  char text[kLogMessageBufferSize];
  va_list args;
  va_start(args, format);
  if (std::vsnprintf(text, sizeof text, format, args) < 0) text[0] = '\0';
  va_end(args);
  Write(level, text);
}
