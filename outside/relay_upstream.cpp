#include "relay_upstream.h"

#include <algorithm>

#include "log/failure_lines.h"
#include "relay_guard.h"
#include "relay_limits.h"
#include "stream_address.h"

bool SourceMemory::RecentlyFailed(const std::string& source, Clock::time_point now) const {
  const auto found = m_known.find(source);
  return found != m_known.end() && found->second.failedAt && now - *found->second.failedAt < relay_limits::kFailMemory;
}

void SourceMemory::Tried(const std::string& source, Clock::time_point started) { m_known[source].running.insert(started); }

void SourceMemory::Answered(const std::string& source, Clock::time_point started, bool failed) {
  Known& known = m_known[source];
  Abandoned(source, started);
  if (failed)
    known.failedAt = Clock::now();
  else
    known.failedAt.reset();
}

void SourceMemory::Abandoned(const std::string& source, Clock::time_point started) {
  Known& known = m_known[source];
  const auto found = known.running.find(started);
  if (found != known.running.end()) known.running.erase(found);
}

SourceMemory::Clock::time_point SourceMemory::OldestAttempt(const std::string& source) const {
  const auto found = m_known.find(source);
  return found == m_known.end() || found->second.running.empty() ? Clock::time_point::max()
                                                                 : *found->second.running.begin();
}

UpstreamRace::UpstreamRace(asio::io_context& context, RelayRoute route, SourceMemory& memory, Report report, Done done)
    : m_context(context),
      m_route(std::move(route)),
      m_memory(memory),
      m_report(std::move(report)),
      m_done(std::move(done)),
      m_racing(context) {}

std::string UpstreamRace::Key(size_t source) const {
  const RelayHop& address = m_route.sources[source].address;
  return HostPortText(address.host, address.port);
}

std::string UpstreamRace::Label(size_t source) const {
  return Key(source) + " (connection " + std::to_string(source) + ")";
}

void UpstreamRace::Start(std::optional<size_t> only) {
  if (only) {
    m_order = {*only};
    return StartNext();
  }
  const size_t count = m_route.sources.size();
  std::vector<size_t> passedOver;
  const SourceMemory::Clock::time_point now = SourceMemory::Clock::now();
  for (size_t step = 0; step < count; ++step) {
    const size_t index = (m_route.current + step) % count;
    (m_memory.RecentlyFailed(Key(index), now) ? passedOver : m_order).push_back(index);
  }
  if (m_order.empty()) m_order = passedOver;  // every one failed a moment ago: try them all again
  StartNext();
}

// Starts the next source and, unless it was the last, has the one after it start once the racing delay has
// passed since this source's oldest running attempt: at once when another player has been trying it that long.
void UpstreamRace::StartNext() {
  m_racing.cancel();
  while (m_nNext < m_order.size()) {
    const size_t source = m_order[m_nNext++];
    const auto started = SourceMemory::Clock::now();
    auto attempt = std::make_shared<RouteAttempt>(
        m_context, m_route, source, [this](RouteAttempt& ended, const std::string& error) { Finished(ended, error); });
    m_running.push_back(Running{attempt, started});
    m_memory.Tried(Key(source), started);
    attempt->Start();
    if (m_done == nullptr || m_nNext == m_order.size()) return;  // already decided, or nothing left to race
    const auto due = std::min(started, m_memory.OldestAttempt(Key(source))) + relay_limits::kRacingDelay;
    if (due > SourceMemory::Clock::now()) {
      m_racing.expires_at(due);
      m_racing.async_wait([self = shared_from_this()](std::error_code error) {
        if (error || self->m_done == nullptr) return;
        RunGuarded([&] { self->StartNext(); }, [&](const std::string& failure) {
          self->m_report("racing the next source failed: " + failure);
        });
      });
      return;
    }
  }
}

void UpstreamRace::Finished(RouteAttempt& attempt, const std::string& error) {
  const auto found = std::find_if(m_running.begin(), m_running.end(),
                                  [&](const Running& running) { return running.attempt.get() == &attempt; });
  const Running ended = *found;
  m_running.erase(found);
  const size_t source = attempt.Source();
  m_memory.Answered(Key(source), ended.started, !error.empty());
  if (!error.empty()) {
    m_report(kRelayFailureMark + ("cannot reach stream source " + Label(source) + ": " + error));
    if (m_nNext < m_order.size()) return StartNext();
    if (!m_running.empty()) return;
    m_racing.cancel();
    if (Done done = std::move(m_done)) done(nullptr);
    return;
  }
  m_report("to " + Key(source) + " " + attempt.Way() + " (connection " + std::to_string(source) + ")");
  for (const Running& loser : m_running) {
    m_memory.Abandoned(Key(loser.attempt->Source()), loser.started);
    loser.attempt->Cancel();
    m_report("gave up on stream source " + Label(loser.attempt->Source()) + ": connection " + std::to_string(source) +
             " answered first");
  }
  m_running.clear();
  m_racing.cancel();
  if (Done done = std::move(m_done)) done(&attempt);
}

void UpstreamRace::Cancel() {
  m_done = nullptr;
  m_racing.cancel();
  for (const Running& running : m_running) {
    m_memory.Abandoned(Key(running.attempt->Source()), running.started);
    running.attempt->Cancel();
  }
  m_running.clear();
}
