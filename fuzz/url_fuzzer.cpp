// Arbitrary bytes as a URL text through the parser and the portable cracker. Besides the sanitizers, it
// checks that every piece the cracker reports ends in a NUL inside its buffer and that no URL naming a port
// beyond 16 bits parses.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/portable_url_cracker.h"
#include "config/url_parser.h"

namespace {

// An explicit text length lets NULs into the pieces, so only the closing NUL is certain.
void RequireClosed(const char* piece, DWORD reportedLength) {
  if (reportedLength >= CQELURLParser::kPieceSize || piece[reportedLength] != '\0') std::abort();
}

void RequireTerminated(const char* piece, DWORD reportedLength) {
  RequireClosed(piece, reportedLength);
  if (std::strlen(piece) != reportedLength) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CQELURLParser parser;
  const bool parsed = parser.Parse(text.c_str());
  // The platform's cracker is guarded by the same port test, so a URL it refuses must never parse here:
  // otherwise the two crackers would hand the relay different ports.
  if (parsed && UrlNamesUnfitPort(text.c_str(), 0, ICU_DECODE)) std::abort();
  if (parsed) {
    const URL_COMPONENTSA& pieces = parser.Components();
    RequireTerminated(pieces.lpszScheme, pieces.dwSchemeLength);
    RequireTerminated(pieces.lpszHostName, pieces.dwHostNameLength);
    RequireTerminated(pieces.lpszUserName, pieces.dwUserNameLength);
    RequireTerminated(pieces.lpszPassword, pieces.dwPasswordLength);
    RequireTerminated(pieces.lpszUrlPath, pieces.dwUrlPathLength);
    RequireTerminated(pieces.lpszExtraInfo, pieces.dwExtraInfoLength);
    (void)parser.GetPort();
    (void)parser.IsOtherScheme();
  }
  (void)parser.IsFileURL(text.c_str());
  (void)CQELURLParser::HasNscMark(text.c_str());

  // The same bytes with an explicit length, embedded NULs included, and without decoding.
  if (size > 0) {
    char host[CQELURLParser::kPieceSize];
    URL_COMPONENTSA uc = {};
    uc.dwStructSize = sizeof uc;
    uc.lpszHostName = host;
    uc.dwHostNameLength = sizeof host;
    if (PortableCrackUrl(text.data(), static_cast<DWORD>(size), 0, &uc)) RequireClosed(host, uc.dwHostNameLength);
  }
  return 0;
}
