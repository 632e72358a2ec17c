// One try at the route to one source: the connection to the chain's first hop (or the source itself), then
// each proxy's handshake in turn, each step under its own deadline. It reports once, when the route is
// open or has failed; a cancelled attempt reports nothing. Lives on the I/O thread.
#pragma once

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <functional>
#include <memory>
#include <string>

#include "proxy_handshake.h"
#include "relay_route.h"

class RouteAttempt : public std::enable_shared_from_this<RouteAttempt> {
 public:
  // Told the attempt's end: an empty error when the route is open.
  using Finished = std::function<void(RouteAttempt&, const std::string& error)>;

  RouteAttempt(asio::io_context& context, const RelayRoute& route, size_t source, Finished finished);
  void Start();
  // Ends it without a report.
  void Cancel();

  size_t Source() const { return m_nSource; }
  // Once open: the socket that carries the source's bytes, and those of them that came with the last answer.
  asio::ip::tcp::socket& Socket() { return m_socket; }
  std::string TakeEarlyBytes() { return std::move(m_early); }
  // "directly", "through SOCKS5 proxy A:1" or "through PLUG proxies A:1 and B:2".
  std::string Way() const;

 private:
  using Endpoints = asio::ip::tcp::resolver::results_type;

  const RelayHop& FirstHop() const;
  std::string Refused() const;
  void ConnectTo(const Endpoints& endpoints);
  void StartHandshake(size_t hop);
  void Talk();
  void Heard(size_t size);
  void Expired();
  void End(const std::string& error);
  std::string HopName(size_t hop) const;
  // Runs a step of the attempt on the event loop: ignored once it has ended, and what it throws ends it.
  template <typename Step>
  auto Guarded(Step step);

  const RelayRoute m_route;
  const size_t m_nSource;
  const RelayChain m_chain;
  Finished m_finished;
  asio::ip::tcp::socket m_socket;
  asio::ip::tcp::resolver m_resolver;
  asio::steady_timer m_deadline;
  std::unique_ptr<ProxyHandshake> m_handshake;
  size_t m_nHop = 0;
  std::string m_sending;
  char m_answer[512];
  std::string m_early;
  bool m_bEnded = false;
};
