// Every way a command buffer can end in the dispatcher, read back from the process log.
#include <gtest/gtest.h>

#include <string>

#include "support/process_log_test.h"
#include "video/command_writer.h"
#include "video/video_host.h"

namespace {

// An owner with nothing to offer: the dispatcher's rows never reach it.
struct IdleOwner : IVideoHostOwner {
  LONG OwnerUCID() override { return 53; }
  LONG OwnerACID() override { return 0; }
  int StartTimer(LONG) override { return 1; }
  LONG PostStopNotice() override { return -1; }
  void ForEachLivePlayer(const std::function<void(CQelVorlaProxyHost*)>&) override {}
};

// A video host whose settings operations only write down what reached them, each argument in its place.
class RecordingVideoHost : public CQelVorlaProxyHost {
 public:
  using CQelVorlaProxyHost::CQelVorlaProxyHost;
  std::string call;

  HRESULT STDMETHODCALLTYPE SetURL(LONG proxyIndex, LONG connIndex, const char* url, LONG type) override {
    return Record("SetURL", {N(proxyIndex), N(connIndex), url, N(type)});
  }
  HRESULT STDMETHODCALLTYPE SetSocks5Proxy(const char* host1, LONG port1, const char* host2, LONG port2,
                                           const char* userName, const char* password) override {
    return Record("SetSocks5Proxy", {host1, N(port1), host2, N(port2), userName, password});
  }
  HRESULT STDMETHODCALLTYPE SetPLUGProxy(const char* host1, LONG port1, const char* host2, LONG port2,
                                         const char* customHeader) override {
    return Record("SetPLUGProxy", {host1, N(port1), host2, N(port2), customHeader});
  }
  HRESULT STDMETHODCALLTYPE SetSecureHeader(const char* header, LONG version, LONG keyType) override {
    return Record("SetSecureHeader", {header, N(version), N(keyType)});
  }
  HRESULT STDMETHODCALLTYPE SetProxyKey(LONG total, LONG index, const char* key) override {
    return Record("SetProxyKey", {N(total), N(index), key});
  }

 private:
  static std::string N(LONG value) { return std::to_string(value); }
  HRESULT Record(const char* name, std::initializer_list<std::string> arguments) {
    call = name;
    const char* separator = "(";
    for (const std::string& argument : arguments) {
      call += separator + argument;
      separator = ",";
    }
    call += ")";
    return 0;
  }
};

class DispatcherTest : public ProcessLogTest {
 protected:
  void SetUp() override {
    ProcessLogTest::SetUp();
    m_videoHost->Initialize(nullptr, nullptr);
  }
  void TearDown() override {
    m_videoHost->Release();
    ProcessLogTest::TearDown();
  }
  LONG Dispatch(const CommandBytes& bytes) {
    return m_videoHost->OnProcessQelVideoCmd(bytes.data(), static_cast<LONG>(bytes.size()));
  }
  // The dispatcher's own lines, without the operations' lines between them.
  Lines DispatcherLines() {
    Lines kept;
    for (const std::string& line : LoggedLines())
      if (line.rfind("VideoHost::OnProcessQelVideoCmd", 0) == 0) kept.push_back(line);
    return kept;
  }
  IdleOwner m_owner;
  CQelVorlaProxyHost* m_videoHost = new CQelVorlaProxyHost(m_owner);
};

}  // namespace

TEST_F(DispatcherTest, UnparsableHeaderIsOneLineAndResultOne) {
  const CommandBytes shortLong = {0x00, 0x00, 0x00};
  EXPECT_EQ(Dispatch(shortLong), 1);
  EXPECT_EQ(m_videoHost->OnProcessQelVideoCmd(nullptr, 0), 1);
  EXPECT_EQ(DispatcherLines(), (Lines{"VideoHost::OnProcessQelVideoCmd: Failed to parse command message",
                                      "VideoHost::OnProcessQelVideoCmd: Failed to parse command message"}));
}

