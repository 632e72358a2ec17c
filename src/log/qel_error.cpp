#include "log/qel_error.h"

#include <cstdarg>
#include <algorithm>
#include <cstring>

#include "base/locks.h"
#include "log/ctrl_log.h"

CQELError::CQELError() { InitializeCriticalSection(&m_csError); }

CQELError::~CQELError() { DeleteCriticalSection(&m_csError); }

const char* CQELError::GetError() {
  CAutoLock hold(&m_csError);
  return m_strError.c_str();
}

void CQELError::ClearError() {
  CAutoLock hold(&m_csError);
  m_strError.clear();
}

void CQELError::SetError(const char* text, LONG replace) {
  CAutoLock hold(&m_csError);
  if (text == nullptr) return;
  if (replace != 0)
    m_strError = text;
  else
    m_strError += text;
}

void CQELError::SetErrorF(LONG replace, const char* format, ...) {
  char text[kLogMessageBufferSize];
  va_list args;
  va_start(args, format);
  FormatLogMessage(text, format, args);
  va_end(args);
  SetError(text, replace);
}

void CQELError::SetSystemError(const char* prefix) {
  CAutoLock hold(&m_csError);
  SetError(prefix, 1);
  const std::string message = QelSystemMessage(GetLastError());
  if (message.empty()) return;
  if (!m_strError.empty()) m_strError += ": ";
  m_strError += message;
}

char* GetLastErrorText(char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return buffer;
  std::memset(buffer, 0, size);
  if (size < 2) return buffer;
  const std::string message = QelSystemMessage(GetLastError());
  std::memcpy(buffer, message.data(), std::min(message.size(), size - 2));
  return buffer;
}
