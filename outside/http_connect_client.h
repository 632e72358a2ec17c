// The client side of an HTTP CONNECT tunnel (RFC 9110, 9.3.6), the way the relay reads a PLUG proxy: a
// handshake fed the proxy's bytes, so the exchange can be checked without a network.
#pragma once

#include <string>

#include "base/platform.h"
#include "proxy_handshake.h"

// Asks the proxy for a tunnel to `host`:`port`, with `extraHeader` (up to its first line break) as one more
// header line when it is not empty. Its first output is the request; it is done at the end of the answer's
// head when the status is 2xx, and fails with the proxy's status line otherwise.
class HttpConnectHandshake final : public ProxyHandshake {
 public:
  HttpConnectHandshake(const std::string& host, LONG port, const std::string& extraHeader);

  size_t Feed(const char* data, size_t size) override;
  std::string Unanswered() const override;

 private:
  void HeadRead();

  std::string m_head;  // the answer's head so far
};
