#include "relay_connection.h"

#include <algorithm>
#include <limits>
#include <asio/post.hpp>
#include <asio/write.hpp>

#include "http_request_head.h"
#include "http_upgrade_answer.h"
#include "log/failure_lines.h"
#include "relay_close.h"
#include "relay_core.h"
#include "relay_fault_point.h"
#include "relay_guard.h"
#include "relay_io.h"
#include "relay_limits.h"
#include "relay_route_attempt.h"
#include "relay_upstream.h"
#include "stream_address.h"

namespace {

// A byte-for-byte protocol never begins with these bytes (a TLS ClientHello begins with 0x16, an RTMP
// handshake with 3 or 6, an RTSP request with its own methods), a proxy client's request for a tunnel always.
constexpr std::string_view kConnectStart = "CONNECT ";
const std::string kTunnelOpened = "HTTP/1.1 200 Connection established\r\n\r\n";

// Asio's own conditions hand what a peer has not taken to the system 64 KiB at a time. Under Wine each such
// call is a round trip to the Wine server and a completion through the port, so the whole rest goes in one
// call, and the system sends it on as the peer takes it.
size_t WholeRest(const std::error_code& error, size_t) { return error ? 0 : std::numeric_limits<size_t>::max(); }

std::string Seconds(std::chrono::steady_clock::duration time) {
  return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(time).count()) + " s";
}

}  // namespace

RelayConnection::RelayConnection(std::shared_ptr<RelayCore> core, LONG number, asio::ip::tcp::socket player,
                                 RelayRoute route)
    : m_core(std::move(core)),
      m_nNumber(number),
      m_route(std::move(route)),
      m_player(std::move(player)),
      m_source(m_player.get_executor()),
      m_timer(m_player.get_executor()) {
  m_ways[0].from = m_ways[1].to = &m_player;
  m_ways[1].from = m_ways[0].to = &m_source;
}

RelayConnection::~RelayConnection() = default;

template <typename Step>
auto RelayConnection::Guarded(const char* what, Step step) {
  return GuardedStep(
      shared_from_this(), step, [](const RelayConnection& self) { return self.m_phase == Phase::Closed; },
      [what](RelayConnection& self, const std::string& error) { self.Failed(what, error); });
}

template <typename Step>
auto RelayConnection::WhileCarrying(Step step) {
  return Guarded("carrying", [turn = m_nSourceTurn, step](RelayConnection& self, auto&&... results) {
    if (self.m_phase == Phase::Carrying && self.m_nSourceTurn == turn)
      step(self, std::forward<decltype(results)>(results)...);
  });
}

void RelayConnection::Failed(const char* what, const std::string& error) noexcept {
  RunGuarded([&] { m_core->Note(m_nNumber, kRelayFailureMark + (what + (" failed: " + error))); }, [](const std::string&) {});
  Close(true);
}

void RelayConnection::Note(const std::string& text) {
  if (m_bSpoke)
    m_core->Note(m_nNumber, text);
  else
    m_held.push_back(text);
}

// The player has spoken, or the connection ends on its own: what was held back is written.
void RelayConnection::Speak() {
  if (m_bSpoke) return;
  m_bSpoke = true;
  for (const std::string& line : m_held) m_core->Note(m_nNumber, line);
  m_held.clear();
}

bool RelayConnection::Silent() {
  std::error_code error;
  return m_nPlayerBytes == 0 && m_player.available(error) == 0 && !error;
}

void RelayConnection::Begin() {
  if (m_route.sources.empty()) return RefuseWithoutSource();
  StartRace(std::nullopt);
}

// With no source (the host set none, or the library refused its URL) a player that sends a request hears
// 502 as for a source that cannot be reached; anything else, or nothing within the head's deadline, is
// hung up on.
void RelayConnection::RefuseWithoutSource() {
  Note(kRelayFailureMark + std::string("refused: no stream source configured"));
  m_phase = Phase::Answering;
  m_lingerUntil = Clock::now() + relay_limits::kHeadDeadline;
  Rearm();
  m_player.async_read_some(
      asio::buffer(m_discard), Guarded("refusing", [](RelayConnection& self, std::error_code error, size_t size) {
        if (!error && HttpRequestRewriter::StartsLikeRequest(std::string_view(self.m_discard, size)))
          return self.Answer(HttpRequestRewriter::Response(502));
        self.Speak();
        self.Close(true);
      }));
}

