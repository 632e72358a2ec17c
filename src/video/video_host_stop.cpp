// One non-isolated player starting stops the others: those of this process through the registry of
// live controls, those of other processes through the media link's stop notice.
#include "log/failure_lines.h"
#include "log/log.h"
#include "video/video_host.h"

void CQelVorlaProxyHost::StopEveryone() {
  if (m_owner.PostStopNotice() == 1)
    Log(2, "VideoHost::StopEveryone: Post VOLink message successfully");
  else
    Log(1, kFailedStopPost);
  m_owner.ForEachLivePlayer([this](CQelVorlaProxyHost* other) {
    if (other == nullptr || other == this || other->m_bIsolated != 0) return;
    Log(2, "VideoHost::StopEveryone: Suspend 0x%08X", Hex32(other));
    other->Suspend();
  });
}

void CQelVorlaProxyHost::Suspend() {
  const LONG acid = m_owner.OwnerACID();
  if (m_talkback.SendCommand(kTalkbackProxyStatus, acid, 1))
    Log(1, "VideoHost::Suspend: Sent proxy status (%d) successfully", 1);
  else
    Log(1, kFailedStatusReport, 1);
  CloseProxyConnections();
}
