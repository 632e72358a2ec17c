// The one-line player status that each heartbeat reports to the host.
#pragma once

#include <string>

#include "base/clock.h"
#include "base/platform.h"
#include "base/stream_vocabulary.h"

// The values that change from beat to beat; the others are fixed in the text.
struct PlayerStatus {
  LONG nACID;
  LONG nSessionID1;  // 0 prints as nothing
  LONG nSessionID2;  // 0 prints as nothing
  std::string dateTime;
  LONG nState;
  LONG nCounterBits;  // the proxies' 32-bit counters summed and multiplied by 8
  LONG nConnectionKind;
};

// "MM/DD/YYYY HH:MM:SS" of the reading's local time.
std::string FormatStatusDateTime(const ClockReading& reading);

// The twelve ";"-separated fields the host terminal reads.
std::string FormatPlayerStatusText(const PlayerStatus& status);
