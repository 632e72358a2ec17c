// A local proxy the test holds in its hand: records what the video host asks of it and answers as told.
#pragma once

#include <string>
#include <vector>

#include "config/src_config.h"
#include "plugins/outside_interfaces.h"

class FakeProxy final : public IQelVideoProxy {
 public:
  LONG refs = 1;
  std::vector<std::string> calls;
  LONG port = 8000;
  HRESULT setUrlResult = S_OK;
  LONG byteCount = 0;
  int64_t lastActivity = 0;
  CSrcConfig config;
  // What GetConfig hands back: its own configuration unless a test says otherwise.
  CSrcConfig* handedBack = &config;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
  HRESULT STDMETHODCALLTYPE Create(CSrcConfig*) override { return Record("Create", S_OK); }
  HRESULT STDMETHODCALLTYPE Reserved4(LONG) override { return Record("Reserved4", S_OK); }
  HRESULT STDMETHODCALLTYPE SetCallback(IQelVideoCBBCallback*) override { return Record("SetCallback", S_OK); }
  HRESULT STDMETHODCALLTYPE Reserved6(LONG) override { return Record("Reserved6", S_OK); }
  LONG STDMETHODCALLTYPE GetPort() override { return Record("GetPort", port); }
  CSrcConfig* STDMETHODCALLTYPE GetConfig() override { return handedBack; }
  HRESULT STDMETHODCALLTYPE Reserved9(LONG) override { return Record("Reserved9", S_OK); }
  HRESULT STDMETHODCALLTYPE Reserved10(LONG) override { return Record("Reserved10", S_OK); }
  HRESULT STDMETHODCALLTYPE Reserved11(LONG) override { return Record("Reserved11", S_OK); }
  HRESULT STDMETHODCALLTYPE Reserved12(LONG) override { return Record("Reserved12", S_OK); }
  HRESULT STDMETHODCALLTYPE SetConnectionURL(LONG connIndex, const char* url, LONG type) override {
    return Record("SetConnectionURL(" + std::to_string(connIndex) + "," + url + "," + std::to_string(type) + ")",
                  setUrlResult);
  }
  LONG STDMETHODCALLTYPE GetByteCount() override { return byteCount; }
  HRESULT STDMETHODCALLTYPE Reserved15(LONG) override { return Record("Reserved15", S_OK); }
  HRESULT STDMETHODCALLTYPE CloseConnections(LONG include) override {
    return Record("CloseConnections(" + std::to_string(include) + ")", S_OK);
  }
  HRESULT STDMETHODCALLTYPE PrepareClose(LONG value) override {
    return Record("PrepareClose(" + std::to_string(value) + ")", S_OK);
  }
  int64_t STDMETHODCALLTYPE GetLastActivityTime() override { return lastActivity; }

 private:
  template <typename Result>
  Result Record(const std::string& call, Result result) {
    calls.push_back(call);
    return result;
  }
};
