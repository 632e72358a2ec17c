// The way back from a control to its host terminal: fixed 8-byte command messages handed to the host's
// TALK BACK interface, one at a time.
#pragma once

#include <array>

#include "base/com_ref.h"
#include "base/locks.h"
#include "base/stream_vocabulary.h"
#include "host_interfaces/host_interfaces.h"

// Command number (2), ACID (2), value (4), each big-endian.
using TalkbackMessage = std::array<BYTE, 8>;

class CTalkback : public CCSLock {
 public:
  CTalkback() = default;
  ~CTalkback() override;

  // Takes the interface, or with null drops the current one.
  void SetTalkbackInterface(ITalkBack* pInterface);
  // 1 when the host took the message, 0 otherwise.
  int Talkback(const TalkbackMessage& message);
  // Sends the low 16 bits of nCmd and nACID and all of nValue; 1 on success, 0 on failure.
  int SendCommand(LONG nCmd, LONG nACID, LONG nValue);

 private:
  CComRef<ITalkBack> m_pInterface;
};
