#include "relay_route_attempt.h"

#include <asio/connect.hpp>
#include <asio/post.hpp>
#include <asio/write.hpp>
#include <vector>

#include "http_connect_client.h"
#include "relay_close.h"
#include "relay_fault_point.h"
#include "relay_guard.h"
#include "relay_limits.h"
#include "socket_error_text.h"
#include "socks5_client.h"
#include "stream_address.h"

namespace {

const char* ProxyKind(RelayChainKind kind) { return kind == RelayChainKind::Socks5 ? "SOCKS5" : "PLUG"; }

std::string Text(const RelayHop& hop) { return HostPortText(hop.host, hop.port); }

const std::vector<RelayHop>& Hops(const RelayChain& chain) {
  static const std::vector<RelayHop> none;
  return chain.hops != nullptr ? *chain.hops : none;
}

std::string Milliseconds(std::chrono::steady_clock::duration time) {
  return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(time).count()) + " ms";
}

}  // namespace

RouteAttempt::RouteAttempt(asio::io_context& context, const RelayRoute& route, size_t source, Finished finished)
    : m_route(route),
      m_nSource(source),
      m_chain(m_route.ChainFor(m_route.sources[source])),
      m_finished(std::move(finished)),
      m_socket(context),
      m_resolver(context),
      m_deadline(context) {}

template <typename Step>
auto RouteAttempt::Guarded(Step step) {
  return GuardedStep(
      shared_from_this(), step, [](const RouteAttempt& self) { return self.m_bEnded; },
      [](RouteAttempt& self, const std::string& error) { self.End("route failed: " + error); });
}

const RelayHop& RouteAttempt::FirstHop() const {
  const std::vector<RelayHop>& hops = Hops(m_chain);
  return hops.empty() ? m_route.sources[m_nSource].address : hops[0];
}

std::string RouteAttempt::Way() const {
  if (m_chain.kind == RelayChainKind::None) return "directly";
  const std::vector<RelayHop>& hops = Hops(m_chain);
  std::string way = std::string("through ") + ProxyKind(m_chain.kind) + (hops.size() > 1 ? " proxies " : " proxy ");
  for (size_t i = 0; i < hops.size(); ++i) way += (i > 0 ? " and " : "") + Text(hops[i]);
  return way;
}

std::string RouteAttempt::HopName(size_t hop) const {
  return "hop " + std::to_string(hop + 1) + ", " + ProxyKind(m_chain.kind) + " proxy " + Text(Hops(m_chain)[hop]);
}

// The first host of the route the configuration refused, in the order the route passes them; empty when
// there is none.
std::string RouteAttempt::Refused() const {
  const std::vector<RelayHop>& hops = Hops(m_chain);
  for (size_t hop = 0; hop < hops.size(); ++hop)
    if (!hops[hop].refusal.empty()) return HopName(hop) + ": " + hops[hop].refusal;
  return m_route.sources[m_nSource].address.refusal;
}

void RouteAttempt::Start() {
  RelayFaultPoint(RelayFault::Route);
  // Reported from the event loop, as every other end is, never from inside the caller's Start.
  if (const std::string refused = Refused(); !refused.empty())
    return asio::post(m_socket.get_executor(), Guarded([refused](RouteAttempt& self) { self.End(refused); }));
  const RelayHop& first = FirstHop();
  m_deadline.expires_after(relay_limits::kConnectDeadline);
  m_deadline.async_wait(Guarded([](RouteAttempt& self, std::error_code error) {
    if (!error) self.Expired();
  }));
  std::error_code notAddress;
  const asio::ip::address address = asio::ip::make_address(first.host, notAddress);
  if (!notAddress) {
    const asio::ip::tcp::endpoint endpoint(address, static_cast<unsigned short>(first.port));
    return ConnectTo(Endpoints::create(endpoint, first.host, std::to_string(first.port)));
  }
  // A name is looked up on Asio's resolver thread, so a slow name server holds up no other connection.
  m_resolver.async_resolve(first.host, std::to_string(first.port),
                           Guarded([](RouteAttempt& self, std::error_code error, Endpoints found) {
                             if (error) return self.End("cannot resolve " + self.FirstHop().host);
                             self.ConnectTo(found);
                           }));
}

