// What the platform's URL cracker returned for a set of URLs, measured under Wine with the parser's own
// call (decoded pieces, 255-byte buffers), and a generated set of URLs around the same shapes. One change
// to what was measured: a port that does not fit 16 bits fails (the platform kept its low 16 bits).
#pragma once

#include <string>
#include <vector>

struct CrackerRow {
  std::string url;
  bool ok;
  unsigned long error;
  std::string scheme;
  int schemeNumber;
  std::string user;
  std::string password;
  std::string host;
  unsigned port;
  std::string path;
  std::string extra;
};

std::vector<CrackerRow> MeasuredCrackerRows();
std::vector<std::string> GeneratedUrls();
