#include "control/control_registry.h"

#include <gtest/gtest.h>

#include "control/module.h"
#include "support/log_reader.h"
#include "support/temp_dir.h"

namespace {

CQelVorlaProxyCtrl* Fake(uintptr_t n) { return reinterpret_cast<CQelVorlaProxyCtrl*>(n); }

class ControlRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { TheModule().m_log.UseSettings(m_dir.File("registry.log"), 1, 1024000); }
  void TearDown() override {
    TheModule().Controls().Clear();
    TheModule().m_log.Close();
  }
  std::vector<std::string> Lines() { return ReadLogLines(m_dir.File("registry.log")); }
  std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const std::string& line : Lines())
      if (line.rfind("AddControl", 0) == 0 || line.rfind("RemoveControl", 0) == 0) out.push_back(line);
    return out;
  }
  TempDir m_dir;
};

}  // namespace

TEST_F(ControlRegistryTest, CountsEveryChangeAndClosesTheLogWithTheLast) {
  TheModule().Controls().Add(Fake(0x10));
  TheModule().Controls().Add(Fake(0x20));
  TheModule().Controls().Remove(Fake(0x10));
  EXPECT_TRUE(TheModule().m_log.IsOpen());
  TheModule().Controls().Remove(Fake(0x20));
  EXPECT_FALSE(TheModule().m_log.IsOpen()) << "no control left: the log file is closed";
  EXPECT_EQ(Messages(), (std::vector<std::string>{"AddControl: Count=1", "AddControl: Count=2",
                                                  "RemoveControl: Count=1", "RemoveControl: Count=0"}));
}

TEST_F(ControlRegistryTest, NullIsIgnoredAndAnUnknownControlStillLogsTheCount) {
  TheModule().Controls().Add(nullptr);
  TheModule().Controls().Remove(nullptr);
  EXPECT_FALSE(FileExists(m_dir.File("registry.log")));
  TheModule().Controls().Add(Fake(0x10));
  TheModule().Controls().Remove(Fake(0x99));
  EXPECT_EQ(TheModule().Controls().Count(), 1);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"AddControl: Count=1", "RemoveControl: Count=1"}));
}

TEST_F(ControlRegistryTest, DuplicatesLeaveOneAtATime) {
  TheModule().Controls().Add(Fake(0x10));
  TheModule().Controls().Add(Fake(0x10));
  TheModule().Controls().Remove(Fake(0x10));
  EXPECT_EQ(TheModule().Controls().Count(), 1);
  EXPECT_TRUE(TheModule().m_log.IsOpen());
}
