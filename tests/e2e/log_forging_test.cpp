// Values from the host reach the log inside the lines the library writes, and nowhere else: a command's
// text can neither end a line early nor leave control bytes in the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "loaded_dll.h"
#include "player.h"
#include "proxy_standin_control.h"
#include "support/log_reader.h"
#include "support/temp_dir.h"

namespace {

using Lines = std::vector<std::string>;

// The bytes of every command, each in turn replaced by a byte that must not reach the file as itself.
std::vector<CommandBytes> CorpusWithControlBytes() {
  const unsigned char kControls[] = {'\r', '\n', '\t', 0x00, 0x01, 0x1B, 0x7F};
  std::vector<CommandBytes> corpus;
  size_t next = 0;
  for (const NamedCommand& command : EveryHandledCommand()) {
    corpus.push_back(command.bytes);
    for (size_t i = 0; i < command.bytes.size(); ++i) {
      CommandBytes mutant = command.bytes;
      mutant[i] = kControls[next++ % sizeof kControls];
      corpus.push_back(mutant);
    }
  }
  return corpus;
}

// Where a byte below 0x20 or 0x7F stands other than in a CR LF line end; npos when nowhere.
size_t StrayControlByte(const std::string& bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte >= 0x20 && byte != 0x7F) continue;
    const bool lineEnd = (byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ||
                         (byte == '\n' && i > 0 && bytes[i - 1] == '\r');
    if (!lineEnd) return i;
  }
  return std::string::npos;
}

class LogForging : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_standIn.Loaded());
    m_standIn.Configure(StandInBehaviour{});
  }
  TempDir m_dir;
  StandInLibrary m_standIn{"QelVideoProxy_WMP.dll"};
};

}  // namespace

TEST_F(LogForging, AURLCarryingALineOfItsOwnStaysInsideTheSetURLLine) {
  {
    LoadedDll dll(m_dir.File("forged.log"), 1);
    ASSERT_TRUE(dll.Loaded());
    Player player(dll, 1);
    player.Send(Cmd::url(0, 1, "http://a.example/x\r\n12/08/26-00:00:00.000 VideoHost::StartPlay: ACID=99, Port=6666"));
  }
  const Lines lines = ReadLogLines(m_dir.File("forged.log"));
  const auto settings = std::find(lines.begin(), lines.end(), "VideoHost::SetIsolatedFlag: Flag=1");
  EXPECT_EQ(Lines(settings, lines.end()),
            (Lines{"VideoHost::SetIsolatedFlag: Flag=1",
                   "VideoHost::SetURL: ProxyIndex=0, ConnIndex=0, Type=PLUG, URL=http://a.example/x\\r\\n"
                   "12/08/26-00:00:00.000 VideoHost::StartPlay: ACID=99, Port=6666",
                   "VideoHost::SetURL: Final dest=a.example, Final port=80",
                   "VideoHost::StartPlay: ACID=0, Port=8000",
                   "VideoHost::StartPlay: Sent proxy port successfully",
                   "DeleteControl: Parent=0x00000000 ================= DESTROY =================",
                   "RemoveControl: Count=0"}));
}

TEST_F(LogForging, TheCommandCorpusLeavesNoControlByteButTheLineEnds) {
  const std::vector<CommandBytes> corpus = CorpusWithControlBytes();
  {
    // The largest limit: the whole run fits in the file and its one "_old" file.
    LoadedDll dll(m_dir.File("corpus.log"), 3, 10239);
    ASSERT_TRUE(dll.Loaded());
    Player player(dll, 1);
    for (const CommandBytes& command : corpus) player.Send(command);
  }
  size_t commandsLogged = 0;
  for (const char* name : {"corpus_old.log", "corpus.log"}) {
    if (!FileExists(m_dir.File(name))) continue;
    const std::string bytes = ReadWholeFile(m_dir.File(name));
    const size_t stray = StrayControlByte(bytes);
    EXPECT_EQ(stray, std::string::npos) << name << ": " << bytes.substr(bytes.rfind('\n', stray) + 1, 200);
    for (const std::string& line : ReadLogLines(m_dir.File(name))) {
      ASSERT_EQ(line.find("<malformed>"), std::string::npos) << line;
      commandsLogged += line.rfind("ProcessBuf: Size=", 0) == 0;
    }
  }
  EXPECT_EQ(commandsLogged, corpus.size() + 1) << "every command, and the player's isolation flag, was logged";
}
