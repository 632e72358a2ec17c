// The reader the relay's request reader is checked against: Boost.Beast's HTTP/1.1 request parser, used in
// this fuzzer only. Beast takes any token as a method and holds line ends, field names and chunk lines to
// RFC 9112 strictly, so a request the relay passes and Beast reads otherwise shows at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "outside/http_request_head.h"

// One request as a reader made it out: where its head and its body end, in bytes from the stream's start.
struct RequestReading {
  std::string method;
  std::string target;
  HttpRequestRewriter::Framing framing = HttpRequestRewriter::Framing::None;
  uint64_t length = 0;
  uint64_t headEnd = 0;
  std::optional<uint64_t> end;  // none while the body is still coming
  // The fields a source takes its routing from, for the stream the relay passes on.
  int hostFields = 0;
  std::string host;
  bool proxyFields = false;
};

struct StreamReading {
  std::vector<RequestReading> requests;  // every request whose head was read whole
  bool refused = false;
};

// Reads `stream` request after request, skipping the empty lines a server may ignore before a request line
// (RFC 9112 section 2.2; Beast leaves that to its caller), until the stream ends or Beast refuses.
StreamReading ReadWithReference(std::string_view stream);
