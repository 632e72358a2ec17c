// What a relay reads from its configuration for one player's connection: the stream sources in the order of
// the configuration's list and the proxy chains that lead to them. Read whole under the configuration's
// lock, so a setting the host changes meanwhile reaches the next connection and never half of one.
#pragma once

#include <string>
#include <vector>

#include "base/platform.h"
#include "base/stream_vocabulary.h"

struct RelayHop {
  std::string host;
  LONG port = 0;
  std::string refusal;  // why the host cannot be used (CheckHost), empty when it can: it is never reached
};

struct RelaySource {
  RelayHop address;
  LONG type = 0;      // the connection's type, kConnectionType...
  bool http = false;  // an http URL: the player's requests are read and rewritten for it
};

enum class RelayChainKind { None, Socks5, Plug };

struct RelayChain {
  RelayChainKind kind = RelayChainKind::None;
  const std::vector<RelayHop>* hops = nullptr;
};

struct RelayRoute {
  std::vector<RelaySource> sources;
  size_t current = 0;  // the first source a player's connection tries
  bool socks5 = false;
  std::vector<RelayHop> socksHops;  // one or two, in the order a connection passes them
  std::string userName;             // offered at every SOCKS5 hop
  std::string password;
  std::vector<RelayHop> plugHops;  // read as HTTP CONNECT proxies
  std::string plugHeader;          // one more header line of each CONNECT when not empty

  // SOCKS5 when it is on; otherwise the PLUG chain for a PLUG connection when a PLUG host is set; otherwise
  // none: the relay goes to the source directly.
  RelayChain ChainFor(const RelaySource& source) const {
    if (socks5) return {RelayChainKind::Socks5, &socksHops};
    if (source.type == kConnectionTypePlug && !plugHops.empty()) return {RelayChainKind::Plug, &plugHops};
    return {};
  }
};