// Races the route's sources, or opens the one source `only`.
void RelayConnection::StartRace(std::optional<size_t> only) {
  RunGuarded(
      [&] {
        m_race = std::make_shared<UpstreamRace>(
            m_core->Io().Context(), m_route, m_core->Sources(), [this](const std::string& text) { Note(text); },
            [this](RouteAttempt* winner) {
              RunGuarded([&] { Opened(winner); }, [&](const std::string& error) {
                Failed(m_phase == Phase::Carrying ? "carrying" : "route", error);
              });
            });
        m_race->Start(only);
      },
      [&](const std::string& error) { Failed("route", error); });
}

void RelayConnection::Opened(RouteAttempt* winner) {
  if (winner == nullptr) {
    // A player that asked for a tunnel speaks HTTP, whatever the source.
    const bool http = m_bTunnel || m_route.sources[m_route.current].http;
    const std::string closed = kRelayFailureMark + std::string("no stream source can be reached, player closed");
    if (!http) return Finish(closed);
    Note(closed + " after a 502 answer");
    return Answer(HttpRequestRewriter::Response(502));
  }
  m_nSource = winner->Source();
  m_source = std::move(winner->Socket());
  m_early = winner->TakeEarlyBytes();
  m_phase = Phase::Carrying;
  m_player.non_blocking(true);
  m_source.non_blocking(true);
  m_lastByte = Clock::now();
  if (m_bTunnel) return TunnelOpened(true);
  const RelaySource& source = m_route.sources[m_nSource];
  m_requests = std::make_unique<HttpRequestRewriter>(
      HttpRequestRewriter::Authority(source.address.host, source.address.port),
      [this](const std::string& notice) { RequestNamedElsewhere(notice); });
  if (source.http)
    m_headDue = Clock::now() + relay_limits::kHeadDeadline;
  else
    m_bSniffing = true;  // the reader is used only when the player's first bytes are a CONNECT
  for (Way& way : m_ways) ReserveBuffer(way, relay_limits::kFirstBufferBytes);
  Rearm();
  if (Send(1, m_early.data(), m_early.size())) Pump(1);
  Pump(0);
}

void RelayConnection::ReserveBuffer(Way& way, size_t size) {
  std::unique_ptr<char[]> buffer(new char[size]);
  m_core->Io().m_nBufferBytes += size - way.capacity;
  way.buffer = std::move(buffer);
  way.capacity = size;
}

void RelayConnection::GrowWhenFilled(Way& way) {
  if (way.filled && way.capacity < relay_limits::kBufferBytes) ReserveBuffer(way, relay_limits::kBufferBytes);
}

// Reads and passes on what `side` holds until it would wait, within a turn; then the other connections of
// the process get theirs. After a wait (for bytes, or for the peer to take them) it reads at once, since
// bytes have likely come meanwhile; after a read that did not fill the buffer it waits, since that read took
// all there was and asking again would only cost a call (under Wine, a round trip to the Wine server).
void RelayConnection::Pump(int side) {
  Way& way = m_ways[side];
  for (size_t turn = 0; turn < relay_limits::kTurnBytes;) {
    if (!way.open || m_phase != Phase::Carrying) return;
    const asio::mutable_buffer room = ReadRoom(way);
    std::error_code error;
    const size_t size = way.from->read_some(room, error);
    if (error == asio::error::would_block) return AwaitBytes(side);
    if (!Received(side, static_cast<const char*>(room.data()), size, room.size(), error)) return;
    if (!way.filled) return AwaitBytes(side);
    turn += size;
  }
  asio::post(m_player.get_executor(), WhileCarrying([side](RelayConnection& self) { self.Pump(side); }));
}

