#include "video/command_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct NameCase {
  int32_t nCmd;
  const char* name;
};

const NameCase kNameCases[] = {
    {200, "MNS Setting"},
    {201, "Socks5 Setting"},
    {203, "Backup MNS Setting"},
    {215, "Player Alarm Interval"},
    {219, "Inrease/Decrease Volume"},
    {221, "Session ID Setting"},
    {227, "URL Setting"},
    {230, "VOD's Start/End Times Setting"},
    {234, ""},
    {241, "Proxy Plugin Type"},
    {242, "Proxy Auth Key"},
    {245, "Set Isolated Player"},
    {249, "Proxy Status"},
    {250, ""},
    {0, ""},
    {9, ""},
    {10, "TitleLong"},
    {19, "WinManHostedControlActionLong"},
    {20, ""},
    {21, "LoadFile"},
    {22, "SetProxy"},
    {25, "SetSocks"},
    {26, ""},
    {31, ""},
    {32, "PaintMonitorText"},
    {43, "WinManHostedControlAction"},
    {47, "SetGridAttributes"},
    {68, ""},
    {69, "EditCell"},
    {81, "SetSocksShort"},
    {84, "SourcePortRange"},
    {96, ""},
    {97, "CellAttributes"},
    {113, "SecureMessageHdr"},
    {122, "DefineMonitorGridRow"},
    {125, "CustomButton"},
    {126, ""},
    {127, "CompactMsg"},
    {142, "CellStringAttributes"},
    {143, ""},
    {199, ""},
    {-1, ""},
    {-56, ""},  // would be 200 if only the low byte counted
    {0x7FFFFFFF, ""},
};

TEST(CommandName, VideoCommandsTerminalOpcodesAndOutOfRange) {
  for (const NameCase& c : kNameCases) EXPECT_STREQ(CommandName(c.nCmd), c.name) << "command " << c.nCmd;
}

TEST(CommandName, EveryEmptyTerminalOpcodeEntry) {
  const int32_t empty[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 20, 26, 27, 28, 29, 30, 31,
                           44, 45, 46, 68, 76, 79, 80, 96, 123, 124, 126};
  int32_t named = 0;
  for (int32_t n = 0; n <= 142; ++n) named += std::string(CommandName(n)).empty() ? 0 : 1;
  EXPECT_EQ(named, 143 - static_cast<int32_t>(std::size(empty)));
  for (int32_t n : empty) EXPECT_STREQ(CommandName(n), "") << "opcode " << n;
}

}  // namespace
