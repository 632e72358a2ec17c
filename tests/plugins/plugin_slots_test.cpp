// The local proxy interface's slot places, called through the raw table of a proxy built in another
// library, and the reference rule a proxy keeps on its callback.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugins/proxy_plugin.h"
#include "proxy_standin_control.h"

namespace {

using Names = std::vector<std::string>;

class ProxySlotsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(standin.Loaded());
    standin.Configure(behaviour);
    ASSERT_EQ(plugin.Load("QelVideoProxy_WMP.dll"), 1);
    ASSERT_EQ(plugin.CreateProxy(&proxy), 1);
    ASSERT_NE(proxy, nullptr);
    behaviour.firstPort = 9100;
    behaviour.byteCount = 77;
    behaviour.lastActivityTime = 0x123456789LL;
    standin.Configure(behaviour);
  }
  void TearDown() override {
    if (proxy != nullptr) proxy->Release();
  }

  void** Table() const { return *reinterpret_cast<void** const*>(proxy); }
  template <typename Result, typename... Args>
  Result CallSlot(int slot, Args... args) {
    using Function = Result(STDMETHODCALLTYPE*)(IQelVideoProxy*, Args...);
    return reinterpret_cast<Function>(Table()[slot])(proxy, args...);
  }

  StandInBehaviour behaviour;
  StandInLibrary standin{"QelVideoProxy_WMP.dll"};
  CProxyPlugin plugin;
  IQelVideoProxy* proxy = nullptr;
};

// A callback that counts its references and answers the epoch time.
class CountingCallback : public IQelVideoCBBCallback {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs)); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&refs)); }
  HRESULT STDMETHODCALLTYPE GetEpochTime(DWORD* pTime) override {
    *pTime = 0x5F00AB12;
    return 0;
  }
  HRESULT STDMETHODCALLTYPE ReservedCallback(LONG) override { return 0; }
  HRESULT STDMETHODCALLTYPE SetURL(LONG, LONG, const char*, LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetAASSessionIDs(int64_t, int64_t) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPlugInName(const char*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSocks5Proxy(const char*, LONG, const char*, LONG, const char*, const char*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetPLUGProxy(const char*, LONG, const char*, LONG, const char*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetSecureHeader(const char*, LONG, LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetProxyKey(LONG, LONG, const char*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPlugInType(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetHeartbeatAlarmInterval(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetIsolatedFlag(LONG) override { return E_NOTIMPL; }

  LONG volatile refs = 1;
};

}  // namespace

TEST_F(ProxySlotsTest, SlotsWithoutArgumentsSitWhereTheLibraryExpectsThem) {
  EXPECT_EQ(CallSlot<LONG>(7), 9100);
  EXPECT_EQ(CallSlot<LONG>(14), 77);
  EXPECT_EQ(CallSlot<int64_t>(18), 0x123456789LL);
  EXPECT_EQ(CallSlot<CSrcConfig*>(8), nullptr);
  EXPECT_EQ(standin.CallNames(),
            (Names{"Proxy::GetPort#1", "Proxy::GetByteCount#1", "Proxy::GetLastActivityTime#1", "Proxy::GetConfig#1"}));
}

TEST_F(ProxySlotsTest, SlotsWithOneValueSitWhereTheLibraryExpectsThem) {
  const struct {
    int slot;
    const char* name;
  } slots[] = {{4, "Proxy::Reserved4"},   {6, "Proxy::Reserved6"},   {9, "Proxy::Reserved9"},
               {10, "Proxy::Reserved10"}, {11, "Proxy::Reserved11"}, {12, "Proxy::Reserved12"},
               {15, "Proxy::Reserved15"}, {16, "Proxy::CloseConnections"}, {17, "Proxy::PrepareClose"}};
  for (const auto& s : slots) {
    standin.Configure(behaviour);
    CallSlot<HRESULT>(s.slot, static_cast<LONG>(s.slot));
    const std::vector<StandInCall> calls = standin.Calls();
    ASSERT_EQ(calls.size(), 1u) << s.slot;
    EXPECT_STREQ(calls[0].what, s.name);
    EXPECT_EQ(calls[0].arg1, s.slot) << s.name;
  }
}

TEST_F(ProxySlotsTest, SlotsWithPointersSitWhereTheLibraryExpectsThem) {
  CountingCallback callback;
  auto* config = reinterpret_cast<CSrcConfig*>(&callback);  // only its address travels
  EXPECT_EQ(CallSlot<HRESULT>(5, static_cast<IQelVideoCBBCallback*>(&callback)), S_OK);
  EXPECT_EQ(CallSlot<HRESULT>(3, config), S_OK);
  EXPECT_EQ(CallSlot<HRESULT>(13, static_cast<LONG>(2), "rtsp://cam/1", static_cast<LONG>(5)), S_OK);
  const std::vector<StandInCall> calls = standin.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_STREQ(calls[0].what, "Proxy::SetCallback");
  EXPECT_STREQ(calls[1].what, "Proxy::Create");
  EXPECT_EQ(calls[1].arg1, reinterpret_cast<intptr_t>(config));
  EXPECT_STREQ(calls[2].what, "Proxy::SetConnectionURL");
  EXPECT_EQ(calls[2].arg1, 2);
  EXPECT_EQ(calls[2].arg2, 5);
  EXPECT_STREQ(calls[2].text, "rtsp://cam/1");
  proxy->CloseConnections(1);
}

TEST_F(ProxySlotsTest, AProxyHoldsItsCallbackOnlyWhileItsConnectionsAreOpen) {
  CountingCallback callback;
  behaviour.askEpochTimeOnCreate = 1;
  standin.Configure(behaviour);
  ASSERT_EQ(proxy->SetCallback(&callback), S_OK);
  EXPECT_EQ(callback.refs, 2);
  ASSERT_EQ(proxy->Create(nullptr), S_OK);
  EXPECT_EQ(callback.refs, 2);
  const std::vector<StandInCall> calls = standin.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_STREQ(calls[2].what, "Callback::GetEpochTime");
  EXPECT_EQ(calls[2].arg1, 0);
  EXPECT_EQ(calls[2].arg2, 0x5F00AB12);
  proxy->PrepareClose(1);
  EXPECT_EQ(callback.refs, 2);
  proxy->CloseConnections(1);
  EXPECT_EQ(callback.refs, 1);
  EXPECT_EQ(standin.Counts().heldCallbacks, 0);
}

TEST_F(ProxySlotsTest, AFailedCreateOrRefusedCallbackHoldsNoReference) {
  CountingCallback callback;
  behaviour.createResults[0] = E_FAIL;
  standin.Configure(behaviour);
  ASSERT_EQ(proxy->SetCallback(&callback), S_OK);
  EXPECT_EQ(proxy->Create(nullptr), E_FAIL);
  EXPECT_EQ(callback.refs, 1);

  behaviour.setCallbackResult = E_FAIL;
  standin.Configure(behaviour);
  EXPECT_EQ(proxy->SetCallback(&callback), E_FAIL);
  EXPECT_EQ(callback.refs, 1);
}