// The shared read buffer while the peer keeps up and the process keeps little for slow peers; otherwise the
// way's own.
asio::mutable_buffer RelayConnection::ReadRoom(Way& way) {
  RelayIo& io = m_core->Io();
  if (!way.slow && io.m_nSpillBytes < relay_limits::kSpillBudget)
    return asio::buffer(io.BurstBuffer(), relay_limits::kBurstBytes);
  GrowWhenFilled(way);
  return asio::buffer(way.buffer.get(), way.capacity);
}

// A wait holds no buffer: it is told when bytes have come (on Windows a receive of no bytes), and the read
// that follows takes all there is by then, in one call.
void RelayConnection::AwaitBytes(int side) {
  m_ways[side].from->async_wait(asio::socket_base::wait_read,
                                WhileCarrying([side](RelayConnection& self, std::error_code error) {
                                  if (error) return self.Finish(self.ClosedAfter());
                                  self.Pump(side);
                                }));
}

// A read's outcome: its bytes are passed on. False when the way now waits for a send, or has ended.
bool RelayConnection::Received(int side, const char* data, size_t size, size_t room, std::error_code error) {
  if (!m_ways[side].open) return false;  // a refused request ended this way meanwhile
  if (error == asio::error::eof) {
    WayEnded(side);
    return false;
  }
  if (error) {
    Finish(ClosedAfter());
    return false;
  }
  Way& way = m_ways[side];
  way.filled = size == room;
  m_nCarried += static_cast<int64_t>(size);
  m_lastByte = Clock::now();
  m_core->Carried(size);
  if (side == 0) {
    m_nPlayerBytes += static_cast<int64_t>(size);
    Speak();
  }
  return PassOn(side, data, size);
}

// Sends a read on; the player's bytes, while they are requests, as the request reader rewrites them. What
// the reader found at their end (a refusal, a tunnel, an upgrade) is acted on once what came before it has
// gone on. The source's answer to an upgrade is read for its status on the way.
bool RelayConnection::PassOn(int side, const char* data, size_t size) {
  RelayFaultPoint(RelayFault::Carry);
  if (side == 1 && m_upgrade != nullptr) {
    const UpgradeAnswer::Verdict verdict = m_upgrade->Feed(data, size);
    if (verdict != UpgradeAnswer::Verdict::Undecided) UpgradeDecided(verdict == UpgradeAnswer::Verdict::Switched);
  }
  if (side == 1 || m_requests == nullptr) return Send(side, data, size);
  if (m_bSniffing) return Sniff(data, size);
  m_rewritten.clear();
  return PassRequests(m_requests->Feed(data, size, m_rewritten));
}

// The player's first bytes to a source that is not http: a CONNECT goes to the request reader, anything
// else passes byte for byte from its first byte on. While the few bytes read could still begin either, they
// wait, as a head does, within the head's deadline.
bool RelayConnection::Sniff(const char* data, size_t size) {
  const size_t have = m_sniffed.size();
  const size_t compared = std::min(size, kConnectStart.size() - have);
  const bool connect = std::string_view(data, compared) == kConnectStart.substr(have, compared);
  if (connect && have + compared < kConnectStart.size()) {
    m_sniffed.append(data, size);
    if (!m_headDue) m_headDue = Clock::now() + relay_limits::kHeadDeadline;
    Rearm();
    return true;
  }
  m_bSniffing = false;
  m_headDue.reset();
  Rearm();
  std::string start = std::exchange(m_sniffed, {});
  m_rewritten.clear();
  if (connect) {
    start.append(data, size);
    return PassRequests(m_requests->Feed(start.data(), start.size(), m_rewritten));
  }
  m_requests.reset();
  if (have == 0) return Send(0, data, size);
  m_rewritten = start.append(data, size);
  return Send(0, m_rewritten.data(), m_rewritten.size());
}

// Sends on what the request reader passed, and keeps what it found at the end for Sent.
bool RelayConnection::PassRequests(int result) {
  m_nReaderResult = result;
  // The source may answer before the request's last bytes are known to have gone: its status is read from
  // its first bytes on.
  if (result == HttpRequestRewriter::kUpgrade) m_upgrade = std::make_unique<UpgradeAnswer>();
  // A head must arrive whole within the deadline of its first byte; passing anything on means it did, and a
  // request that ends the reading ends the wait for heads.
  if (result != 0 || !m_rewritten.empty())
    m_headDue.reset();
  else if (!m_headDue)
    m_headDue = Clock::now() + relay_limits::kHeadDeadline;
  Rearm();
  return Send(0, m_rewritten.data(), m_rewritten.size());
}

