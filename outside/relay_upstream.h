// How a player's connection reaches a stream source: the route's sources in turn from the current one, each
// through its proxy chain, raced as Happy Eyeballs races addresses (RFC 8305): when the route to one has not
// opened within the racing delay, the next is tried beside it, and the first route that opens carries the
// player. A source that failed is passed over for the fail memory's time, unless every source has failed.
// What one player learns, the others arriving with it use: a source that has failed, or that another player
// has been trying for longer than the racing delay, is not waited for again. Lives on the I/O thread.
#pragma once

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "relay_route.h"
#include "relay_route_attempt.h"

// What one proxy's players know of its sources, by the source's HOST:PORT.
class SourceMemory {
 public:
  using Clock = std::chrono::steady_clock;

  bool RecentlyFailed(const std::string& source, Clock::time_point now) const;
  // An attempt on `source` started at `started`; each one ends with Answered or Abandoned.
  void Tried(const std::string& source, Clock::time_point started);
  void Answered(const std::string& source, Clock::time_point started, bool failed);
  void Abandoned(const std::string& source, Clock::time_point started);
  // When the oldest attempt on `source` still running started.
  Clock::time_point OldestAttempt(const std::string& source) const;

 private:
  struct Known {
    std::optional<Clock::time_point> failedAt;
    std::multiset<Clock::time_point> running;
  };
  std::map<std::string, Known> m_known;
};

class UpstreamRace : public std::enable_shared_from_this<UpstreamRace> {
 public:
  // Told each failure, each cancelled loser and the success, as the end of a log line.
  using Report = std::function<void(const std::string&)>;
  // Told the end: the open route's attempt, or null when no source could be reached.
  using Done = std::function<void(RouteAttempt* winner)>;

  UpstreamRace(asio::io_context& context, RelayRoute route, SourceMemory& memory, Report report, Done done);
  // Races the sources from the current one; with `only`, opens that one source alone, whatever it did lately.
  void Start(std::optional<size_t> only = std::nullopt);
  // Ends every attempt without a report: the player has gone or the relay closes.
  void Cancel();

 private:
  struct Running {
    std::shared_ptr<RouteAttempt> attempt;
    SourceMemory::Clock::time_point started;
  };

  void StartNext();
  void Finished(RouteAttempt& attempt, const std::string& error);
  std::string Key(size_t source) const;
  std::string Label(size_t source) const;

  asio::io_context& m_context;
  const RelayRoute m_route;
  SourceMemory& m_memory;
  Report m_report;
  Done m_done;
  asio::steady_timer m_racing;
  std::vector<size_t> m_order;  // the sources this player tries, in turn
  size_t m_nNext = 0;           // the next of m_order to start
  std::vector<Running> m_running;
};
