#include "host_interfaces/host_interfaces.h"

#include <gmock/gmock.h>

#include <cstdio>
#include <string>

#include "support/fake_host.h"

namespace {

using ::testing::ElementsAre;

std::string GuidText(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

TEST(HostInterfaces, IdentifiersAreTheHostsOwn) {
  EXPECT_EQ(GuidText(IID_ICBBSetCtrl), "{ACD35DC0-641B-11D2-BB1D-0008C73ADFDD}");
  EXPECT_EQ(GuidText(IID_CBBInfo3), "{EF073570-FF34-11D2-8C78-F0B9D4000000}");
  EXPECT_EQ(GuidText(IID_ITalkBack), "{4A415E90-C4B5-11D2-BB32-0008C73ADFDD}");
  EXPECT_EQ(GuidText(IID_IHostSite), "{32955844-8141-11D1-B30B-00805F815CBF}");
  EXPECT_EQ(sizeof(GUID), 16u);
}

// The host calls by position; these calls go through the raw table exactly as the host's binary would.
template <class... Args>
HRESULT CallSlot(void* pInterface, int slot, Args... args) {
  using Slot = HRESULT(STDMETHODCALLTYPE*)(void*, Args...);
  void** table = *static_cast<void***>(pInterface);
  return reinterpret_cast<Slot>(table[slot])(pInterface, args...);
}

void* Query(FakeHost& host, REFIID iid) {
  void* pInterface = nullptr;
  EXPECT_EQ(host.Unknown()->QueryInterface(iid, &pInterface), S_OK);
  return pInterface;
}

struct SlotCase {
  const IID* iid;
  int slot;
  const char* expectedCall;
};

TEST(HostInterfaces, OneValueSlotsSitWhereTheHostCallsThem) {
  const SlotCase cases[] = {
      {&IID_ICBBSetCtrl, 3, "RequestBroadcast(1)"}, {&IID_CBBInfo3, 3, "CBBInfo3 slot 3"},
      {&IID_CBBInfo3, 4, "CBBInfo3 slot 4"},         {&IID_CBBInfo3, 5, "CBBInfo3 slot 5"},
      {&IID_CBBInfo3, 6, "CBBInfo3 slot 6"},         {&IID_CBBInfo3, 7, "CBBInfo3 slot 7"},
      {&IID_CBBInfo3, 8, "CBBInfo3 slot 8"},         {&IID_CBBInfo3, 9, "CBBInfo3 slot 9"},
      {&IID_CBBInfo3, 11, "CBBInfo3 slot 11"},       {&IID_ITalkBack, 3, "TALK BACK slot 3"},
      {&IID_IHostSite, 3, "site slot 3"},
  };
  for (const SlotCase& c : cases) {
    FakeHost host;
    void* pInterface = Query(host, *c.iid);
    CallSlot(pInterface, c.slot, LONG{1});
    EXPECT_EQ(host.Calls().back(), c.expectedCall);
    CallSlot(pInterface, 2);
    EXPECT_EQ(host.RefCount(), 0) << c.expectedCall;
  }
}

TEST(HostInterfaces, CallbackAndTalkbackSlotsCarryTheirArguments) {
  FakeHost host;
  host.SetCallbackStatus(0x101);
  host.SetRequestAnswer(CCB_SendINMSAlarm, RequestAnswer{E_FAIL, 6});
  host.SetTalkbackResult(S_FALSE);
  void* pCallback = Query(host, IID_CBBInfo3);
  void* pTalkBack = Query(host, IID_ITalkBack);

  LONG status = 0;
  CallSlot(pCallback, 10, &status);
  EXPECT_EQ(status, 0x101);
  BYTE alarm[] = {1, 2, 3};
  LONG rCode = 0;
  EXPECT_EQ(CallSlot(pCallback, 12, CCB_SendINMSAlarm, static_cast<void*>(alarm), LONG{3}, &rCode), E_FAIL);
  EXPECT_EQ(rCode, 6);
  ASSERT_EQ(host.Requests().size(), 1u);
  EXPECT_EQ(host.Requests()[0].buffer, (Bytes{1, 2, 3}));
  const BYTE message[8] = {0, 0xF0, 0, 0x11, 0, 0, 0, 0x50};
  EXPECT_EQ(CallSlot(pTalkBack, 4, static_cast<const BYTE*>(message), LONG{8}), S_FALSE);
  EXPECT_EQ(host.TalkbackMessages(), (std::vector<Bytes>{Bytes(message, message + 8)}));

  EXPECT_EQ(CallSlot(pCallback, 1), 3) << "AddRef through the raw table";
  CallSlot(pCallback, 2);
  CallSlot(pCallback, 2);
  CallSlot(pTalkBack, 2);
  EXPECT_EQ(host.RefCount(), 0);
  EXPECT_TRUE(host.Unexpected().empty());
}

TEST(FakeHost, AnswersOnlyTheConfiguredIdentifiers) {
  FakeHost host;
  host.Answer(IID_CBBInfo3, false);
  void* pInterface = &host;
  EXPECT_EQ(host.Unknown()->QueryInterface(IID_CBBInfo3, &pInterface), E_NOINTERFACE);
  EXPECT_EQ(pInterface, nullptr);
  host.AnswerNone();
  EXPECT_EQ(host.Unknown()->QueryInterface(IID_IUnknown, &pInterface), E_NOINTERFACE);
  EXPECT_EQ(host.RefCount(), 0);
  host.Answer(IID_ITalkBack, true);
  EXPECT_EQ(host.Unknown()->QueryInterface(IID_ITalkBack, &pInterface), S_OK);
  EXPECT_EQ(pInterface, static_cast<void*>(host.TalkBack()));
  EXPECT_EQ(host.RefCount(), 1);
  host.TalkBack()->Release();
  host.TalkBack()->Release();
  EXPECT_THAT(host.Unexpected(), ElementsAre("Release below zero"));
}

}  // namespace