// Sends what it can at once and the rest when the peer takes it. True when all went at once.
bool RelayConnection::Send(int side, const char* data, size_t size) {
  Way& way = m_ways[side];
  size_t sent = 0;
  while (sent < size) {
    std::error_code error;
    sent += way.to->write_some(asio::buffer(data + sent, size - sent), error);
    if (error == asio::error::would_block) break;
    if (error) {
      Finish(ClosedAfter());
      return false;
    }
  }
  const bool shared = m_core->Io().IsBurstBuffer(data);
  if (sent == size) {
    if (!shared) way.slow = false;  // the peer took a read of the way's own at once: it keeps up again
    return Sent(side);
  }
  // The shared buffer serves the next read of any connection: what the peer has not taken moves here.
  const char* rest = shared ? Spill(way, data + sent, size - sent) : data + sent;
  asio::async_write(*way.to, asio::buffer(rest, size - sent), WholeRest,
                    WhileCarrying([side](RelayConnection& self, std::error_code error, size_t) {
                      self.ReleaseSpill(self.m_ways[side]);
                      if (error) return self.Finish(self.ClosedAfter());
                      if (self.Sent(side)) self.Pump(side);
                    }));
  return false;
}

const char* RelayConnection::Spill(Way& way, const char* data, size_t size) {
  way.spill.reset(new char[size]);
  std::copy(data, data + size, way.spill.get());
  way.spillSize = size;
  way.slow = true;
  RelayIo& io = m_core->Io();
  io.m_nBufferBytes += size;
  io.m_nSpillBytes += size;
  return way.spill.get();
}

void RelayConnection::ReleaseSpill(Way& way) {
  RelayIo& io = m_core->Io();
  io.m_nBufferBytes -= way.spillSize;
  io.m_nSpillBytes -= way.spillSize;
  way.spill.reset();
  way.spillSize = 0;
}

// What was sent has gone; true when the way goes on reading. The player's way waits instead while a tunnel
// opens or an upgrade's answer is awaited, and ends at a refusal.
bool RelayConnection::Sent(int side) {
  if (side == 1 || m_nReaderResult == 0) return true;
  const int result = std::exchange(m_nReaderResult, 0);
  if (result == HttpRequestRewriter::kTunnel) {
    Tunnel();
  } else if (result == HttpRequestRewriter::kUpgrade) {
    // What the player sends next waits in its connection until the answer's status is read.
    m_bUpgradeSent = true;
    ResumeAfterUpgrade();
  } else {
    RefuseRequest(result, m_requests->RefusalReason());
  }
  return false;
}

// An end of stream on one side is passed on as a shutdown of sending on the other, so a half-closed exchange
// completes; the connection ends when both ways have.
void RelayConnection::WayEnded(int side) {
  m_ways[side].open = false;
  // A source that ends without answering an upgrade has declined it.
  if (side == 1 && m_upgrade != nullptr) UpgradeDecided(false);
  std::error_code ignored;
  m_ways[side].to->shutdown(asio::socket_base::shutdown_send, ignored);
  if (!m_ways[0].open && !m_ways[1].open) Finish(ClosedAfter());
}

// The player asked for a tunnel (CONNECT). It is opened to a configured source only, the one already
// reached or, along its own route, another one the player names; never anywhere else.
void RelayConnection::Tunnel() {
  if (m_requests->Requests() > 0) return RefuseRequest(400, "a CONNECT after other requests on the connection");
  // The tunnel's answer must reach the player before any byte of the source's, and writes to the player may
  // still be under way: a source that spoke first (a protocol whose server speaks first) gets no tunnel.
  if (m_nCarried > m_nPlayerBytes || !m_early.empty())
    return Finish(kRelayFailureMark + std::string("request refused: a CONNECT after the source had spoken, closed"));
  const HttpRequestRewriter::Target target = m_requests->TunnelTarget();
  const std::string named = HostPortText(target.host, target.port);
  const std::optional<size_t> source = ConfiguredSource(target.host, target.port);
  if (!source) return RefuseRequest(403, "CONNECT to " + named + ", which is no configured stream source");
  m_tunnelBytes = m_requests->TakeHeldBytes();
  m_requests.reset();
  Note("tunnel for the player's CONNECT to " + named + " (connection " + std::to_string(*source) + ")");
  if (*source == m_nSource) return TunnelOpened(false);
  // The source reached first is given up; what is still pending on it is void.
  m_phase = Phase::Opening;
  m_bTunnel = true;
  ++m_nSourceTurn;
  CancelAndClose(m_source);
  StartRace(*source);
}

