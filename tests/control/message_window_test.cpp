#include "control/message_window.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct RecordingOwner : IMessageWindowOwner {
  std::vector<UINT_PTR> ticks;
  std::vector<std::pair<WPARAM, LPARAM>> notices;
  void OnTimer(UINT_PTR id) override { ticks.push_back(id); }
  LRESULT OnVorlaLinkKillStream(WPARAM w, LPARAM l) override {
    notices.emplace_back(w, l);
    return 0;
  }
};

}  // namespace

#ifdef _WIN32

namespace {
// Pumps this thread's messages until `done` or about two seconds pass.
template <typename Done>
void Pump(Done done) {
  for (int i = 0; i < 200 && !done(); ++i) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(10);
  }
}
}  // namespace

TEST(MessageWindow, RoutesTimerTicksAndKillStreamNotices) {
  RecordingOwner owner;
  HWND window = CreateMessageWindow(&owner);
  ASSERT_NE(window, nullptr);
  EXPECT_NE(GetParent(window), GetDesktopWindow()) << "a message-only window hangs off the message root";
  char title[64] = {};
  GetWindowTextA(window, title, sizeof title);
  EXPECT_STREQ(title, "CQelVorlaProxyCtrl");

  ASSERT_EQ(SetTimer(window, 99, 10, nullptr), 99u);
  PostMessageA(window, kVorlaLinkMessage, 0x1234, 53);
  Pump([&] { return owner.ticks.size() >= 2 && !owner.notices.empty(); });
  KillTimer(window, 99);
  ASSERT_GE(owner.ticks.size(), 2u);
  EXPECT_EQ(owner.ticks[0], 99u);
  ASSERT_EQ(owner.notices.size(), 1u);
  EXPECT_EQ(owner.notices[0], (std::pair<WPARAM, LPARAM>{0x1234, 53}));

  DestroyMessageWindow(window);
  EXPECT_FALSE(IsWindow(window));
}

TEST(MessageWindow, TwoWindowsReachTheirOwnOwners) {
  RecordingOwner first;
  RecordingOwner second;
  HWND a = CreateMessageWindow(&first);
  HWND b = CreateMessageWindow(&second);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  PostMessageA(b, kVorlaLinkMessage, 1, 2);
  Pump([&] { return !second.notices.empty(); });
  EXPECT_TRUE(first.notices.empty());
  EXPECT_EQ(second.notices.size(), 1u);
  DestroyMessageWindow(a);
  DestroyMessageWindow(b);
}

#else

TEST(MessageWindow, CannotBeCreatedWithoutWindows) {
  RecordingOwner owner;
  EXPECT_EQ(CreateMessageWindow(&owner), nullptr);
  EXPECT_NE(GetLastError(), 0u);
}

#endif
