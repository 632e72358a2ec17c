// The heartbeat's status text as the host terminal reads it: twelve fields separated by ";", of which the
// host uses the ACID, the session identifiers, the time, the player state, the bit count and the kind.
#pragma once

#include <cstdint>
#include <string>

struct TracedPlayerStatus {
  std::string acid;
  std::string session1;  // empty for 0
  std::string session2;
  std::string time;
  int state = 0;      // 1 playing, 4 closing, 6 idle
  uint32_t bits = 0;  // bits carried, 32-bit arithmetic
  int kind = 0;       // 7 for an MPROXY connection, 5 otherwise
};

// False when the text does not have the twelve fields or a number field is no number.
bool ParsePlayerStatus(const std::string& text, TracedPlayerStatus& status);

// "playing", "closing", "idle"; empty for a state the player does not report.
std::string PlayerStateName(int state);
