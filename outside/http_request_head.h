// The player's side of an HTTP/1.x connection to an http source, read as a stream of requests (to any other
// source, only a CONNECT the player begins with is read this way). Each request head is rewritten for the
// source: the target becomes origin-form (a player that uses the relay as its proxy sends absolute-form), Host
// names the source's authority (name-based servers answer by it) and the proxy headers meant for the relay are
// dropped. Bodies pass as they arrive; the reader follows their framing (Content-Length or chunked) to find
// where the next head starts, so keep-alive and pipelined requests are rewritten too. The source may read a
// request other than the relay does, so the reader takes only what HTTP/1.1 allows with a single meaning (CR LF
// line ends, token names, no control bytes, no folded lines, one framing) and refuses the rest; what it passes
// on is rebuilt from what it read, never the raw lines. Two requests end the reading of requests: a CONNECT,
// whose target it hands back (the relay decides whether to open the tunnel), and a request that asks to
// upgrade the connection, whose answer decides whether requests follow. Portable and free of sockets, so
// every rule can be checked byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class HttpRequestRewriter {
 public:
  // A head longer than this ends the connection with 431; a player's honest head is a few hundred bytes.
  static constexpr size_t kMaxHeadBytes = 64 * 1024;
  // Told of each request that names a host of its own, which the source gets instead.
  using Notice = std::function<void(const std::string&)>;
  // What Feed returns, besides 0 (go on) and a status to refuse with, once a request ends the reading:
  // a CONNECT (its authority is TunnelTarget()), or a request with Upgrade that has gone on whole, whose
  // answer decides (UpgradeDeclined, or the connection is no longer HTTP). The bytes after it are held.
  static constexpr int kTunnel = 1;
  static constexpr int kUpgrade = 2;
  struct Target {
    std::string host;  // lower case, an IPv6 address without brackets
    long port = 0;
  };

  // How the end of a request's body is found.
  enum class Framing { None, Length, Chunked };
  // What the reader made of a request head it passed on.
  struct HeadRead {
    std::string_view method;
    std::string_view target;  // as the player sent it
    Framing framing;
    uint64_t length;  // the body's, with Framing::Length
    uint64_t end;     // bytes read up to the head's end
  };

  // `authority` is the source's host, with ":port" when the port is not 80.
  explicit HttpRequestRewriter(std::string authority, Notice notice = nullptr);

  // Reads what the player sent next and appends to `out` what goes on to the source. Returns 0; kTunnel or
  // kUpgrade (above); or the status the player is answered with (400, 431) once a request cannot go on:
  // nothing of it is passed on, and nothing after it is read.
  int Feed(const char* data, size_t size, std::string& out);
  // The host and port a CONNECT asked for, once Feed returned kTunnel.
  const Target& TunnelTarget() const { return m_tunnel; }
  // What came after the request that ended the reading (a tunnel's or an upgraded connection's first bytes);
  // taking it empties it.
  std::string TakeHeldBytes() { return std::move(m_held); }
  // The source answered an upgrade with anything but 101: the connection stays HTTP, and the reader goes on
  // with what follows the request (the held bytes first).
  void UpgradeDeclined();
  // Why the last refusal was made, for the log.
  const std::string& RefusalReason() const { return m_reason; }
  // Heads passed on so far.
  int64_t Requests() const { return m_nRequests; }
  // Bytes taken so far: whole lines and body bytes; a line still incomplete, or refused, is not counted.
  uint64_t BytesRead() const { return m_nRead; }
  // Tells `head` of each head passed on and `ended` of the byte count where each request ended, so the
  // reader can be checked against another one.
  void Observe(std::function<void(const HeadRead&)> head, std::function<void(uint64_t)> ended);

  // "HOST" or "HOST:PORT" (IPv6 addresses in brackets) as a Host header names an http source.
  static std::string Authority(const std::string& host, long port);
  // The whole response that ends a connection with `status`.
  static std::string Response(int status);
  // Whether a connection's first bytes begin as a request line does: a method, then a space.
  static bool StartsLikeRequest(std::string_view bytes);

 private:
  enum class State { Head, Body, ChunkSize, ChunkData, ChunkEnd, Trailer, Refused, Held };

  size_t ReadHead(const char* data, size_t size, std::string& out);
  size_t ReadBody(const char* data, size_t size, std::string& out);
  size_t ReadChunkEnd(const char* data, std::string& out);
  size_t ReadFramingLine(const char* data, size_t size, std::string& out);
  void ChunkSizeLine(std::string_view line, std::string& out);
  void TrailerLine(std::string_view line, std::string& out);
  // Takes a line ending at the last byte of m_line; false (and refused) when it ends in a bare LF.
  bool LineEndsInCrLf();
  void Refuse(int status, std::string reason);
  void RequestEnded();
  // Rewrites the complete head in m_line.
  void PassHead(std::string& out);
  void TakeConnect(std::string_view target);

  const std::string m_authority;
  const Notice m_notice;
  State m_state = State::Head;
  std::string m_line;  // the head, or a chunk's size line or trailer line, read so far
  uint64_t m_nBodyLeft = 0;
  bool m_bUpgrade = false;  // the request being read asks to upgrade the connection
  int m_nStatus = 0;
  Target m_tunnel;
  std::string m_held;
  std::string m_reason;
  int64_t m_nRequests = 0;
  uint64_t m_nRead = 0;
  std::function<void(const HeadRead&)> m_headObserver;
  std::function<void(uint64_t)> m_endObserver;
};
