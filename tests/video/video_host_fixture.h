// A video host with a plain owner and the fake host behind its callback and talkback channels, its log
// lines read back from the process log.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "fake_proxy.h"
#include "support/process_log_test.h"
#include "video/video_host.h"

struct FakeOwner : IVideoHostOwner {
  LONG ucid = 53;
  LONG acid = 17;
  LONG postResult = 1;
  int posts = 0;
  std::vector<LONG> timerStarts;
  std::vector<CQelVorlaProxyHost*> players;
  LONG OwnerUCID() override { return ucid; }
  LONG OwnerACID() override { return acid; }
  int StartTimer(LONG seconds) override {
    timerStarts.push_back(seconds);
    return 1;
  }
  LONG PostStopNotice() override {
    ++posts;
    return postResult;
  }
  void ForEachLivePlayer(const std::function<void(CQelVorlaProxyHost*)>& visit) override {
    for (CQelVorlaProxyHost* player : players) visit(player);
  }
};

class VideoHostTest : public ProcessLogTest {
 protected:
  void SetUp() override {
    ProcessLogTest::SetUp();
    m_video->Initialize(m_host.Callback(), m_host.TalkBack());
  }
  void TearDown() override {
    // As the control's deletion does: a proxy lets go of its callback when its connections close.
    m_video->CloseProxyConnections();
    m_video->Release();
    ProcessLogTest::TearDown();
  }
  FakeProxy& AddProxy() {
    m_fakes.emplace_back(std::make_unique<FakeProxy>());
    // The fake's first reference is the one a factory would hand over.
    m_video->AdoptProxy(CComRef<IQelVideoProxy>::Adopt(m_fakes.back().get()));
    return *m_fakes.back();
  }
  CSrcConfig& Config() { return *m_video->HostConfig(); }
  // The lines that start with `prefix`, in order.
  Lines LinesStartingWith(const std::string& prefix) {
    Lines kept;
    for (const std::string& line : LoggedLines())
      if (line.rfind(prefix, 0) == 0) kept.push_back(line);
    return kept;
  }

  FakeOwner m_owner;
  CQelVorlaProxyHost* m_video = new CQelVorlaProxyHost(m_owner);
  std::vector<std::unique_ptr<FakeProxy>> m_fakes;
};
