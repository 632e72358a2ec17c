#include "video/proxy_address.h"

#include <climits>
#include <cstring>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The port text as atoi reads it: leading white space, an optional sign, digits up to the first
// non-digit, 0 without digits; values beyond the 32-bit range saturate where atoi would overflow.
int32_t ReadPortNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulated as a magnitude with room above INT_MAX, so one more digit never overflows.
  const int64_t limit = negative ? -int64_t{INT_MIN} : int64_t{INT_MAX};
  int64_t magnitude = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > limit) magnitude = limit;
  }
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

void SplitInto(std::string_view part, ShortText& szHost, int32_t& nPort) {
  if (!part.empty()) SplitHostPort(part, szHost, nPort);
}

}  // namespace

void SplitHostPort(std::string_view text, ShortText& szHost, int32_t& nPort) {
  std::memset(szHost, 0, sizeof szHost);
  nPort = 0;
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return;
  const size_t hostLength = colon < sizeof szHost - 1 ? colon : sizeof szHost - 1;
  std::memcpy(szHost, text.data(), hostLength);
  nPort = ReadPortNumber(text.substr(colon + 1));
}

void SplitProxyPair(const char* szText, ShortText& szHost1, int32_t& nPort1, ShortText* pszHost2, int32_t* pnPort2) {
  const std::string_view text = szText ? std::string_view(szText) : std::string_view();
  const size_t bar = text.find('|');
  if (bar == std::string_view::npos) {
    SplitInto(text, szHost1, nPort1);
    return;
  }
  SplitInto(text.substr(0, bar), szHost1, nPort1);
  if (pszHost2 && pnPort2) SplitInto(text.substr(bar + 1), *pszHost2, *pnPort2);
}
