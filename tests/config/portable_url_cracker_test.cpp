#include "config/portable_url_cracker.h"

#include <gtest/gtest.h>

#include <string>

#include "cracker_rows.h"
#include "cracked_pieces.h"

TEST(PortableUrlCracker, AgreesWithEveryMeasuredRow) {
  for (const CrackerRow& row : MeasuredCrackerRows()) {
    SCOPED_TRACE(row.url);
    const CrackedPieces cracked = CrackWith(PortableCrackUrl, row.url);
    ASSERT_EQ(cracked.ok, row.ok);
    if (!row.ok) {
      EXPECT_EQ(cracked.error, row.error);
      continue;
    }
    EXPECT_EQ(cracked.scheme, row.scheme);
    EXPECT_EQ(cracked.schemeNumber, row.schemeNumber);
    EXPECT_EQ(cracked.user, row.user);
    EXPECT_EQ(cracked.password, row.password);
    EXPECT_EQ(cracked.host, row.host);
    EXPECT_EQ(cracked.port, row.port);
    EXPECT_EQ(cracked.path, row.path);
    EXPECT_EQ(cracked.extra, row.extra);
  }
}

TEST(PortableUrlCracker, ReportsPieceLengthsAndWhatALongPieceWouldNeed) {
  char host[8] = {};
  char path[8] = {};
  URL_COMPONENTSA uc = {};
  uc.dwStructSize = sizeof uc;
  uc.lpszHostName = host;
  uc.dwHostNameLength = sizeof host;
  uc.lpszUrlPath = path;
  uc.dwUrlPathLength = sizeof path;
  ASSERT_TRUE(PortableCrackUrl("http://abc/de", 0, ICU_DECODE, &uc));
  EXPECT_EQ(uc.dwHostNameLength, 3u);
  EXPECT_EQ(uc.dwUrlPathLength, 3u);

  uc.dwHostNameLength = sizeof host;
  uc.dwUrlPathLength = sizeof path;
  SetLastError(0);
  EXPECT_FALSE(PortableCrackUrl("http://abcdefgh/x", 0, ICU_DECODE, &uc));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(uc.dwHostNameLength, 9u);
}

TEST(PortableUrlCracker, HonoursTheTextLengthAndTheDecodeFlag) {
  const CrackedPieces cut = CrackWith(
      [](const char* url, DWORD, DWORD flags, URL_COMPONENTSA* uc) { return PortableCrackUrl(url, 12, flags, uc); },
      "http://h/abcdef");
  EXPECT_EQ(cut.path, "/abc");
  const CrackedPieces raw = CrackWith(
      [](const char* url, DWORD length, DWORD, URL_COMPONENTSA* uc) { return PortableCrackUrl(url, length, 0, uc); },
      "http://h/a%20b");
  EXPECT_EQ(raw.path, "/a%20b");
}

TEST(PortableUrlCracker, RefusesMissingArgumentsAndPointerPieces) {
  URL_COMPONENTSA uc = {};
  uc.dwStructSize = sizeof uc;
  SetLastError(0);
  EXPECT_FALSE(PortableCrackUrl(nullptr, 0, ICU_DECODE, &uc));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(PortableCrackUrl("http://h/", 0, ICU_DECODE, nullptr));
  uc.dwHostNameLength = 10;  // wanted, but no buffer to copy into
  SetLastError(0);
  EXPECT_FALSE(PortableCrackUrl("http://h/", 0, ICU_DECODE, &uc));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  uc.dwHostNameLength = 0;
  uc.dwStructSize = sizeof uc - 1;
  EXPECT_FALSE(PortableCrackUrl("http://h/", 0, ICU_DECODE, &uc));
}
