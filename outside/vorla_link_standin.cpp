// Stand-in for the media-link library "QelVorlaLink.dll": carries the stop notice between windows of
// any process. The subscriber table lives in named shared memory under a named mutex, so every process
// that loads the library sees the same table; window handles are the same values in every process.
#include <cstdint>
#include <type_traits>

#include "plugins/outside_interfaces.h"
#include "standin_export.h"

namespace {

constexpr const char* kTableName = "Local\\QelVorlaLinkSubscribers";
constexpr const char* kMutexName = "Local\\QelVorlaLinkSubscribersLock";
constexpr DWORD kLockTimeoutMs = 5000;
constexpr int kMaxSubscribers = 256;

struct Subscriber {
  LONG subscription;
  uint32_t window;  // 32-bit on every target, so 32- and 64-bit processes share one layout
};

struct SubscriberTable {
  LONG count;
  Subscriber entries[kMaxSubscribers];
};

HWND WindowOf(const Subscriber& entry) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(entry.window)); }

uint32_t ValueOf(HWND window) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)); }

// The mapping and the mutex, opened once and kept for as long as this process has the library loaded:
// the named table lives while any process holds it.
class SharedTable {
 public:
  SharedTable() {
    m_hMutex = CreateMutexA(nullptr, FALSE, kMutexName);
    // A new mapping is zero-filled: an empty table.
    m_hMapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SubscriberTable),
                                    kTableName);
    if (m_hMapping != nullptr)
      m_pView = static_cast<SubscriberTable*>(MapViewOfFile(m_hMapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  }
  ~SharedTable() {
    if (m_pView != nullptr) UnmapViewOfFile(m_pView);
    if (m_hMapping != nullptr) CloseHandle(m_hMapping);
    if (m_hMutex != nullptr) CloseHandle(m_hMutex);
  }
  SharedTable(const SharedTable&) = delete;
  SharedTable& operator=(const SharedTable&) = delete;

  HANDLE m_hMutex = nullptr;
  HANDLE m_hMapping = nullptr;
  SubscriberTable* m_pView = nullptr;
};

SharedTable& TheSharedTable() {
  static SharedTable table;
  return table;
}

// The table held under the cross-process mutex for one operation, closed windows already pruned.
class LockedTable {
 public:
  LockedTable() : m_shared(TheSharedTable()) {
    if (m_shared.m_hMutex == nullptr || m_shared.m_pView == nullptr) return;
    const DWORD wait = WaitForSingleObject(m_shared.m_hMutex, kLockTimeoutMs);
    // A process that died holding the lock left the table as it was between operations: still usable.
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) return;
    m_pTable = m_shared.m_pView;
    // Another process could have left anything in shared memory; never index past the table.
    if (m_pTable->count < 0 || m_pTable->count > kMaxSubscribers) m_pTable->count = 0;
    PruneClosedWindows();
  }
  ~LockedTable() {
    if (m_pTable != nullptr) ReleaseMutex(m_shared.m_hMutex);
  }
  LockedTable(const LockedTable&) = delete;
  LockedTable& operator=(const LockedTable&) = delete;

  SubscriberTable* operator->() { return m_pTable; }
  explicit operator bool() const { return m_pTable != nullptr; }

  int Find(LONG subscription, HWND window) const {
    for (int i = 0; i < m_pTable->count; ++i)
      if (m_pTable->entries[i].subscription == subscription && WindowOf(m_pTable->entries[i]) == window) return i;
    return -1;
  }
  void Remove(int index) { m_pTable->entries[index] = m_pTable->entries[--m_pTable->count]; }

 private:
  // A window that was destroyed without unsubscribing, in a process that may have ended.
  void PruneClosedWindows() {
    for (int i = m_pTable->count - 1; i >= 0; --i)
      if (!IsWindow(WindowOf(m_pTable->entries[i]))) Remove(i);
  }

  SharedTable& m_shared;
  SubscriberTable* m_pTable = nullptr;
};

}  // namespace

STANDIN_EXPORT BYTE QEL_CDECL VO_SubscribeMsg(LONG subscription, HWND hWnd) {
  if (!IsWindow(hWnd)) return 0;
  LockedTable table;
  if (!table) return 0;
  if (table.Find(subscription, hWnd) >= 0) return 1;
  if (table->count >= kMaxSubscribers) return 0;
  table->entries[table->count++] = Subscriber{subscription, ValueOf(hWnd)};
  return 1;
}

STANDIN_EXPORT BYTE QEL_CDECL VO_UnsubscribeMsg(LONG subscription, HWND hWnd) {
  LockedTable table;
  if (!table) return 0;
  const int index = table.Find(subscription, hWnd);
  if (index < 0) return 0;
  table.Remove(index);
  return 1;
}

// Every other window under the same value gets the notice; the poster's own window does not.
STANDIN_EXPORT BYTE QEL_CDECL VO_PostMsg(LONG subscription, HWND hWnd, LONG value) {
  LockedTable table;
  if (!table) return 0;
  bool posted = true;
  for (int i = 0; i < table->count; ++i) {
    const Subscriber& entry = table->entries[i];
    if (entry.subscription != subscription || WindowOf(entry) == hWnd) continue;
    posted = PostMessageA(WindowOf(entry), kVorlaLinkMessage, reinterpret_cast<WPARAM>(hWnd),
                          static_cast<LPARAM>(value)) != 0 && posted;
  }
  return posted ? 1 : 0;
}

static_assert(std::is_same_v<decltype(&VO_SubscribeMsg), VOSubscribeMsgFn>);
static_assert(std::is_same_v<decltype(&VO_UnsubscribeMsg), VOUnsubscribeMsgFn>);
static_assert(std::is_same_v<decltype(&VO_PostMsg), VOPostMsgFn>);