void RouteAttempt::ConnectTo(const Endpoints& endpoints) {
  asio::async_connect(m_socket, endpoints, Guarded([](RouteAttempt& self, std::error_code error, auto) {
                        const std::string prefix = Hops(self.m_chain).empty() ? "" : self.HopName(0) + ": ";
                        if (error) return self.End(prefix + SocketErrorText(error.value()));
                        self.StartHandshake(0);
                      }));
}

// Each hop opens the way to the next one, the last to the source; the deadline covers the whole handshake.
void RouteAttempt::StartHandshake(size_t hop) {
  const std::vector<RelayHop>& hops = Hops(m_chain);
  if (hop == hops.size()) return End("");
  m_nHop = hop;
  const RelayHop& next = hop + 1 < hops.size() ? hops[hop + 1] : m_route.sources[m_nSource].address;
  if (m_chain.kind == RelayChainKind::Socks5)
    m_handshake = std::make_unique<Socks5Handshake>(Socks5Request{next.host, next.port, m_route.userName, m_route.password});
  else
    m_handshake = std::make_unique<HttpConnectHandshake>(next.host, next.port, m_route.plugHeader);
  m_deadline.expires_after(relay_limits::kHandshakeDeadline);
  m_deadline.async_wait(Guarded([](RouteAttempt& self, std::error_code error) {
    if (!error) self.Expired();
  }));
  // What came after the previous hop's answer is this hop's.
  const std::string early = std::move(m_early);
  m_early.clear();
  if (!early.empty()) {
    const size_t used = m_handshake->Feed(early.data(), early.size());
    m_early = early.substr(used);
  }
  Talk();
}

// Sends what the handshake has to say, then reads the proxy's answer, until the handshake is over.
void RouteAttempt::Talk() {
  switch (m_handshake->GetState()) {
    case ProxyHandshake::State::Failed: return End(HopName(m_nHop) + " failed: " + m_handshake->Error());
    case ProxyHandshake::State::Done: return StartHandshake(m_nHop + 1);
    case ProxyHandshake::State::Talking: break;
  }
  m_sending = m_handshake->TakeOutput();
  if (!m_sending.empty()) {
    asio::async_write(m_socket, asio::buffer(m_sending), Guarded([](RouteAttempt& self, std::error_code error, size_t) {
                        if (error) return self.End(self.HopName(self.m_nHop) + " failed: " + SocketErrorText(error.value()));
                        self.Talk();
                      }));
    return;
  }
  m_socket.async_read_some(asio::buffer(m_answer), Guarded([](RouteAttempt& self, std::error_code error, size_t size) {
                             if (error) self.m_handshake->Ended();
                             self.Heard(error ? 0 : size);
                           }));
}

void RouteAttempt::Heard(size_t size) {
  const size_t used = m_handshake->Feed(m_answer, size);
  m_early.assign(m_answer + used, size - used);
  Talk();
}

void RouteAttempt::Expired() {
  if (m_handshake == nullptr)
    return End((Hops(m_chain).empty() ? "" : HopName(0) + ": ") + "connect timed out after " +
               Milliseconds(relay_limits::kConnectDeadline));
  End(HopName(m_nHop) + " failed: handshake timed out after " + Milliseconds(relay_limits::kHandshakeDeadline) +
      " (" + m_handshake->Unanswered() + ")");
}

void RouteAttempt::Cancel() {
  m_finished = nullptr;
  End("cancelled");
}

void RouteAttempt::End(const std::string& error) {
  if (m_bEnded) return;
  m_bEnded = true;
  m_deadline.cancel();
  m_resolver.cancel();
  if (!error.empty()) CancelAndClose(m_socket);
  if (Finished finished = std::move(m_finished)) finished(*this, error);
}
