// The client side of a SOCKS5 CONNECT (RFC 1928) with user name and password authentication (RFC 1929), as
// a handshake fed the proxy's bytes, so the exchange can be checked byte by byte without a network.
#pragma once

#include <cstddef>
#include <string>

#include "base/platform.h"
#include "proxy_handshake.h"

struct Socks5Request {
  std::string host;  // a dotted IPv4 address goes as an address, anything else as a domain name
  LONG port = 0;
  std::string userName;  // empty: only "no authentication" is offered
  std::string password;
};

// Asks the proxy to connect to the request's host and port. Its first output is the greeting; a request
// the protocol cannot carry fails at once, with nothing to send.
class Socks5Handshake final : public ProxyHandshake {
 public:
  explicit Socks5Handshake(Socks5Request request);

  size_t Feed(const char* data, size_t size) override;
  std::string Unanswered() const override;

 private:
  enum class Step { Choice, Login, ReplyHead, DomainLength, ReplyRest };

  // Takes bytes until the current step has all it needs; true when it has.
  bool Gather(const char*& data, size_t& size, size_t& used);
  void Take();
  void Chosen();
  void LoggedIn();
  void SendConnect();
  void ReplyHeadRead();

  const Socks5Request m_request;
  Step m_step = Step::Choice;
  size_t m_nNeed = 2;
  std::string m_read;  // the current step's bytes so far
};