// The configured source a CONNECT names: the one the connection reached, when it does, else the first in
// the configuration's list.
std::optional<size_t> RelayConnection::ConfiguredSource(const std::string& host, long port) const {
  const auto names = [&](size_t index) {
    const RelayHop& address = m_route.sources[index].address;
    return address.refusal.empty() && address.port == port && AsciiLower(address.host) == host;
  };
  if (names(m_nSource)) return m_nSource;
  for (size_t index = 0; index < m_route.sources.size(); ++index)
    if (names(index)) return index;
  return std::nullopt;
}

// The player hears that its tunnel is open before any byte of the source's reaches it; then both ways pass
// byte for byte, the bytes it sent after its CONNECT first. A source reached anew starts its way here.
void RelayConnection::TunnelOpened(bool reopened) {
  Rearm();
  asio::async_write(m_player, asio::buffer(kTunnelOpened),
                    WhileCarrying([reopened](RelayConnection& self, std::error_code error, size_t) {
                      if (error) return self.Finish(self.ClosedAfter());
                      if (reopened && self.Send(1, self.m_early.data(), self.m_early.size())) self.Pump(1);
                      if (self.m_phase == Phase::Carrying &&
                          self.Send(0, self.m_tunnelBytes.data(), self.m_tunnelBytes.size()))
                        self.Pump(0);
                    }));
}

void RelayConnection::UpgradeDecided(bool switched) {
  m_upgrade.reset();
  m_upgradeSwitched = switched;
  ResumeAfterUpgrade();
}

// The player's way goes on once both the upgrade request has gone on whole and the source's answer has
// decided, in whichever order they come.
void RelayConnection::ResumeAfterUpgrade() {
  if (!m_bUpgradeSent || !m_upgradeSwitched) return;
  const bool switched = *m_upgradeSwitched;
  m_bUpgradeSent = false;
  m_upgradeSwitched.reset();
  asio::post(m_player.get_executor(),
             WhileCarrying([switched](RelayConnection& self) { self.UpgradeAnswered(switched); }));
}

// With 101 the reading of requests ends and both ways pass byte for byte; otherwise the player's next bytes
// are read as its next request.
void RelayConnection::UpgradeAnswered(bool switched) {
  const std::string held = m_requests->TakeHeldBytes();
  m_rewritten.clear();
  if (switched) {
    Note("the source switched protocols: both ways pass byte for byte");
    m_requests.reset();
    m_rewritten = held;
    if (Send(0, m_rewritten.data(), m_rewritten.size())) Pump(0);
    return;
  }
  m_requests->UpgradeDeclined();
  if (held.empty() || PassRequests(m_requests->Feed(held.data(), held.size(), m_rewritten))) Pump(0);
}

// A refused request is answered at once when it is the connection's first. After earlier requests, their
// answers are still coming, and the relay does not read where they end: an answer of its own could land
// inside the last one (an answer that ends with the connection has no other end). So the player's way
// ends, the source's answers finish, and the connection closes without an answer of the relay's.
void RelayConnection::RefuseRequest(int status, const std::string& reason) {
  const int64_t earlier = m_requests != nullptr ? m_requests->Requests() : 0;
  if (earlier == 0) {
    Note(kRelayFailureMark + ("request refused with " + std::to_string(status) + ": " + reason));
    return Answer(HttpRequestRewriter::Response(status));
  }
  Note(kRelayFailureMark + ("request refused: " + reason + "; the connection ends after the source's answers to the " +
                            std::to_string(earlier) + (earlier == 1 ? " request" : " requests") + " before it"));
  m_ways[0].open = false;
  std::error_code ignored;
  m_source.shutdown(asio::socket_base::shutdown_send, ignored);
}

