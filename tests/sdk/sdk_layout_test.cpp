// The kit's header against the library's own declarations: every offset and size of the shared
// structures, every slot of both interfaces (called through the kit's tables into objects built on the
// library's), the string manager's table on the library's own manager, and a text written with the
// kit's helper read back by the library. The kit side is compiled as C, apart, so the two sets of
// declarations never meet in one translation unit.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "config/src_config.h"
#include "config/src_config_layout.h"
#include "plugins/outside_interfaces.h"
#include "shared_fields.h"
#include "support/src_config_probe.h"

SdkCall g_sdkLastCall;

namespace {

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif
#define SDK_LIBRARY_FACT(type, field) {#type "." #field, SrcConfigLayout::OffsetOf(#type "." #field)},
const std::map<std::string, size_t> kLibraryFacts = {
    SDK_SHARED_FIELDS(SDK_LIBRARY_FACT){"CSrcConfig", sizeof(CSrcConfig)},
    {"CSrcConnection", sizeof(CSrcConnection)},
    {"string", sizeof(CBoundaryString)},
    {"string header", sizeof(CBoundaryStringData)},
    {"QelStringData.pStringMgr", offsetof(CBoundaryStringData, pStringMgr)},
    {"QelStringData.nDataLength", offsetof(CBoundaryStringData, nDataLength)},
    {"QelStringData.nAllocLength", offsetof(CBoundaryStringData, nAllocLength)},
    {"QelStringData.nRefs", offsetof(CBoundaryStringData, nRefs)},
    {"vector", sizeof(CBoundaryVector<CSrcConnection*>)}};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

long long Pointer(const void* p) { return static_cast<long long>(reinterpret_cast<uintptr_t>(p)); }

// Records which method ran and with what; each answers 1000 + its slot.
void Record(const char* name, long long a = 0, long long b = 0, long long c = 0, long long d = 0, long long e = 0,
            long long f = 0) {
  g_sdkLastCall = {nullptr, name, {a, b, c, d, e, f}, 0};
}

struct RecordingProxy final : IQelVideoProxy {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override { Record("QueryInterface", Pointer(ppv)); return 1000; }
  ULONG STDMETHODCALLTYPE AddRef() override { Record("AddRef"); return 1001; }
  ULONG STDMETHODCALLTYPE Release() override { Record("Release"); return 1002; }
  HRESULT STDMETHODCALLTYPE Create(CSrcConfig* c) override { Record("Create", Pointer(c)); return 1003; }
  HRESULT STDMETHODCALLTYPE Reserved4(LONG v) override { Record("Reserved4", v); return 1004; }
  HRESULT STDMETHODCALLTYPE SetCallback(IQelVideoCBBCallback* c) override { Record("SetCallback", Pointer(c)); return 1005; }
  HRESULT STDMETHODCALLTYPE Reserved6(LONG v) override { Record("Reserved6", v); return 1006; }
  LONG STDMETHODCALLTYPE GetPort() override { Record("GetPort"); return 1007; }
  CSrcConfig* STDMETHODCALLTYPE GetConfig() override { Record("GetConfig"); return reinterpret_cast<CSrcConfig*>(1008); }
  HRESULT STDMETHODCALLTYPE Reserved9(LONG v) override { Record("Reserved9", v); return 1009; }
  HRESULT STDMETHODCALLTYPE Reserved10(LONG v) override { Record("Reserved10", v); return 1010; }
  HRESULT STDMETHODCALLTYPE Reserved11(LONG v) override { Record("Reserved11", v); return 1011; }
  HRESULT STDMETHODCALLTYPE Reserved12(LONG v) override { Record("Reserved12", v); return 1012; }
  HRESULT STDMETHODCALLTYPE SetConnectionURL(LONG i, const char* u, LONG t) override { Record("SetConnectionURL", i, Pointer(u), t); return 1013; }
  LONG STDMETHODCALLTYPE GetByteCount() override { Record("GetByteCount"); return 1014; }
  HRESULT STDMETHODCALLTYPE Reserved15(LONG v) override { Record("Reserved15", v); return 1015; }
  HRESULT STDMETHODCALLTYPE CloseConnections(LONG v) override { Record("CloseConnections", v); return 1016; }
  HRESULT STDMETHODCALLTYPE PrepareClose(LONG v) override { Record("PrepareClose", v); return 1017; }
  int64_t STDMETHODCALLTYPE GetLastActivityTime() override { Record("GetLastActivityTime"); return 0x100000000LL + 1018; }
};

struct RecordingCallback final : IQelVideoCBBCallback {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override { Record("QueryInterface", Pointer(ppv)); return 1000; }
  ULONG STDMETHODCALLTYPE AddRef() override { Record("AddRef"); return 1001; }
  ULONG STDMETHODCALLTYPE Release() override { Record("Release"); return 1002; }
  HRESULT STDMETHODCALLTYPE GetEpochTime(DWORD* t) override { *t = 2003; Record("GetEpochTime", Pointer(t)); return 1003; }
  HRESULT STDMETHODCALLTYPE ReservedCallback(LONG v) override { Record("ReservedCallback", v); return 1004; }
  HRESULT STDMETHODCALLTYPE SetURL(LONG p, LONG c, const char* u, LONG t) override { Record("SetURL", p, c, Pointer(u), t); return 1005; }
  HRESULT STDMETHODCALLTYPE SetAASSessionIDs(int64_t a, int64_t b) override { Record("SetAASSessionIDs", a, b); return 1006; }
  HRESULT STDMETHODCALLTYPE SetPlugInName(const char* n) override { Record("SetPlugInName", Pointer(n)); return 1007; }
  HRESULT STDMETHODCALLTYPE SetSocks5Proxy(const char* h1, LONG p1, const char* h2, LONG p2, const char* u,
                                           const char* w) override {
    Record("SetSocks5Proxy", Pointer(h1), p1, Pointer(h2), p2, Pointer(u), Pointer(w));
    return 1008;
  }
  HRESULT STDMETHODCALLTYPE SetPLUGProxy(const char* h1, LONG p1, const char* h2, LONG p2, const char* h) override {
    Record("SetPLUGProxy", Pointer(h1), p1, Pointer(h2), p2, Pointer(h));
    return 1009;
  }
  HRESULT STDMETHODCALLTYPE SetSecureHeader(const char* h, LONG v, LONG k) override { Record("SetSecureHeader", Pointer(h), v, k); return 1010; }
  HRESULT STDMETHODCALLTYPE SetProxyKey(LONG t, LONG i, const char* k) override { Record("SetProxyKey", t, i, Pointer(k)); return 1011; }
  HRESULT STDMETHODCALLTYPE SetPlugInType(LONG t) override { Record("SetPlugInType", t); return 1012; }
  HRESULT STDMETHODCALLTYPE SetHeartbeatAlarmInterval(LONG s) override { Record("SetHeartbeatAlarmInterval", s); return 1013; }
  HRESULT STDMETHODCALLTYPE SetIsolatedFlag(LONG f) override { Record("SetIsolatedFlag", f); return 1014; }
};

// Every call reached the method of the same name, as the n-th slot, and came back with its answer.
void ExpectSlotsInOrder(const SdkCall* calls, size_t count, size_t expectedCount) {
  ASSERT_EQ(count, expectedCount);
  for (size_t slot = 0; slot < count; ++slot) {
    ASSERT_NE(calls[slot].answeredBy, nullptr) << calls[slot].calledAs;
    EXPECT_STREQ(calls[slot].answeredBy, calls[slot].calledAs) << "slot " << slot;
    EXPECT_EQ(calls[slot].result & 0xFFFFFFFF, 1000 + static_cast<long long>(slot)) << calls[slot].calledAs;
  }
}

TEST(SdkHeader, EveryOffsetAndSizeIsTheLibrarys) {
  ASSERT_EQ(g_kitFactCount, kLibraryFacts.size());
  for (size_t i = 0; i < g_kitFactCount; ++i) {
    const auto library = kLibraryFacts.find(g_kitFacts[i].name);
    ASSERT_NE(library, kLibraryFacts.end()) << g_kitFacts[i].name;
    EXPECT_EQ(g_kitFacts[i].value, library->second) << g_kitFacts[i].name;
  }
}

TEST(SdkHeader, EveryProxySlotReachesTheLibrarysMethodWithItsArguments) {
  RecordingProxy proxy;
  SdkCall calls[32] = {};
  const size_t count = KitCallEveryProxySlot(&proxy, calls);
  ExpectSlotsInOrder(calls, count, 19);
  EXPECT_EQ(calls[3].args[0], 0x1003);
  EXPECT_EQ(calls[4].args[0], 104);
  EXPECT_EQ(calls[5].args[0], 0x1005);
  EXPECT_EQ(calls[13].args[0], 113);
  EXPECT_EQ(calls[13].args[1], 0x2013);
  EXPECT_EQ(calls[13].args[2], 213);
  EXPECT_EQ(calls[16].args[0], 116);
  EXPECT_EQ(calls[17].args[0], 117);
  EXPECT_EQ(calls[18].result, 0x100000000LL + 1018) << "the 64-bit time comes back whole";
}

TEST(SdkHeader, EveryCallbackSlotReachesTheLibrarysMethodWithItsArguments) {
  RecordingCallback host;
  SdkCall calls[32] = {};
  const size_t count = KitCallEveryCallbackSlot(&host, calls);
  ExpectSlotsInOrder(calls, count, 15);
  EXPECT_EQ(calls[3].args[1], 2003) << "the time reached the caller's variable";
  EXPECT_EQ(calls[5].args[0], 105);
  EXPECT_EQ(calls[5].args[3], 305);
  EXPECT_EQ(calls[6].args[0], 0x100000106LL);
  EXPECT_EQ(calls[6].args[1], 0x200000206LL);
  const long long socks[6] = {0x3008, 208, 0x3012, 308, 0x301C, 0x3026};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(calls[8].args[i], socks[i]) << "SetSocks5Proxy argument " << i;
  EXPECT_EQ(calls[11].args[2], 0x300B);
  EXPECT_EQ(calls[14].args[0], 114);
}

TEST(SdkHeader, TheManagerTableDrivesTheLibrarysOwnManager) {
  char failure[128] = "";
  EXPECT_TRUE(KitUseManager(&OwnStringMgr(), failure, sizeof failure)) << failure;
}

TEST(SdkHeader, ATextTheKitWritesIsReadByTheLibrary) {
  CSrcConfig config;
  config.SetPlugHost(1, "old-hop.example");
  ASSERT_TRUE(KitAssignPlugHost(&config, "hop.example"));
  EXPECT_EQ(Fields(config).m_strPlugHost[1], "hop.example");
  ASSERT_TRUE(KitAssignPlugHost(&config, ""));
  EXPECT_TRUE(Fields(config).m_strPlugHost[1].empty());
}

}  // namespace
