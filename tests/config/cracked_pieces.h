// Runs a cracker with the parser's own set-up (six 255-byte buffers, decoded pieces) and keeps what it
// reported, so two crackers can be compared field by field.
#pragma once

#include <string>

#include "config/url_components.h"

struct CrackedPieces {
  bool ok = false;
  DWORD error = 0;
  std::string scheme;
  int schemeNumber = 0;
  std::string user;
  std::string password;
  std::string host;
  unsigned port = 0;
  std::string path;
  std::string extra;

  bool operator==(const CrackedPieces&) const = default;
};

using Cracker = BOOL (*)(const char* url, DWORD urlLength, DWORD flags, URL_COMPONENTSA* components);

// Pieces of a failed crack stay empty, so failures compare by their error code alone.
CrackedPieces CrackWith(Cracker cracker, const std::string& url);

std::ostream& operator<<(std::ostream& out, const CrackedPieces& pieces);
