// Whatever a SOCKS5 server answers, however its bytes are cut, the relay's client reads only what arrived
// and ends with success or a reason. The first byte chooses whether a user name is offered, whether the
// target is an address, and the size of the pieces the answer is fed in.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "outside/socks5_client.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  Socks5Request request{(data[0] & 1) != 0 ? "10.0.0.7" : "media.example.com", 554, "", ""};
  if ((data[0] & 2) != 0) request.userName = "viewer", request.password = "secret";
  const size_t piece = (data[0] >> 2) + size_t{1};
  Socks5Handshake handshake(request);
  const char* answer = reinterpret_cast<const char*>(data + 1);
  for (size_t left = size - 1; left > 0 && handshake.GetState() == ProxyHandshake::State::Talking;) {
    const size_t given = std::min(piece, left);
    const size_t used = handshake.Feed(answer, given);
    if (used > given) __builtin_trap();
    (void)handshake.TakeOutput();
    answer += used;
    left -= used;
    if (used < given) break;
  }
  handshake.Ended();
  if (handshake.GetState() == ProxyHandshake::State::Failed && handshake.Error().empty()) __builtin_trap();
  return 0;
}
