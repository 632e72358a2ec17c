// One player's connection, a small state machine on the I/O thread:
//   Opening   the route to a source is raced (UpstreamRace), or, for a player's CONNECT naming another
//             configured source than the one reached, that source's route is opened;
//   Carrying  both ways pass bytes, each through a bounded buffer; to an http source the player's requests
//             go through an HttpRequestRewriter, everything else byte for byte. Requests end where the
//             player asks for a tunnel (CONNECT: answered 200 when it names a configured source, 403
//             otherwise) or for an upgrade the source grants (101): both ways then pass byte for byte. To
//             any other source the player's first bytes are checked for a CONNECT alone;
//   Answering the player gets an error answer and a moment to read it before the hang-up;
//   Closed.
// Each phase's waits have deadlines (relay_limits.h), checked by one timer. The lines of a player that has
// sent nothing yet are held back until it does, or until the connection ends on its own: a flood of silent
// connections that give way to newer players writes no line of its own, only the counted refusals.
#pragma once

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/platform.h"
#include "relay_route.h"

class HttpRequestRewriter;
class RelayCore;
class RouteAttempt;
class UpgradeAnswer;
class UpstreamRace;

class RelayConnection : public std::enable_shared_from_this<RelayConnection> {
 public:
  RelayConnection(std::shared_ptr<RelayCore> core, LONG number, asio::ip::tcp::socket player, RelayRoute route);
  ~RelayConnection();

  void Begin();
  void RefuseWithoutSource();
  // Ends it at once: the proxy closes its connections (with the closing line of one that carried bytes), or
  // a newer player takes its place (`quietly`: no line at all).
  void Close(bool quietly);
  // The player has sent nothing yet.
  bool Silent();

  std::list<std::shared_ptr<RelayConnection>>::iterator m_place;  // in the proxy's list

 private:
  using Clock = std::chrono::steady_clock;
  enum class Phase { Opening, Carrying, Answering, Closed };
  // One way of the connection.
  struct Way {
    asio::ip::tcp::socket* from = nullptr;
    asio::ip::tcp::socket* to = nullptr;
    std::unique_ptr<char[]> buffer;
    size_t capacity = 0;
    bool filled = false;       // the last read filled the buffer: more is likely waiting, read into the full size
    bool slow = false;         // the peer did not take a read at once: read into the own buffer until it keeps up
    std::unique_ptr<char[]> spill;  // what the peer has not yet taken of a shared read
    size_t spillSize = 0;
    bool open = true;
  };

  void StartRace(std::optional<size_t> only);
  void Opened(RouteAttempt* winner);
  void Pump(int side);
  void AwaitBytes(int side);
  asio::mutable_buffer ReadRoom(Way& way);
  bool Received(int side, const char* data, size_t size, size_t room, std::error_code error);
  bool PassOn(int side, const char* data, size_t size);
  bool Sniff(const char* data, size_t size);
  bool PassRequests(int result);
  bool Send(int side, const char* data, size_t size);
  bool Sent(int side);
  void WayEnded(int side);
  void Tunnel();
  std::optional<size_t> ConfiguredSource(const std::string& host, long port) const;
  void TunnelOpened(bool reopened);
  void UpgradeDecided(bool switched);
  void ResumeAfterUpgrade();
  void UpgradeAnswered(bool switched);
  void RefuseRequest(int status, const std::string& reason);
  void RequestNamedElsewhere(const std::string& notice);
  void Answer(std::string answer);
  void Drain();
  std::string ClosedAfter() const;
  void Finish(const std::string& why);
  void Rearm();
  void Expired();
  void Note(const std::string& text);
  void Speak();
  void ReserveBuffer(Way& way, size_t size);
  void GrowWhenFilled(Way& way);
  const char* Spill(Way& way, const char* data, size_t size);
  void ReleaseSpill(Way& way);
  void Failed(const char* what, const std::string& error) noexcept;
  template <typename Step>
  auto Guarded(const char* what, Step step);
  // A step of carrying: it runs only while the connection carries bytes from the source it had when the
  // step was asked for (a tunnel to another source makes the old one's pending steps void).
  template <typename Step>
  auto WhileCarrying(Step step);

  const std::shared_ptr<RelayCore> m_core;  // first, so it goes last
  const LONG m_nNumber;
  const RelayRoute m_route;
  asio::ip::tcp::socket m_player;
  asio::ip::tcp::socket m_source;
  asio::steady_timer m_timer;
  bool m_bTimerSet = false;
  Phase m_phase = Phase::Opening;
  std::shared_ptr<UpstreamRace> m_race;
  size_t m_nSource = 0;
  unsigned m_nSourceTurn = 0;  // counts the sources the connection has carried from
  bool m_bTunnel = false;      // the route being opened is for the player's CONNECT
  Way m_ways[2];  // 0: player to source, 1: source to player
  std::unique_ptr<HttpRequestRewriter> m_requests;  // while the player's bytes are read as requests
  bool m_bSniffing = false;  // the player's first bytes to a source that is not http may still be a CONNECT
  std::string m_sniffed;     // those bytes, while they may be
  std::unique_ptr<UpgradeAnswer> m_upgrade;  // while the source's answer to an upgrade is read
  std::optional<bool> m_upgradeSwitched;     // its verdict, until the player's way goes on
  bool m_bUpgradeSent = false;               // the upgrade request has gone on whole
  std::string m_rewritten;  // the player's bytes as they go on to the source, once read
  int m_nReaderResult = 0;  // what the reader made of them (HttpRequestRewriter::Feed), acted on once sent
  std::string m_tunnelBytes;  // the player's bytes after its CONNECT, for the tunnel being opened
  std::string m_early;      // the source's first bytes, which came with a proxy's answer
  std::string m_answer;
  char m_discard[512];
  int64_t m_nCarried = 0;
  int64_t m_nPlayerBytes = 0;
  int64_t m_nNamedElsewhere = 0;  // requests that named another host, after the first, which was logged
  Clock::time_point m_lastByte;
  std::optional<Clock::time_point> m_headDue;
  Clock::time_point m_lingerUntil;
  std::vector<std::string> m_held;  // lines held back while the player is silent
  bool m_bSpoke = false;
};
