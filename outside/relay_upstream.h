// How a player's connection reaches a stream source: the route's sources in turn from the current one,
// each through its proxy chain, moving on to the next when one cannot be reached. A source that could not
// be reached is passed over by the following players for kFailTimeout, unless every source has failed.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "relay_route.h"
#include "relay_socket.h"

class UpstreamOpener {
 public:
  // A silent address or proxy holds a player no longer than this per source.
  static constexpr int kConnectTimeoutMilliseconds = 5000;
  static constexpr int kHandshakeTimeoutMilliseconds = 5000;
  static constexpr std::chrono::seconds kFailTimeout{30};

  // Told each failure and the success, as the end of a log line.
  using Report = std::function<void(const std::string&)>;
  struct Reached {
    Socket socket;  // invalid when no source could be reached
    size_t source = 0;
  };

  Reached Open(const RelayRoute& route, const Socket::KeepWaiting& keepWaiting, const Report& report);

 private:
  using Clock = std::chrono::steady_clock;
  bool RecentlyFailed(const std::string& key, Clock::time_point now);
  void Remember(const std::string& key, bool failed);

  std::mutex m_lock;
  std::map<std::string, Clock::time_point> m_failedAt;  // by the source's HOST:PORT
};
