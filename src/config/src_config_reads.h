// What other layers read from or hand to a source configuration as plain values, so that none of them
// needs the configuration's lock: each read is taken whole under one hold, each connection added whole.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/platform.h"

// One connection already parsed: the caller's own address rule decided host and port.
struct SrcConnectionFields {
  std::string_view url;  // kept exactly as given
  std::string_view host;
  LONG port = -1;
  LONG type = 0;
  bool otherScheme = true;
  bool nsc = false;
};

// What the heartbeat reports of a configuration.
struct SrcStatusReading {
  LONG currentConnection = -1;
  LONG sessionID1 = -1;
  LONG sessionID2 = -1;
};

struct SrcRouteSource {
  std::string url;
  std::string host;
  LONG port = -1;
  LONG type = 0;
};

struct SrcRouteHop {
  std::string host;  // empty when the hop is not set
  LONG port = -1;
};

// What a proxy reads to route one player's connection: the sources in list order and both proxy chains.
struct SrcRouteReading {
  std::vector<SrcRouteSource> sources;
  LONG currentConnection = -1;
  bool useSocks5 = false;
  SrcRouteHop socks[2];
  SrcRouteHop plug[2];
  std::string socksUser;
  std::string socksPassword;
  std::string plugHeader;
};
