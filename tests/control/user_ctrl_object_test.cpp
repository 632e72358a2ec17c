#include "control/user_ctrl_object.h"

#include <gtest/gtest.h>

#include <array>

#include "support/raw_slot.h"

namespace {

// The smallest control: answers the primary interface and counts its own destruction.
class TestCtrl : public CUserCtrlObject {
 public:
  explicit TestCtrl(int* destroyed) : m_destroyed(destroyed) {}
  ~TestCtrl() override { ++*m_destroyed; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override {
    *ppv = nullptr;
    if (!IsEqualGUID(iid, IID_IUnknown) && !IsEqualGUID(iid, IID_IQELTermControl)) return E_NOINTERFACE;
    *ppv = TermControl();
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ImageNotify(LONG) override { return S_OK; }

 private:
  int* m_destroyed;
};

// A host object that counts its references and answers nothing.
struct CountedUnknown : IUnknown {
  LONG refs = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
};

class UserCtrlObjectTest : public ::testing::Test {
 protected:
  void SetUp() override { m_ctrl->AddRef(); }
  void TearDown() override {
    if (m_destroyed == 0) m_ctrl->Release();
  }
  int m_destroyed = 0;
  TestCtrl* m_ctrl = new TestCtrl(&m_destroyed);
};

}  // namespace

TEST_F(UserCtrlObjectTest, OneCountBehindEveryInterface) {
  IQELTCMask4* mask = m_ctrl;
  IQELImageNotify* image = m_ctrl;
  EXPECT_EQ(CallSlot<ULONG>(mask, 1), 2u);
  EXPECT_EQ(CallSlot<ULONG>(image, 1), 3u);
  EXPECT_EQ(CallSlot<ULONG>(mask, 2), 2u);
  EXPECT_EQ(CallSlot<ULONG>(image, 2), 1u);
  EXPECT_EQ(m_destroyed, 0);
  EXPECT_EQ(CallSlot<ULONG>(static_cast<IQELTermControl*>(m_ctrl), 2), 0u);
  EXPECT_EQ(m_destroyed, 1) << "the release to zero destroys the whole object";
}

TEST_F(UserCtrlObjectTest, DefaultAnswersBySlot) {
  struct Row {
    void* iface;
    int slot;
    HRESULT result;
  };
  const Row rows[] = {
      {static_cast<IQELTCMfc*>(m_ctrl), 3, S_OK},
      {static_cast<IQELTCMfc*>(m_ctrl), 4, S_FALSE},
      {static_cast<IQELPropertyAccess*>(m_ctrl), 3, E_NOTIMPL},
      {static_cast<IQELPropertyAccess*>(m_ctrl), 4, E_NOTIMPL},
      {static_cast<IQELCellPaintCallout*>(m_ctrl), 3, E_NOTIMPL},
      {static_cast<IQELMediaEvents*>(m_ctrl), 3, E_NOTIMPL},
      {static_cast<IQELTCInformSizing*>(m_ctrl), 3, S_OK},
      {static_cast<IQELTermControl*>(m_ctrl), 7, S_OK},
  };
  // Each call passes exactly the slot's argument count: a callee-cleaned call with any other count
  // would unbalance the stack.
  for (const Row& row : rows) {
    if (row.iface == static_cast<IQELCellPaintCallout*>(m_ctrl))
      EXPECT_EQ((CallSlot<HRESULT, LONG, LONG, LONG, LONG, LONG, LONG, LONG, LONG, LONG, LONG>(row.iface, row.slot, 0, 0,
                                                                                            0, 0, 0, 0, 0, 0, 0, 0)),
                row.result);
    else if (row.iface == static_cast<IQELTermControl*>(m_ctrl) || row.iface == static_cast<IQELPropertyAccess*>(m_ctrl))
      EXPECT_EQ((CallSlot<HRESULT, LONG, LONG>(row.iface, row.slot, 0, 0)), row.result) << row.slot;
    else
      EXPECT_EQ((CallSlot<HRESULT, LONG>(row.iface, row.slot, 0)), row.result) << row.slot;
  }
}

TEST_F(UserCtrlObjectTest, OutputsAreWrittenOnlyWhereGiven) {
  std::array<LONG, 7> outs;
  outs.fill(5);
  IQELTCFrameMenu2* menu = m_ctrl;
  EXPECT_EQ((CallSlot<HRESULT, LONG*, LONG*, LONG*, LONG*, LONG*, LONG*, LONG*>(
                menu, 7, &outs[0], &outs[1], nullptr, &outs[3], nullptr, &outs[5], &outs[6])),
            S_OK);
  EXPECT_EQ(outs, (std::array<LONG, 7>{0, 0, 5, 0, 5, 0, 0}));

  LONG property = 5;
  IQELPropertyAccess* access = m_ctrl;
  EXPECT_EQ((CallSlot<HRESULT, LONG, LONG, LONG, LONG*>(access, 6, 0, 0, 0, &property)), E_NOTIMPL);
  EXPECT_EQ(property, -1);
  EXPECT_EQ((CallSlot<HRESULT, LONG, LONG, LONG, LONG*>(access, 6, 0, 0, 0, nullptr)), E_NOTIMPL);

  LONG o2 = 5;
  LONG o3 = 5;
  IQELTCMask4* mask = m_ctrl;
  EXPECT_EQ((CallSlot<HRESULT, LONG, LONG*, LONG*>(mask, 7, 0, &o2, &o3)), S_OK);
  EXPECT_EQ(o2 + o3, 0);
  LONG event = 5;
  IQELTCEvents7* events = m_ctrl;
  EXPECT_EQ((CallSlot<HRESULT, LONG, LONG, LONG, LONG*>(events, 12, 0, 0, 0, &event)), S_OK);
  EXPECT_EQ(event, 0);
}

TEST_F(UserCtrlObjectTest, StoresWhatTheHostHandsIn) {
  IQELTCWinMan2* winMan = m_ctrl;
  EXPECT_EQ((CallSlot<HRESULT, LONG>(winMan, 4, 0x12345)), S_OK);
  EXPECT_EQ(m_ctrl->ACID(), 0x12345);
  IQELTCEvents7* events = m_ctrl;
  CallSlot<HRESULT, LONG>(events, 3, 9);
  EXPECT_EQ(m_ctrl->EventArgs()[1], 9);
  CallSlot<HRESULT, LONG, LONG, LONG>(events, 8, 1, 2, 3);
  EXPECT_EQ(m_ctrl->EventArgs(), (std::array<LONG, 3>{1, 2, 3}));
}

TEST_F(UserCtrlObjectTest, HostObjectsAreReleasedOnceEach) {
  CountedUnknown handed;
  CountedUnknown sink;
  IQELTCWinMan2* winMan = m_ctrl;
  CallSlot<HRESULT, IUnknown*>(winMan, 3, &handed);
  EXPECT_EQ(handed.refs, 0) << "the reference handed in is released at once";
  CallSlot<HRESULT, IUnknown*>(winMan, 3, static_cast<IUnknown*>(nullptr));

  CountedUnknown host;
  EXPECT_EQ(m_ctrl->CUserCtrlObject::InitControl(nullptr, &host), S_OK);
  EXPECT_EQ(host.refs, 0) << "the base form releases the host object once";

  IQELTCWinManExtCtrl* ext = m_ctrl;
  CallSlot<HRESULT, IUnknown*>(ext, 4, static_cast<IUnknown*>(&sink));
  EXPECT_EQ(sink.refs, 1) << "kept without a reference of its own";
  m_ctrl->Release();
  EXPECT_EQ(sink.refs, 0) << "released at destruction";
}
