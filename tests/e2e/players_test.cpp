// Several players on the real library: a non-isolated player that starts stops the others of its
// process directly, and the media link carries the stop notice between processes.
#include <gtest/gtest.h>

#include <string>

#include "loaded_dll.h"
#include "player.h"
#include "proxy_standin_control.h"
#include "support/temp_dir.h"
#include "video/command_writer.h"

namespace {

const Bytes kSuspended = {0x00, 0xF9, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};

// Runs the poster of another process and waits for it.
DWORD RunPoster(LONG ucid) {
  std::string command = "stop_poster.exe " + std::to_string(ucid);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return 1000;
  WaitForSingleObject(process.hProcess, 20000);
  DWORD code = 1001;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

class PlayersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_standIn.Loaded());
    m_standIn.Configure(StandInBehaviour{});
    ASSERT_TRUE(m_dll.Loaded());
  }
  size_t Closes() {
    size_t count = 0;
    for (const std::string& call : m_standIn.CallNames()) count += call.rfind("Proxy::CloseConnections", 0) == 0;
    return count;
  }
  TempDir m_dir;
  StandInLibrary m_standIn{"QelVideoProxy_WMP.dll"};
  LoadedDll m_dll{m_dir.File("players.log"), 3};
};

}  // namespace

TEST_F(PlayersTest, StartingPlayerSuspendsTheOtherTakingPartInItsProcess) {
  Player first(m_dll, 0);
  Player second(m_dll, 0);
  Player isolated(m_dll, 1);
  first.Play();
  EXPECT_EQ(second.Count(kSuspended), 1u) << "the other non-isolated player is suspended";
  EXPECT_EQ(isolated.Count(kSuspended), 0u) << "an isolated player is stopped by nothing";
  EXPECT_EQ(first.Count(kSuspended), 0u) << "a player never suspends itself";
  PumpMessages(300);
  EXPECT_EQ(second.Count(kSuspended), 1u) << "the notice from a control of the same type is ignored";
}

TEST_F(PlayersTest, IsolatedPlayersStopNobody) {
  Player first(m_dll, 1);
  Player second(m_dll, 1);
  first.Play();
  PumpMessages(300);
  EXPECT_EQ(second.Count(kSuspended), 0u);
}

TEST_F(PlayersTest, NoticeFromAnotherProcessSuspendsOnlyForAnotherType) {
  Player player(m_dll, 0);
  player.Play();
  const size_t closesBefore = Closes();

  ASSERT_EQ(RunPoster(53), 0u);
  PumpMessages(500);
  EXPECT_EQ(player.Count(kSuspended), 0u) << "a notice from a control of the same type is ignored";

  ASSERT_EQ(RunPoster(60), 0u);
  PumpMessages(500);
  EXPECT_EQ(player.Count(kSuspended), 1u) << "a notice from another type suspends";
  EXPECT_GT(Closes(), closesBefore) << "and closes the proxies' connections";
}
