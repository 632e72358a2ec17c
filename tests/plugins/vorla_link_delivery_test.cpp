// The media-link stand-in delivers the stop notice to every other subscribed window, in this process and
// in another one.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "link_window.h"
#include "plugins/vorla_link_plugin.h"
#include "support/temp_dir.h"

namespace {

constexpr DWORD kNoNoticeWaitMs = 300;

class Subscriber {
 public:
  explicit Subscriber(LONG subscription) {
    link.SetSubscriber(subscription, window.Handle());
    loaded = link.Load("QelVorlaLink.dll") == 1 && link.SubscribeMsg() == 1;
  }
  ~Subscriber() {
    if (loaded) link.UnsubscribeMsg();
  }

  LinkWindow window;
  CVorlaLinkPlugin link;
  bool loaded = false;
};

std::string Hex(uintptr_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
  return text;
}

std::string ThisDirectory() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string directory(path, length);
  return directory.substr(0, directory.find_last_of("\\/") + 1);
}

}  // namespace

TEST(VorlaLinkDelivery, OtherWindowsOfTheSameValueGetTheNoticeAndThePosterDoesNot) {
  Subscriber poster(1), sameValue(1), otherValue(2);
  ASSERT_TRUE(poster.loaded && sameValue.loaded && otherValue.loaded);
  EXPECT_EQ(poster.link.PostMsg(53), 1);

  MSG notice{};
  ASSERT_TRUE(sameValue.window.WaitForNotice(2000, &notice));
  EXPECT_EQ(notice.wParam, reinterpret_cast<WPARAM>(poster.window.Handle()));
  EXPECT_EQ(notice.lParam, 53);
  EXPECT_FALSE(poster.window.WaitForNotice(kNoNoticeWaitMs, &notice)) << "the poster's own window";
  EXPECT_FALSE(otherValue.window.WaitForNotice(kNoNoticeWaitMs, &notice)) << "another subscription value";
}

TEST(VorlaLinkDelivery, AnUnsubscribedWindowGetsNothing) {
  Subscriber poster(1), leaver(1);
  ASSERT_TRUE(poster.loaded && leaver.loaded);
  EXPECT_EQ(leaver.link.UnsubscribeMsg(), 1);
  EXPECT_EQ(leaver.link.UnsubscribeMsg(), 0) << "nothing left to remove";
  EXPECT_EQ(poster.link.PostMsg(53), 1);
  MSG notice{};
  EXPECT_FALSE(leaver.window.WaitForNotice(kNoNoticeWaitMs, &notice));
}

TEST(VorlaLinkDelivery, AWindowDestroyedWithoutUnsubscribingIsDroppedAndPostingStillSucceeds) {
  Subscriber poster(1), vanished(1), live(1);
  ASSERT_TRUE(poster.loaded && vanished.loaded && live.loaded);
  vanished.window.Destroy();
  EXPECT_EQ(poster.link.PostMsg(7), 1);
  MSG notice{};
  EXPECT_TRUE(live.window.WaitForNotice(2000, &notice));
}

TEST(VorlaLinkDelivery, ANoticeReachesAWindowOfAnotherProcess) {
  TempDir dir;
  const std::string resultFile = dir.File("notice.txt");
  const std::string eventName = "Local\\QelLinkReceiverReady" + std::to_string(GetCurrentProcessId());
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
  ASSERT_NE(ready, nullptr);
  Subscriber poster(1);
  ASSERT_TRUE(poster.loaded);

  std::string command = "\"" + ThisDirectory() + "link_receiver.exe\" " + eventName + " \"" + resultFile + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process));
  const bool receiverReady = WaitForSingleObject(ready, 15000) == WAIT_OBJECT_0;
  EXPECT_TRUE(receiverReady);
  if (receiverReady) {
    EXPECT_EQ(poster.link.PostMsg(4242), 1);
  }
  const bool ended = WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(process.hProcess, 9);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseHandle(ready);

  ASSERT_TRUE(ended);
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(ReadWholeFile(resultFile), Hex(reinterpret_cast<uintptr_t>(poster.window.Handle())) + " " + Hex(4242));
}
