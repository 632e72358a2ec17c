// The kit's example plug-in (here as QelVideoProxy_WMP.dll) under the real library, with 40 controls in
// one process as a host with 40 cells has them. Each control loads the plug-in for itself, so
// ProxySetLogFile comes 40 times, each while the first control's proxy carries a stream and writes: the
// log helpers open once (the process keeps no handle per control) and every line arrives whole.
// Sockets before anything brings in windows.h.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/big_endian.h"
#include "player.h"
#include "support/log_reader.h"
#include "support/temp_dir.h"

namespace {

constexpr int kControls = 40;
constexpr int kStreamBytes = 64 * 1024;

// A stream source on 127.0.0.1: each connection in turn gets kStreamBytes and the end.
class Source {
 public:
  Source() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(m_listener, SOMAXCONN);
    getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] {
      const std::string bytes(kStreamBytes, 's');
      for (SOCKET player; (player = accept(m_listener, nullptr, nullptr)) != INVALID_SOCKET;) {
        send(player, bytes.data(), kStreamBytes, 0);
        closesocket(player);
      }
    });
  }
  ~Source() {
    closesocket(m_listener);
    m_thread.join();
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/stream.bin"; }

 private:
  SOCKET m_listener;
  int m_port = 0;
  std::thread m_thread;
};

// Reads a whole stream from a local proxy; the bytes read.
int Fetch(LONG port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(port));
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  int total = 0;
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    char buffer[8192];
    for (int got; (got = recv(s, buffer, sizeof buffer, 0)) > 0;) total += got;
  }
  closesocket(s);
  return total;
}

LONG ReportedPort(const FakeHost& host) {
  const std::vector<Bytes> sent = host.TalkbackMessages();
  return sent.empty() ? -1 : static_cast<LONG>(ReadBigEndian32(sent.back().data() + 4));
}

// The process's open handles. Wine answers GetProcessHandleCount with 0 but lists every handle of the
// machine's processes to the system query for handles (information class 16), as Windows does.
struct HandleEntry {
  ULONG processId;
  BYTE objectType;
  BYTE flags;
  USHORT value;
  void* object;
  ULONG access;
};
struct HandleList {
  ULONG count;
  HandleEntry entries[1];
};

int HandleCount() {
  using QueryFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  for (ULONG size = 1 << 20; size <= 1 << 26; size *= 2) {
    std::vector<unsigned char> buffer(size);
    ULONG used = 0;
    if (query(16, buffer.data(), size, &used) != 0) continue;  // too small: STATUS_INFO_LENGTH_MISMATCH
    const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
    int count = 0;
    for (ULONG i = 0; i < list->count; ++i) count += list->entries[i].processId == GetCurrentProcessId();
    return count;
  }
  return -1;
}

// The count once it has held still for 100 ms (a player's thread that just ended may still be letting go of
// its sockets, later still on a loaded machine), or after 2 s.
int SettledHandleCount() {
  int last = HandleCount();
  for (int i = 0, still = 0; i < 100 && still < 5; ++i) {
    Sleep(20);
    const int now = HandleCount();
    still = now == last ? still + 1 : 0;
    last = now;
  }
  return last;
}

size_t CountLines(const std::vector<std::string>& lines, const std::string& start) {
  size_t count = 0;
  for (const std::string& line : lines) count += line.rfind(start, 0) == 0;
  return count;
}

}  // namespace

TEST(KitExample, FortyControlsInOneProcessKeepTheLogWholeAndNoHandles) {
  WSADATA winsock;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &winsock), 0);
  TempDir dir;
  const std::string log = dir.File("many.log");
  {
    LoadedDll dll(log, 3);
    ASSERT_TRUE(dll.Loaded());
    Source source;
    Player first(dll, 1);
    first.Send(Cmd::url(0, 4, source.Url()));
    const LONG firstPort = ReportedPort(first.host);
    ASSERT_GT(firstPort, 0);

    int streamed = 0;
    std::vector<int> handles;
    for (int i = 1; i < kControls; ++i) {
      // The first proxy carries streams, one after another, while this control loads the plug-in.
      std::atomic<bool> streaming{true};
      std::thread player([&] {
        do streamed += Fetch(firstPort) == kStreamBytes;
        while (streaming);
      });
      {
        Player later(dll, 1);
        later.Send(Cmd::url(0, 4, source.Url()));
        EXPECT_EQ(Fetch(ReportedPort(later.host)), kStreamBytes) << "control " << i;
      }
      streaming = false;
      player.join();
      // One more player once the others have ended: the example closes the threads of finished players
      // at the next one, so each count sees the same one thread left.
      Sleep(50);
      EXPECT_EQ(Fetch(firstPort), kStreamBytes);
      handles.push_back(SettledHandleCount());
    }
    // No handle per control: one kept by each would add 38 from the first count to the last. In about one run of
    // seven an unnamed auto-reset event appears at some control (seen at the 14th, 25th and 38th) and stays: the
    // kind a std::mutex of the threads library makes the first time two threads meet on it and keeps while the
    // mutex lives. So the count may step up once or twice, never climb.
    EXPECT_LE(handles.back() - handles.front(), 2) << "handles after each later control: "
                                                   << ::testing::PrintToString(handles);
    const std::vector<std::string> lines = ReadLogLines(log);
    EXPECT_EQ(CountLines(lines, "<malformed>"), 0u);
    EXPECT_EQ(CountLines(lines, "Example proxy: sharing the log at level 3, kit version 2"),
              static_cast<size_t>(kControls));
    EXPECT_EQ(CountLines(lines, "Example proxy 1: a player to 127.0.0.1:"), static_cast<size_t>(streamed + kControls - 1));
    EXPECT_EQ(CountLines(lines, "Example proxy 40: listening on 127.0.0.1:"), 1u);
  }
  WSACleanup();
}
