// The heartbeat: on each timer tick, and when a session or the control ends, the player's status line
// goes to the host terminal as an INMS alarm. Also the epoch time a proxy may ask for on its own thread.
#include <cstring>

#include "base/clock.h"
#include "host_interfaces/host_interfaces.h"
#include "log/failure_lines.h"
#include "log/log.h"
#include "talkback/inms_alarm_message.h"
#include "talkback/player_status_text.h"
#include "video/video_host.h"

namespace {

constexpr LONG kIdleSeconds = 30;

}  // namespace

int CQelVorlaProxyHost::SendHeartbeat(LONG bClosing) {
  if (m_nAlarmInterval == 0) return 0;
  const std::string text = FormatPlayerStatus(bClosing);
  if (text.empty()) return 0;
  const LONG ucid = m_owner.OwnerUCID();
  Log(3, "VideoHost::SendHeartbeat: UCID=%d, Size=%d: %s", static_cast<int>(static_cast<uint16_t>(ucid)),
      static_cast<int>(text.size()), text.c_str());
  CInmsAlarmMessage message(ucid, text);
  LONG rCode = 0;
  const int sent = m_callback.SendOpCode(CCB_SendINMSAlarm, "CCB_SendINMSAlarm", message.Data(), message.Size(), &rCode);
  if (sent)
    Log(3, "VideoHost::SendHeartbeat: RCode=%ld, %s", static_cast<long>(rCode), "Done");
  else
    Log(1, kFailedHeartbeat, static_cast<long>(rCode));
  return sent ? 1 : 0;
}

std::string CQelVorlaProxyHost::FormatPlayerStatus(LONG bClosing) {
  if (m_status.m_bBound == 0) return {};
  if (m_status.m_pConfig == nullptr && !m_proxies.empty() && m_proxies.front())
    m_status.m_pConfig = m_proxies.front()->GetConfig();
  CSrcConfig* config = m_status.m_pConfig;
  if (config == nullptr) return {};

  const ClockReading now = ReadClock();
  LONG state = kPlayerStateClosing;
  if (bClosing == 0) {
    bool anyProxy = false;
    int64_t lastActivity = 0;
    for (const CComRef<IQelVideoProxy>& proxy : m_proxies) {
      if (!proxy) continue;
      const int64_t time = proxy->GetLastActivityTime();
      lastActivity = anyProxy && lastActivity > time ? lastActivity : time;
      anyProxy = true;
    }
    // Idle seconds in the 32-bit arithmetic of the host terminal's own clock values.
    LONG idle = -1;
    if (anyProxy)
      idle = lastActivity == 0 ? 0
                               : static_cast<LONG>(static_cast<uint32_t>(now.epochMs / 1000) -
                                                   static_cast<uint32_t>(lastActivity));
    state = idle >= kIdleSeconds ? kPlayerStateIdle : kPlayerStateActive;
  }

  const SrcStatusReading reading = config->ReadStatus();
  const bool mproxy = config->IsMProxy(reading.currentConnection == -1 ? 0 : reading.currentConnection);

  uint32_t counter = 0;
  for (const CComRef<IQelVideoProxy>& proxy : m_proxies)
    if (proxy) counter += static_cast<uint32_t>(proxy->GetByteCount()) * 8u;

  PlayerStatus status{};
  status.nACID = m_owner.OwnerACID();
  status.nSessionID1 = reading.sessionID1;
  status.nSessionID2 = reading.sessionID2;
  status.dateTime = FormatStatusDateTime(now);
  status.nState = state;
  status.nCounterBits = static_cast<LONG>(counter);
  status.nConnectionKind = mproxy ? kConnectionKindMProxy : kConnectionKindOther;
  return FormatPlayerStatusText(status);
}

HRESULT CQelVorlaProxyHost::GetEpochTime(DWORD* pTime) {
  if (pTime == nullptr) return E_INVALIDARG;
  *pTime = 0;
  uint32_t time = 0;
  LONG rCode = 0;
  if (m_callback.SendOpCode(CCB_GetEpochTime, "CCB_GetEpochTime", &time, sizeof time, &rCode) && rCode == 0) {
    Log(2, "VideoHost::GetEpochTime: Time=%08X", static_cast<unsigned int>(time));
    *pTime = time;
    return 0;
  }
  Log(2, "VideoHost::GetEpochTime: Time=0");
  return 1;
}
