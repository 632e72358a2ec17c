#include "relay_config.h"

namespace {

// The scheme decides, whatever the connection's type: a host gives every HTTP source type 4, secure or not,
// and only an http URL's bytes are HTTP/1.x requests the relay can read; the rest pass byte for byte.
bool IsHttpSource(const std::string& url) {
  return url.size() > 7 && AsciiLower(std::string_view(url).substr(0, 7)) == "http://";
}

// The host as the relay writes it, or why it is not used.
RelayHop Checked(const std::string& host, LONG port) {
  RelayHop hop{host, port, ""};
  const std::string problem = CheckHost(hop.host);
  if (!problem.empty()) hop.refusal = "its host " + problem + ", so it is not used";
  return hop;
}

void AddHop(std::vector<RelayHop>& hops, const SrcRouteHop& hop) {
  if (!hop.host.empty()) hops.push_back(Checked(hop.host, hop.port));
}

}  // namespace

bool SetRelayConnection(CSrcConfig& config, LONG index, const std::string& url, LONG type,
                        const StreamAddress& address) {
  SrcConnectionFields fields;
  fields.url = url;
  fields.host = address.host;
  fields.port = address.port;
  fields.type = type;
  return config.AddConnection(index, fields);
}

RelayRoute ReadRelayRoute(CSrcConfig& config) {
  const SrcRouteReading reading = config.ReadRoute();
  RelayRoute route;
  for (const SrcRouteSource& source : reading.sources)
    route.sources.push_back(RelaySource{Checked(source.host, source.port), source.type, IsHttpSource(source.url)});
  const LONG current = reading.currentConnection;
  route.current = current > 0 && static_cast<size_t>(current) < route.sources.size() ? static_cast<size_t>(current) : 0;
  route.socks5 = reading.useSocks5;
  for (int i = 0; i < 2; ++i) {
    AddHop(route.socksHops, reading.socks[i]);
    AddHop(route.plugHops, reading.plug[i]);
  }
  route.userName = reading.socksUser;
  route.password = reading.socksPassword;
  route.plugHeader = reading.plugHeader;
  return route;
}