// The first request of the connection that names another host is logged; the others are counted in its
// closing line, so a player cannot fill the log one request at a time.
void RelayConnection::RequestNamedElsewhere(const std::string& notice) {
  if (m_nNamedElsewhere++ == 0) Note(notice);
}

void RelayConnection::Answer(std::string answer) {
  Speak();
  m_phase = Phase::Answering;
  if (m_race != nullptr) m_race->Cancel();
  CancelAndClose(m_source);
  m_answer = std::move(answer);
  m_lingerUntil = Clock::now() + relay_limits::kLinger;
  Rearm();
  asio::async_write(m_player, asio::buffer(m_answer), Guarded("answering", [](RelayConnection& self, std::error_code error, size_t) {
                      if (error) return self.Close(true);
                      std::error_code ignored;
                      self.m_player.shutdown(asio::socket_base::shutdown_send, ignored);
                      self.Drain();
                    }));
}

// What the player still sends after its answer is read and dropped until it hangs up or the linger is over.
void RelayConnection::Drain() {
  m_player.async_read_some(asio::buffer(m_discard), Guarded("answering", [](RelayConnection& self, std::error_code error, size_t) {
                             if (error) return self.Close(true);
                             self.Drain();
                           }));
}

// The closing line's start, with what the connection carried.
std::string RelayConnection::ClosedAfter() const { return "closed after " + std::to_string(m_nCarried) + " bytes"; }

void RelayConnection::Finish(const std::string& why) {
  Speak();
  std::string line = why;
  if (m_nNamedElsewhere > 1) line += ", " + std::to_string(m_nNamedElsewhere - 1) + " more requests named other hosts";
  Note(line);
  Close(true);
}

// One timer serves every deadline of the phase: it fires at the earliest, and one that moved later since it
// was set (the idle deadline moves with every byte) sets it again.
void RelayConnection::Rearm() {
  Clock::time_point due = Clock::time_point::max();
  if (m_phase == Phase::Carrying) {
    due = m_lastByte + relay_limits::kIdleDeadline;
    if (m_headDue && *m_headDue < due) due = *m_headDue;
  } else if (m_phase == Phase::Answering) {
    due = m_lingerUntil;
  }
  if (due == Clock::time_point::max() || (m_bTimerSet && m_timer.expiry() <= due)) return;
  m_timer.expires_at(due);
  m_bTimerSet = true;
  m_timer.async_wait(Guarded("waiting", [](RelayConnection& self, std::error_code error) {
    if (error) return;
    self.m_bTimerSet = false;
    self.Expired();
  }));
}

void RelayConnection::Expired() {
  const Clock::time_point now = Clock::now();
  if (m_phase == Phase::Answering && now >= m_lingerUntil) {
    Speak();  // a player refused before it spoke still has its refusal logged
    return Close(true);
  }
  if (m_phase == Phase::Carrying && m_headDue && now >= *m_headDue) {
    m_headDue.reset();
    RefuseRequest(408, "no whole request head within " + Seconds(relay_limits::kHeadDeadline));
  } else if (m_phase == Phase::Carrying && now >= m_lastByte + relay_limits::kIdleDeadline) {
    return Finish(ClosedAfter() + ": nothing carried for " +
                  Seconds(relay_limits::kIdleDeadline));
  }
  Rearm();
}

void RelayConnection::Close(bool quietly) {
  if (m_phase == Phase::Closed) return;
  if (m_phase == Phase::Carrying && !quietly) return Finish(ClosedAfter());
  m_phase = Phase::Closed;
  if (m_race != nullptr) m_race->Cancel();
  CancelAndClose(m_player);
  CancelAndClose(m_source);
  m_timer.cancel();
  RelayIo& io = m_core->Io();
  for (Way& way : m_ways) {
    ReleaseSpill(way);
    io.m_nBufferBytes -= way.capacity;
    way.buffer.reset();
    way.capacity = 0;
  }
  m_core->Ended(*this);
}
