#include "relay_upstream.h"

#include <vector>

#include "http_connect_client.h"
#include "log/failure_lines.h"
#include "socks5_client.h"
#include "stream_address.h"

namespace {

// A proxy's handshake runs over the relay's socket to it.
class SocketStream final : public ByteStream {
 public:
  explicit SocketStream(Socket& socket) : m_socket(socket) {}
  bool Send(const void* data, size_t size) override { return m_socket.SendAll(data, size); }
  bool ReceiveExact(void* buffer, size_t size) override {
    return m_socket.ReceiveExact(buffer, size, UpstreamOpener::kHandshakeTimeoutMilliseconds);
  }

 private:
  Socket& m_socket;
};

const char* ProxyKind(RelayChainKind kind) { return kind == RelayChainKind::Socks5 ? "SOCKS5" : "PLUG"; }

std::string Text(const RelayHop& hop) { return HostPortText(hop.host, hop.port); }

// "directly", "through SOCKS5 proxy A:1" or "through PLUG proxies A:1 and B:2".
std::string Way(const RelayChain& chain) {
  if (chain.kind == RelayChainKind::None) return "directly";
  const std::vector<RelayHop>& hops = *chain.hops;
  std::string way = std::string("through ") + ProxyKind(chain.kind) + (hops.size() > 1 ? " proxies " : " proxy ");
  for (size_t i = 0; i < hops.size(); ++i) way += (i > 0 ? " and " : "") + Text(hops[i]);
  return way;
}

// Connects to the chain's first hop (or the source) and has each hop open the way to the next; empty on
// success, otherwise which hop failed and why.
std::string Reach(const RelayRoute& route, const RelaySource& source, const RelayChain& chain,
                  const Socket::KeepWaiting& keepWaiting, Socket& socket) {
  const std::vector<RelayHop> none;
  const std::vector<RelayHop>& hops = chain.hops != nullptr ? *chain.hops : none;
  const RelayHop& first = hops.empty() ? source.address : hops[0];
  const auto hopName = [&](size_t i) {
    return "hop " + std::to_string(i + 1) + ", " + ProxyKind(chain.kind) + " proxy " + Text(hops[i]);
  };
  std::string error;
  socket = Socket::Connect(first.host, first.port, UpstreamOpener::kConnectTimeoutMilliseconds, keepWaiting, &error);
  if (!socket.Valid()) return hops.empty() ? error : hopName(0) + ": " + error;
  for (size_t i = 0; i < hops.size(); ++i) {
    const RelayHop& next = i + 1 < hops.size() ? hops[i + 1] : source.address;
    SocketStream stream(socket);
    error = chain.kind == RelayChainKind::Socks5
                ? Socks5Connect(stream, Socks5Request{next.host, next.port, route.userName, route.password})
                : HttpConnect(stream, next.host, next.port, route.plugHeader);
    if (!error.empty()) {
      socket.Close();
      return hopName(i) + " failed: " + error;
    }
  }
  return "";
}

}  // namespace

UpstreamOpener::Reached UpstreamOpener::Open(const RelayRoute& route, const Socket::KeepWaiting& keepWaiting,
                                             const Report& report) {
  const size_t count = route.sources.size();
  std::vector<size_t> order, passedOver;
  const Clock::time_point now = Clock::now();
  for (size_t step = 0; step < count; ++step) {
    const size_t index = (route.current + step) % count;
    (RecentlyFailed(Text(route.sources[index].address), now) ? passedOver : order).push_back(index);
  }
  if (order.empty()) order = passedOver;  // every one failed a moment ago: try them all again

  Reached reached;
  for (const size_t index : order) {
    const RelaySource& source = route.sources[index];
    const RelayChain chain = route.ChainFor(source);
    const std::string address = Text(source.address);
    const std::string connection = "(connection " + std::to_string(index) + ")";
    const std::string error = Reach(route, source, chain, keepWaiting, reached.socket);
    if (!error.empty() && !keepWaiting()) break;  // closed meanwhile: the source is not to blame
    Remember(address, !error.empty());
    if (error.empty()) {
      reached.source = index;
      report("to " + address + " " + Way(chain) + " " + connection);
      return reached;
    }
    report(kRelayFailureMark + ("cannot reach stream source " + address + " " + connection + ": " + error));
  }
  return reached;
}

bool UpstreamOpener::RecentlyFailed(const std::string& key, Clock::time_point now) {
  std::lock_guard<std::mutex> hold(m_lock);
  const auto found = m_failedAt.find(key);
  return found != m_failedAt.end() && now - found->second < kFailTimeout;
}

void UpstreamOpener::Remember(const std::string& key, bool failed) {
  std::lock_guard<std::mutex> hold(m_lock);
  if (failed)
    m_failedAt[key] = Clock::now();
  else
    m_failedAt.erase(key);
}
