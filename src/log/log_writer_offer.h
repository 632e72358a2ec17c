// The library's line writer, offered to the proxy plug-in in its own process. A plug-in is handed only the
// log's stream-pointer address, level and lock; lines it wrote into the stream itself would pass no size
// test, so a plug-in that writes fast could grow the file without bound. Writing through the offered writer,
// its lines count toward the limit, move the file aside and follow another process's move exactly as the
// library's own do, under the same locks.
//
// The offer is a small named section, "Local\QelVorlaProxy.LogWriter.<process id>.<stream-pointer address>"
// (upper-case hexadecimal, 8 digits and two per address byte), holding the log and its writer, kept by the
// log for its life. A plug-in forms the name from its own process id and the address it was handed, so the
// name leads to the very log it shares, never to another process's. Off Windows nothing is offered and a
// plug-in writes into the stream itself. Header-only, for the library and the plug-ins built from this
// tree; the kit carries a C twin.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/platform.h"

#ifdef _WIN32
#define QEL_LOG_WRITER_CALL __cdecl
#else
#define QEL_LOG_WRITER_CALL
#endif

// One line into the offering log, as its WriteLine writes it; 1 when written, 0 while the log is closed.
using LogWriteLineFn = int(QEL_LOG_WRITER_CALL*)(void* log, const char* text);

struct LogWriterOffer {
  void* log = nullptr;
  LogWriteLineFn writeLine = nullptr;
};

#ifdef _WIN32

inline std::string LogWriterOfferName(DWORD processId, const void* streamField) {
  auto appendHex = [](std::string& out, uint64_t value, size_t digits) {
    for (size_t i = digits; i-- > 0;) out += "0123456789ABCDEF"[(value >> (4 * i)) & 0xF];
  };
  std::string name = "Local\\QelVorlaProxy.LogWriter.";
  appendHex(name, processId, 8);
  name += '.';
  appendHex(name, reinterpret_cast<uintptr_t>(streamField), 2 * sizeof(void*));
  return name;
}

// The log's side: the offer, named for its stream-pointer field, for as long as this object lives.
class LogWriterOfferSection {
 public:
  LogWriterOfferSection(FILE* const* streamField, const LogWriterOffer& offer) {
    m_section = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof offer,
                                   LogWriterOfferName(GetCurrentProcessId(), streamField).c_str());
    void* view = m_section != nullptr ? MapViewOfFile(m_section, FILE_MAP_WRITE, 0, 0, sizeof offer) : nullptr;
    if (view == nullptr) return;  // nothing offered: plug-ins write into the stream themselves
    *static_cast<LogWriterOffer*>(view) = offer;
    UnmapViewOfFile(view);
  }
  ~LogWriterOfferSection() {
    if (m_section != nullptr) CloseHandle(m_section);
  }
  LogWriterOfferSection(const LogWriterOfferSection&) = delete;
  LogWriterOfferSection& operator=(const LogWriterOfferSection&) = delete;

 private:
  HANDLE m_section = nullptr;
};

// The plug-in's side: the writer of the log whose stream-pointer field is at `streamField`. The section stays
// open and mapped while this lives, so a plug-in handed the same log again (by each video host of the
// library) reads the offer without a call into the system, each a round trip to the Wine server there. A log
// that comes anew at the same address offers into this same section, whose name stays while it is held.
class LogWriterOfferView {
 public:
  explicit LogWriterOfferView(FILE* const* streamField) : m_streamField(streamField) {
    m_section = OpenFileMappingA(FILE_MAP_READ, FALSE, LogWriterOfferName(GetCurrentProcessId(), streamField).c_str());
    if (m_section != nullptr) m_view = MapViewOfFile(m_section, FILE_MAP_READ, 0, 0, sizeof(LogWriterOffer));
  }
  ~LogWriterOfferView() {
    if (m_view != nullptr) UnmapViewOfFile(m_view);
    if (m_section != nullptr) CloseHandle(m_section);
  }
  LogWriterOfferView(const LogWriterOfferView&) = delete;
  LogWriterOfferView& operator=(const LogWriterOfferView&) = delete;

  // Whether this holds the offer of `streamField`; a field that offered nothing is looked for again.
  bool Holds(FILE* const* streamField) const { return m_view != nullptr && streamField == m_streamField; }
  // The offer as the log wrote it, or an empty one.
  LogWriterOffer Read() const {
    LogWriterOffer offer;
    if (m_view != nullptr) std::memcpy(&offer, m_view, sizeof offer);
    return offer;
  }

 private:
  FILE* const* m_streamField;
  HANDLE m_section = nullptr;
  const void* m_view = nullptr;
};

#else

class LogWriterOfferSection {
 public:
  LogWriterOfferSection(FILE* const*, const LogWriterOffer&) {}
};

class LogWriterOfferView {
 public:
  explicit LogWriterOfferView(FILE* const*) {}
  bool Holds(FILE* const*) const { return false; }
  LogWriterOffer Read() const { return {}; }
};

#endif
