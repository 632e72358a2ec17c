#include "talkback/talkback.h"

#include "log/failure_lines.h"
#include "log/log.h"
#include "base/big_endian.h"

namespace {

TalkbackMessage BuildCommand(LONG nCmd, LONG nACID, LONG nValue) {
  TalkbackMessage message{};
  PutBigEndian16(&message[0], static_cast<uint32_t>(nCmd));
  PutBigEndian16(&message[2], static_cast<uint32_t>(nACID));
  PutBigEndian32(&message[4], static_cast<uint32_t>(nValue));
  return message;
}

}  // namespace

CTalkback::~CTalkback() { m_pInterface.Reset(); }

void CTalkback::SetTalkbackInterface(ITalkBack* pInterface) {
  const CAutoLock hold = Hold();
  m_pInterface = CComRef<ITalkBack>::Share(pInterface);
}

int CTalkback::Talkback(const TalkbackMessage& message) {
  const CAutoLock hold = Hold();
  ITalkBack* pInterface = m_pInterface.Get();
  if (pInterface == nullptr) {
    Log(1, kFailedTalkbackObject);
    return 0;
  }
  const LONG size = static_cast<LONG>(message.size());
  Log(3, "Talkback: Size=%d, Sending...", static_cast<int>(size));
  const HRESULT hr = pInterface->Send(message.data(), size);
  if (FAILED(hr)) {
    Log(1, kFailedTalkbackSend, static_cast<unsigned>(hr));
    return 0;
  }
  Log(3, "Talkback: Success");
  return 1;
}

int CTalkback::SendCommand(LONG nCmd, LONG nACID, LONG nValue) {
  const int sent = Talkback(BuildCommand(nCmd, nACID, nValue));
  const int command = static_cast<uint16_t>(nCmd);
  if (sent)
    Log(3, "SendCommand: Command=%d, Sent successfully", command);
  else
    Log(1, kFailedSendCommand, command);
  return sent;
}
