// The client side of a SOCKS5 CONNECT (RFC 1928) with user name and password authentication (RFC 1929),
// over any byte stream, so the exchange can be checked byte by byte without a network.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/platform.h"

class ByteStream {
 public:
  virtual ~ByteStream() = default;
  virtual bool Send(const void* data, size_t size) = 0;
  // All `size` bytes, or false when the stream ends, fails or stays silent too long.
  virtual bool ReceiveExact(void* buffer, size_t size) = 0;
};

struct Socks5Request {
  std::string host;  // a dotted IPv4 address goes as an address, anything else as a domain name
  LONG port = 0;
  std::string userName;  // empty: only "no authentication" is offered
  std::string password;
};

// Asks the proxy at the other end of `proxy` to connect to the request's host and port. Empty on success,
// after which `proxy` carries the target's bytes; otherwise why it failed.
std::string Socks5Connect(ByteStream& proxy, const Socks5Request& request);
