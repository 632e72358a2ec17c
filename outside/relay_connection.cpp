#include "relay_connection.h"

#include <algorithm>
#include <asio/post.hpp>
#include <asio/write.hpp>

#include "http_request_head.h"
#include "log/failure_lines.h"
#include "relay_close.h"
#include "relay_core.h"
#include "relay_fault_point.h"
#include "relay_guard.h"
#include "relay_io.h"
#include "relay_limits.h"
#include "relay_route_attempt.h"
#include "relay_upstream.h"

namespace {

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
  return [self = shared_from_this(), what, step](auto&&... results) {
    if (self->m_phase == Phase::Closed) return;
    RunGuarded([&] { step(*self, std::forward<decltype(results)>(results)...); }, [&](const std::string& error) { self->Failed(what, error); });
  };
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
  if (m_route.sources.empty()) return Finish(kRelayFailureMark + std::string("refused: no stream source configured"));
  RunGuarded(
      [&] {
        m_race = std::make_shared<UpstreamRace>(
            m_core->Io().Context(), m_route, m_core->Sources(), [this](const std::string& text) { Note(text); },
            [this](RouteAttempt* winner) {
              RunGuarded([&] { Opened(winner); }, [&](const std::string& error) {
                Failed(m_phase == Phase::Carrying ? "carrying" : "route", error);
              });
            });
        m_race->Start();
      },
      [&](const std::string& error) { Failed("route", error); });
}

void RelayConnection::Opened(RouteAttempt* winner) {
  if (winner == nullptr) {
    const bool http = m_route.sources[m_route.current].http;
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
  const RelaySource& source = m_route.sources[m_nSource];
  if (source.http) {
    m_requests = std::make_unique<HttpRequestRewriter>(
        HttpRequestRewriter::Authority(source.address.host, source.address.port),
        [this](const std::string& notice) { RequestNamedElsewhere(notice); });
    m_headDue = Clock::now() + relay_limits::kHeadDeadline;
  }
  for (Way& way : m_ways) ReserveBuffer(way, relay_limits::kFirstBufferBytes);
  m_lastByte = Clock::now();
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
  asio::post(m_player.get_executor(), Guarded("carrying", [side](RelayConnection& self) { self.Pump(side); }));
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

// A wait holds its buffer until bytes come: the way's own.
void RelayConnection::AwaitBytes(int side) {
  Way& way = m_ways[side];
  GrowWhenFilled(way);
  way.from->async_read_some(asio::buffer(way.buffer.get(), way.capacity),
                            Guarded("carrying", [side](RelayConnection& self, std::error_code error, size_t size) {
                              Way& way = self.m_ways[side];
                              if (self.m_phase == Phase::Carrying &&
                                  self.Received(side, way.buffer.get(), size, way.capacity, error))
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
    Finish("closed after " + std::to_string(m_nCarried) + " bytes");
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

// Sends a read on; on the player's way to an http source, as the request reader rewrites it. A request the
// reader refuses gets its answer once what came before it has gone on.
bool RelayConnection::PassOn(int side, const char* data, size_t size) {
  RelayFaultPoint(RelayFault::Carry);
  if (side == 1 || m_requests == nullptr) return Send(side, data, size);
  m_rewritten.clear();
  m_nRefusal = m_requests->Feed(data, size, m_rewritten);
  // A head must arrive whole within the deadline of its first byte; passing anything on means it did.
  if (!m_rewritten.empty())
    m_headDue.reset();
  else if (!m_headDue)
    m_headDue = Clock::now() + relay_limits::kHeadDeadline;
  Rearm();
  return Send(side, m_rewritten.data(), m_rewritten.size());
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
      Finish("closed after " + std::to_string(m_nCarried) + " bytes");
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
  asio::async_write(*way.to, asio::buffer(rest, size - sent),
                    Guarded("carrying", [side](RelayConnection& self, std::error_code error, size_t) {
                      if (self.m_phase != Phase::Carrying) return;
                      self.ReleaseSpill(self.m_ways[side]);
                      if (error) return self.Finish("closed after " + std::to_string(self.m_nCarried) + " bytes");
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

bool RelayConnection::Sent(int side) {
  if (side == 1 || m_nRefusal == 0) return true;
  RefuseRequest(m_nRefusal, m_requests->RefusalReason());
  return false;
}

// An end of stream on one side is passed on as a shutdown of sending on the other, so a half-closed exchange
// completes; the connection ends when both ways have.
void RelayConnection::WayEnded(int side) {
  Way& way = m_ways[side];
  way.open = false;
  const auto passOn = [side](RelayConnection& self) {
    std::error_code ignored;
    self.m_ways[side].to->shutdown(asio::socket_base::shutdown_send, ignored);
    if (!self.m_ways[0].open && !self.m_ways[1].open)
      self.Finish("closed after " + std::to_string(self.m_nCarried) + " bytes");
  };
  if (way.closingReply.empty()) return passOn(*this);
  asio::async_write(*way.to, asio::buffer(way.closingReply),
                    Guarded("carrying", [passOn](RelayConnection& self, std::error_code, size_t) {
                      if (self.m_phase == Phase::Carrying) passOn(self);
                    }));
}

// A refused request is answered at once when no earlier request awaits its answer; otherwise the answers
// still due come first and the refusal follows them once the source has ended.
void RelayConnection::RefuseRequest(int status, const std::string& reason) {
  m_nRefusal = 0;
  Note(kRelayFailureMark + ("request refused with " + std::to_string(status) + ": " + reason));
  std::string answer = HttpRequestRewriter::Response(status);
  if (m_requests->Requests() == 0) return Answer(std::move(answer));
  m_ways[0].open = false;
  std::error_code ignored;
  m_source.shutdown(asio::socket_base::shutdown_send, ignored);
  m_ways[1].closingReply = std::move(answer);
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
  if (m_phase == Phase::Answering && now >= m_lingerUntil) return Close(true);
  if (m_phase == Phase::Carrying && m_headDue && now >= *m_headDue) {
    m_headDue.reset();
    RefuseRequest(408, "no whole request head within " + Seconds(relay_limits::kHeadDeadline));
  } else if (m_phase == Phase::Carrying && now >= m_lastByte + relay_limits::kIdleDeadline) {
    return Finish("closed after " + std::to_string(m_nCarried) + " bytes: nothing carried for " +
                  Seconds(relay_limits::kIdleDeadline));
  }
  Rearm();
}

void RelayConnection::Close(bool quietly) {
  if (m_phase == Phase::Closed) return;
  if (m_phase == Phase::Carrying && !quietly) return Finish("closed after " + std::to_string(m_nCarried) + " bytes");
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
