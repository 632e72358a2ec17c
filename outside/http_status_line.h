// An HTTP/1.x answer's status, read from its status line: the relay reads it from a proxy's answer to a
// CONNECT and from a source's answer to an upgrade, and from nothing else.
#pragma once

#include <cstddef>
#include <string_view>

// The status of "HTTP/1.x NNN ...", or 0 when the line is not an HTTP/1.x status line.
inline int HttpStatusOf(std::string_view line) {
  if (line.size() < 12 || line.substr(0, 7) != "HTTP/1." || line[8] != ' ') return 0;
  int status = 0;
  for (size_t at = 9; at < 12; ++at) {
    if (line[at] < '0' || line[at] > '9') return 0;
    status = status * 10 + (line[at] - '0');
  }
  return status;
}
