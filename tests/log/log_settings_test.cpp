#include <gtest/gtest.h>

#include <map>
#include <string>

#include "base/registry.h"
#include "log/ctrl_log.h"
#include "support/registry_test_key.h"

namespace {

// A key holding the values a test gives it; a value not given reads as missing.
class RegistryDouble : public CRegistry {
 public:
  RegistryDouble() : CRegistry(nullptr, "") {}
  DWORD ReadDword(const char* valueName) override {
    const auto found = m_dwords.find(valueName);
    return found != m_dwords.end() ? found->second : 0xFFFFFFFF;
  }
  std::string ReadString(const char* valueName) override {
    const auto found = m_strings.find(valueName);
    return found != m_strings.end() ? found->second : std::string();
  }

  std::map<std::string, DWORD> m_dwords;
  std::map<std::string, std::string> m_strings;
};

}  // namespace

TEST(LogSettings, LevelAcceptsOneToThreeOnly) {
  const struct {
    DWORD value;
    LONG level;
  } rows[] = {{0, 1}, {1, 1}, {2, 2}, {3, 3}, {4, 1}, {0xFFFFFFFF, 1}};
  for (const auto& row : rows) {
    RegistryDouble registry;
    registry.m_strings["LogFile"] = "q.log";
    registry.m_dwords["LogFileLevel"] = row.value;
    CQelCtrlLog log;
    EXPECT_EQ(log.ReadSettingsFrom(registry), 1);
    EXPECT_EQ(log.Level(), row.level) << row.value;
  }
}

TEST(LogSettings, DirectSettingsAreTakenAsGiven) {
  CQelCtrlLog log;
  EXPECT_EQ(log.Level(), 0) << "level 0 until settings are taken";
  EXPECT_EQ(log.MaxSize(), 1024000);
  log.UseSettings("x.log", 3, 4096);
  EXPECT_EQ(log.Level(), 3);
  EXPECT_EQ(log.MaxSize(), 4096);
  EXPECT_EQ(log.FileName(), "x.log");
  CRegistry nothing(nullptr, "");
  EXPECT_EQ(log.ReadSettingsFrom(nothing), 1) << "settings already taken";
}

TEST(LogSettings, NoLogFileValueMeansNoSettings) {
  CQelCtrlLog log;
  CRegistry nothing(nullptr, "");
  EXPECT_EQ(log.ReadSettingsFrom(nothing), 0);
  EXPECT_EQ(log.Level(), 0);
  EXPECT_EQ(log.FileName(), "");
}

#ifdef _WIN32

namespace {

// The three values under a key of the test's own, read through the same rules as the real key.
class LogRegistryTest : public RegistryKeyTest {
 protected:
  // Reads a fresh log from the key and returns {result, level, max size}.
  std::tuple<int, LONG, LONG> Read() {
    CQelCtrlLog log;
    CRegistry reg(HKEY_CURRENT_USER, m_subKey.c_str());
    const int result = log.ReadSettingsFrom(reg);
    return {result, log.Level(), log.MaxSize()};
  }
};

}  // namespace

TEST_F(LogRegistryTest, LevelOfAnotherTypeOrMissingIsOne) {
  SetString("LogFile", "C:\\Logs\\q.log");
  SetDword("LogFileLevel", 3);
  EXPECT_EQ(Read(), std::make_tuple(1, 3, 1024000));
  SetString("LogFileLevel", "3");
  EXPECT_EQ(Read(), std::make_tuple(1, 1, 1024000)) << "a string level is not a level";
  RegDeleteValueA(m_key, "LogFileLevel");
  EXPECT_EQ(Read(), std::make_tuple(1, 1, 1024000));
}

TEST_F(LogRegistryTest, MaxSizeAcceptsOneTo10239Kilobytes) {
  SetString("LogFile", "C:\\Logs\\q.log");
  SetDword("LogFileLevel", 2);
  const struct {
    DWORD value;
    LONG maxSize;
  } rows[] = {{0, 1024000}, {1, 1024}, {10239, 10239 * 1024}, {10240, 1024000}, {0xFFFFFFFF, 1024000}};
  for (const auto& row : rows) {
    SetDword("LogMaxSizeK", row.value);
    EXPECT_EQ(Read(), std::make_tuple(1, 2, row.maxSize)) << row.value;
  }
}

TEST_F(LogRegistryTest, EmptyOrMissingFileIgnoresTheOtherValues) {
  SetDword("LogFileLevel", 3);
  SetDword("LogMaxSizeK", 5);
  EXPECT_EQ(Read(), std::make_tuple(0, 0, 1024000));
  SetString("LogFile", "");
  EXPECT_EQ(Read(), std::make_tuple(0, 0, 1024000));
}

#endif
