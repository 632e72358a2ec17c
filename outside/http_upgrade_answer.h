// The source's answer to a player's request to upgrade the connection (a WebSocket, say), read from the
// first bytes the source sends after it: the relay takes an upgrade only as a connection's first request,
// so those bytes are its answer. Interim answers (1xx but 101) are passed over; 101 Switching Protocols
// means both ways carry another protocol from then on; any other status, or bytes that are no HTTP answer,
// mean the connection stays as it was. Only the status is read: the bytes themselves pass on unchanged.
#pragma once

#include <cstddef>
#include <string>

class UpgradeAnswer {
 public:
  enum class Verdict { Undecided, Switched, Declined };

  Verdict Feed(const char* data, size_t size);

 private:
  // Takes the next status line or interim head from m_read; false when it needs more bytes.
  bool ReadNext();

  std::string m_read;  // the answer's bytes not yet decided on
  Verdict m_verdict = Verdict::Undecided;
};
