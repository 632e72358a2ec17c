// The portable cracker against the platform's own InternetCrackUrlA, on the measured rows and on a
// generated set of URLs, and the cracker this build uses against the portable one. Windows builds only:
// elsewhere there is no platform cracker to ask.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "config/portable_url_cracker.h"
#include "config/url_cracker.h"
#include "cracked_pieces.h"
#include "cracker_rows.h"

namespace {

// The one difference meant: a port that a 16-bit field cannot carry. The platform accepts such a URL and
// reports 16 bits of the number it reads there; here it is refused (ERROR_INTERNET_INVALID_URL). By the
// port's text, the port the platform reports.
const std::map<std::string, unsigned> kPortsThePlatformWraps = {
    {"65536", 0}, {"99999", 34463}, {"4294967297", 65535}, {"-1", 65535},
    {"abc", 0},   {"80x", 80},      {" 5", 5},             {"+5", 5},
};

BOOL PlatformCrackUrl(const char* url, DWORD urlLength, DWORD flags, URL_COMPONENTSA* components) {
  return InternetCrackUrlA(url, urlLength, flags, components);
}

// Where the platform's answer rests on more than the URL's shape, the portable cracker knowingly differs.
bool IsKnownDifference(const std::string& url) {
  const size_t authority = url.find("://");
  if (authority == std::string::npos) return false;
  const std::string rest = url.substr(authority + 3);
  const bool authorityEndsTheText = rest.find_first_of("/?") == std::string::npos;
  // With nothing after the host the platform reports the root path "/", but not when an escape was
  // decoded or the host is a bracketed address; the portable cracker always reports "/".
  return authorityEndsTheText && (rest.find('%') != std::string::npos || rest.find('[') != std::string::npos);
}

// Where the port's text starts and how long it is: after the last ":" of the authority; npos for none.
std::pair<size_t, size_t> PortText(const std::string& url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string::npos) return {std::string::npos, 0};
  const size_t start = scheme + 3;
  const size_t end = std::min(url.find_first_of("/?#", start), url.size());
  const size_t colon = url.rfind(':', end - 1);
  if (colon == std::string::npos || colon < start) return {std::string::npos, 0};
  return {colon + 1, end - colon - 1};
}

void ExpectOutcomes(const std::string& url) {
  if (IsKnownDifference(url)) return;
  const CrackedPieces portable = CrackWith(PortableCrackUrl, url);
  EXPECT_EQ(CrackWith(CrackUrl, url), portable) << url << ": this build's cracker";
  const CrackedPieces platform = CrackWith(PlatformCrackUrl, url);
  const auto [start, length] = PortText(url);
  const auto wrapped = start == std::string::npos ? kPortsThePlatformWraps.end()
                                                  : kPortsThePlatformWraps.find(url.substr(start, length));
  if (wrapped == kPortsThePlatformWraps.end()) {
    EXPECT_EQ(portable, platform) << url;
    return;
  }
  EXPECT_FALSE(portable.ok) << url;
  EXPECT_EQ(portable.error, static_cast<DWORD>(ERROR_INTERNET_INVALID_URL)) << url;
  // Everything else as the portable cracker reads the URL with the port the platform made of it.
  const std::string asWrapped = std::string(url).replace(start, length, std::to_string(wrapped->second));
  EXPECT_EQ(platform, CrackWith(PortableCrackUrl, asWrapped)) << url;
}

}  // namespace

TEST(UrlCrackerDifferential, AgreesOnTheMeasuredRows) {
  for (const CrackerRow& row : MeasuredCrackerRows()) ExpectOutcomes(row.url);
}

TEST(UrlCrackerDifferential, AgreesOnGeneratedUrls) {
  for (const std::string& url : GeneratedUrls()) ExpectOutcomes(url);
}