TEST_F(DispatcherTest, UnhandledCommandsAreNamedThenSetAside) {
  EXPECT_EQ(Dispatch(Cmd::sourcePortRange()), 0);
  EXPECT_EQ(Dispatch(CommandWriter(HeaderForm::Long, 203).Done()), 0);
  EXPECT_EQ(Dispatch(CommandWriter(HeaderForm::Long, 250).Done()), 0);
  EXPECT_EQ(DispatcherLines(),
            (Lines{"VideoHost::OnProcessQelVideoCmd: Cmd=84 [SourcePortRange], Data size=0",
                   "VideoHost::OnProcessQelVideoCmd: Cmd=84, Unprocessed command",
                   "VideoHost::OnProcessQelVideoCmd: Cmd=203 [Backup MNS Setting], Data size=0",
                   "VideoHost::OnProcessQelVideoCmd: Cmd=203, Unrecognized command",
                   "VideoHost::OnProcessQelVideoCmd: Cmd=250 [], Data size=0",
                   "VideoHost::OnProcessQelVideoCmd: Cmd=250, Unrecognized command"}));
}

TEST_F(DispatcherTest, PayloadThatDoesNotParseCallsNothingAndStillSucceeds) {
  EXPECT_EQ(Dispatch(CommandWriter(HeaderForm::Long, 215, 2).SizeField(4).Be32(30).Done()), 0);
  EXPECT_EQ(Dispatch(CommandWriter(HeaderForm::Long, 241, 2).Be32(1).Done()), 0);
  EXPECT_EQ(m_videoHost->AlarmInterval(), 0);
  EXPECT_EQ(m_videoHost->PlugInType(), 0);
  const Lines lines = DispatcherLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "VideoHost::OnProcessQelVideoCmd: Cmd=215 [Player Alarm Interval], Processed successfully");
  EXPECT_EQ(lines[3].substr(lines[3].rfind(", ")), ", Processed successfully");
}

TEST_F(DispatcherTest, NegativeStatusClosesWithFailure) {
  // A load-file text that starts with a NUL reaches the URL setter as an empty URL.
  const CommandBytes emptyText = CommandWriter(HeaderForm::Long, 21).Be32(0).Be32(1).Bytes(std::string(1, '\0')).Done();
  EXPECT_EQ(Dispatch(emptyText), E_INVALIDARG);
  const Lines lines = DispatcherLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].substr(lines[1].rfind(", ")), ", Failed to process");
}

TEST_F(DispatcherTest, HandledCommandsReachTheirOperation) {
  EXPECT_EQ(Dispatch(Cmd::plugInType(2)), 0);
  EXPECT_EQ(Dispatch(Cmd::isolated(0)), 0);
  EXPECT_EQ(m_videoHost->PlugInType(), 2);
  EXPECT_EQ(m_videoHost->IsIsolated(), 0);
}

TEST_F(DispatcherTest, EachCommandFillsItsOperationsArgumentsInOrder) {
  const struct {
    CommandBytes bytes;
    const char* call;
  } rows[] = {
      {Cmd::loadFile("http://a/b"), "SetURL(0,0,http://a/b,1)"},
      {Cmd::plugProxy({"p1:80|p2:81", std::nullopt, "X-H"}), "SetPLUGProxy(p1,80,p2,81,X-H)"},
      {Cmd::socks({"s1:1080|s2:1081", std::nullopt, "user", "pw"}), "SetSocks5Proxy(s1,1080,s2,1081,user,pw)"},
      {Cmd::socks5Setting({"s1:1080|s2:1081", std::nullopt, "user", "pw"}), "SetSocks5Proxy(s1,1080,s2,1081,user,pw)"},
      {Cmd::secureHeader(2, 1, "hdr"), "SetSecureHeader(hdr,2,1)"},
      {Cmd::proxyKey(3, 1, "key"), "SetProxyKey(3,1,key)"},
      // An empty first address fails the parse; SOCKS5 is turned off rather than left as it was.
      {Cmd::socks({""}), "SetSocks5Proxy(,0,,0,,)"},
      {Cmd::socks5Setting({""}), "SetSocks5Proxy(,0,,0,,)"},
  };
  for (const auto& row : rows) {
    auto* video = new RecordingVideoHost(m_owner);
    EXPECT_EQ(video->OnProcessQelVideoCmd(row.bytes.data(), static_cast<LONG>(row.bytes.size())), 0);
    EXPECT_EQ(video->call, row.call);
    video->Release();
  }
}
