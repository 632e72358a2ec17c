// The media-link binding against a double whose answers the test sets.
#include <gtest/gtest.h>

#include "plugin_test_support.h"
#include "plugins/outside_interfaces.h"
#include "plugins/vorla_link_plugin.h"

namespace {

typedef void(QEL_CDECL* FakeLinkSetAnswerFn)(BYTE answer);
typedef void(QEL_CDECL* FakeLinkLastCallFn)(LONG* args, HWND* window);

const HWND kWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));

class VorlaLinkPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(fake, nullptr);
    link.SetSubscriber(1, kWindow);
  }
  void TearDown() override {
    if (fake != nullptr) FreeLibrary(fake);
  }
  void Answer(BYTE answer) { ExportOf<FakeLinkSetAnswerFn>(fake, "FakeLinkSetAnswer")(answer); }

  HMODULE fake = LoadLibraryA("FakeVorlaLink.dll");
  CVorlaLinkPlugin link;
};

}  // namespace

TEST_F(VorlaLinkPluginTest, CallsBeforeALoadAnswerMinusOne) {
  EXPECT_EQ(link.SubscribeMsg(), -1);
  EXPECT_EQ(link.UnsubscribeMsg(), -1);
  EXPECT_EQ(link.PostMsg(53), -1);
  EXPECT_STREQ(link.GetError(), "Plug-in is not loaded");
  EXPECT_EQ(link.GetStatus(), 0);
}

TEST_F(VorlaLinkPluginTest, AnyNonZeroByteCountsAsOne) {
  ASSERT_EQ(link.Load("FakeVorlaLink.dll"), 1);
  const struct {
    BYTE answer;
    LONG expected;
  } cases[] = {{0, 0}, {1, 1}, {2, 1}, {0x80, 1}, {0xFF, 1}};
  for (const auto& c : cases) {
    Answer(c.answer);
    EXPECT_EQ(link.SubscribeMsg(), c.expected) << int(c.answer);
    EXPECT_EQ(link.PostMsg(53), c.expected) << int(c.answer);
    EXPECT_EQ(link.GetStatus(), 1);
  }
}

TEST_F(VorlaLinkPluginTest, EveryCallCarriesTheSubscriptionAndTheWindow) {
  ASSERT_EQ(link.Load("FakeVorlaLink.dll"), 1);
  link.SetSubscriber(7, kWindow);
  ASSERT_EQ(link.PostMsg(53), 1);
  LONG args[3];
  HWND window = nullptr;
  ExportOf<FakeLinkLastCallFn>(fake, "FakeLinkLastCall")(args, &window);
  EXPECT_EQ(args[0], 7);
  EXPECT_EQ(args[1], 53);
  EXPECT_EQ(args[2], 1) << "one call reached the library";
  EXPECT_EQ(window, kWindow);
}

TEST_F(VorlaLinkPluginTest, AMissingEntryPointAnswersMinusOneWithItsPrefix) {
  ASSERT_EQ(link.Load("FakeVorlaLink.dll"), 1);
  EXPECT_EQ(link.UnsubscribeMsg(), -1);
  EXPECT_EQ(link.GetError(), "Failed to call VO_UnsubscribeMsg method: " + QelSystemMessage(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(link.GetStatus(), 0);
  Answer(1);
  EXPECT_EQ(link.SubscribeMsg(), 1);
  EXPECT_EQ(link.GetStatus(), 1);
}
