// The text type of the configuration structures that the proxy plug-in shares. A plug-in built apart from
// this library lays its strings out as the platform's class library does: one pointer to NUL-terminated
// characters, preceded by a header naming the string manager that made them, their length, the room
// allocated and a reference count. Holding that layout lets either side read, change or free the other's
// strings: every text goes back to the manager recorded in its own header, never to another.
#pragma once

#include <cstddef>
#include <string_view>

#include "base/platform.h"

// The class library calls its string managers as member functions; on 32-bit x86 that is `thiscall`
// (this in ECX, the callee pops the arguments), whatever the compiler's default.
#if defined(_MSC_VER) && defined(_M_IX86)
#define QEL_THISCALL __thiscall
#elif (defined(__GNUC__) || defined(__clang__)) && defined(__i386__)
#define QEL_THISCALL __attribute__((thiscall))
#else
#define QEL_THISCALL
#endif

struct IBoundaryStringMgr;

// The header in front of every text's characters.
struct CBoundaryStringData {
  IBoundaryStringMgr* pStringMgr;  // the manager that allocated the block and frees it
  int nDataLength;                 // characters, without the NUL
  int nAllocLength;                // characters the block has room for, without the NUL
  LONG nRefs;                      // strings that share the block; negative while its one owner writes into it

  char* Chars() { return reinterpret_cast<char*>(this + 1); }
};

// A string manager, in the class library's slot order. Never deleted through this interface.
struct IBoundaryStringMgr {
  // slot 0: a block with room for nAllocLength characters of nCharSize bytes and a NUL, count 1, length 0;
  // null when it cannot be had.
  virtual CBoundaryStringData* QEL_THISCALL Allocate(int nAllocLength, int nCharSize) = 0;
  // slot 1: gives back a block this manager allocated.
  virtual void QEL_THISCALL Free(CBoundaryStringData* pData) = 0;
  // slot 2: the block with room for nAllocLength characters, moved if need be; null (the old block kept)
  // when it cannot be had.
  virtual CBoundaryStringData* QEL_THISCALL Reallocate(CBoundaryStringData* pData, int nAllocLength,
                                                       int nCharSize) = 0;
  // slot 3: the shared empty text, with one more reference.
  virtual CBoundaryStringData* QEL_THISCALL GetNilString() = 0;
  // slot 4: the manager a copy of a string should use.
  virtual IBoundaryStringMgr* QEL_THISCALL Clone() = 0;

 protected:
  ~IBoundaryStringMgr() = default;
};

// This library's own manager: blocks from the C runtime heap, an empty text that is never freed.
IBoundaryStringMgr& OwnStringMgr();

// Gives up one reference on a block; the last one hands the block to the manager in its header.
void ReleaseStringData(CBoundaryStringData* pData);

class CBoundaryString {
 public:
  CBoundaryString() noexcept;
  ~CBoundaryString();
  // Configurations are never copied; a copy of a text is made with Assign.
  CBoundaryString(const CBoundaryString&) = delete;
  CBoundaryString& operator=(const CBoundaryString&) = delete;

  // Replaces the text with a copy in a block of this library's manager and releases the old block through
  // its own. False, with the old text kept, when no block can be had.
  bool Assign(std::string_view text) noexcept;
  void Empty() noexcept;

  const char* c_str() const noexcept { return m_pszData; }
  size_t length() const noexcept { return static_cast<size_t>(Data()->nDataLength); }
  bool empty() const noexcept { return length() == 0; }
  operator std::string_view() const noexcept { return {m_pszData, length()}; }
  friend bool operator==(const CBoundaryString& left, std::string_view right) noexcept {
    return std::string_view(left) == right;
  }

 private:
  CBoundaryStringData* Data() const noexcept { return reinterpret_cast<CBoundaryStringData*>(m_pszData) - 1; }
  void Attach(CBoundaryStringData* pData) noexcept;

  char* m_pszData;
};
