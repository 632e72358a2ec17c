// Error text recorded by the wrappers of outside libraries for their callers to log: the wrappers never
// log their own failures.
#pragma once

#include <string>

#include "base/platform.h"

class CQELError {
 public:
  CQELError();
  virtual const char* GetError();
  virtual void ClearError();
  // A null text changes nothing; a non-zero `replace` replaces the text, 0 appends to it.
  virtual void SetError(const char* text, LONG replace);
  virtual void SetErrorF(LONG replace, const char* format, ...) QEL_PRINTF_FORMAT(3, 4);
  // `prefix`, ": " and the system's text for the thread's last error (CR LF and all).
  virtual void SetSystemError(const char* prefix);
  virtual ~CQELError();
  CQELError(const CQELError&) = delete;
  CQELError& operator=(const CQELError&) = delete;

 private:
  std::string m_strError;
  CRITICAL_SECTION m_csError;
};

// Clears the whole buffer, then copies the system's text for the thread's last error into it, cut to
// size - 2 characters. Returns the buffer.
char* GetLastErrorText(char* buffer, size_t size);
