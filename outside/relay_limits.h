// Every bound the relay keeps, with its reason. The relay lives inside the host's process, so what a peer or
// a flood of peers can make it hold or wait for is bounded here (README "The relay" lists them too).
#pragma once

#include <chrono>
#include <cstddef>

namespace relay_limits {

using namespace std::chrono_literals;

// Each way of a connection has a buffer of its own, for a way whose peer falls behind and for every read
// while the process keeps much for slow peers (a wait for bytes holds no buffer). It starts small, so a
// connection that carries nothing holds little, and grows to the full size the first time a read fills it.
constexpr size_t kFirstBufferBytes = 4 * 1024;
constexpr size_t kBufferBytes = 128 * 1024;
// A read whose bytes the peer takes at once needs no buffer of the connection's own: one buffer of the I/O
// thread, this large, serves every connection in turn, so a fast stream moves in few, large calls (under
// Wine each is a round trip to the Wine server) while each connection holds only its own small buffers.
constexpr size_t kBurstBytes = 4 * 1024 * 1024;
// What peers have not yet taken of such reads is kept by their connections until they take it. Past this
// much over the whole process, connections read into their own buffers only; a connection keeps at most
// one read's worth, and none once its peer has been slow, until the peer keeps up again.
constexpr size_t kSpillBudget = 16 * 1024 * 1024;
// The most a connection holds: its two buffers and what its peer has not taken of one shared read.
constexpr size_t kConnectionBytesBound = 2 * kBufferBytes + kBurstBytes;
// The most one way carries before the other connections get their turn on the I/O thread: four shared
// reads, since each turn's end goes through the thread's queue (under Wine two round trips to the Wine
// server). Only a stream as fast as loopback fills them, holding the thread for about 10 ms.
constexpr size_t kTurnBytes = 4 * kBurstBytes;

// A player's connections to one proxy, and to every proxy of the process: a video wall of 64 cells with a
// few players each stays far below; a flood of connections meets a refusal instead of the host's memory.
constexpr int kConnectionsPerProxy = 64;
constexpr int kConnectionsPerProcess = 1024;

// A request head arrives whole within this time of the route's opening (what the player sends meanwhile
// waits in its connection), or of the head's own first byte: a player sends its head at once, so only a peer
// that holds the connection open byte by byte is cut off.
constexpr auto kHeadDeadline = 10s;
// A connection to the source (or the first proxy), its address looked up included.
constexpr auto kConnectDeadline = 5s;
// Each proxy's whole handshake, however its answer trickles in.
constexpr auto kHandshakeDeadline = 5s;
// No byte either way for this long ends a connection. A stream is continuous; a player that pauses it stops
// reading, the stream then stands still, and a player paused for up to five minutes goes on where it was.
// One paused longer than that reconnects when it resumes, as after any network break; a live stream has
// moved on by then anyway.
constexpr auto kIdleDeadline = 300s;
// How long a player answered with an error may take to hang up; what it still sends meanwhile is read, so
// its end of the connection is not reset before it has read the answer.
constexpr auto kLinger = 2s;

// When the route to a source has not opened within this time, the next source is tried beside it, as
// Happy Eyeballs (RFC 8305) does for addresses; the first route that opens carries the player.
constexpr auto kRacingDelay = 250ms;
// A source that could not be reached is passed over by the following players for this long: long enough
// that a dead source costs one player a wait, short enough that a source back up is used again soon.
constexpr auto kFailMemory = 30s;

// Refusals are counted and written at most this often per proxy, so a flood cannot flood the log.
constexpr auto kNoticeInterval = 1s;

}  // namespace relay_limits
