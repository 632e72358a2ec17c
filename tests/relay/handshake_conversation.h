// A proxy handshake fed a scripted proxy's answers, whole or in pieces of a given size, the way the relay's
// event loop feeds it: what the client sent, why it failed (empty on success) and how many answer bytes it
// left unread (the target's, after a handshake that is done).
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "base/platform.h"
#include "proxy_handshake.h"

using Bytes = std::vector<BYTE>;

struct Conversation {
  Bytes sent;
  std::string error;
  size_t unread = 0;
};

inline Conversation Converse(ProxyHandshake& handshake, const Bytes& answers, size_t piece) {
  Conversation talk;
  const auto collect = [&] {
    const std::string output = handshake.TakeOutput();
    talk.sent.insert(talk.sent.end(), output.begin(), output.end());
  };
  collect();
  size_t read = 0;
  while (read < answers.size() && handshake.GetState() == ProxyHandshake::State::Talking) {
    const size_t size = std::min(piece, answers.size() - read);
    const size_t used = handshake.Feed(reinterpret_cast<const char*>(answers.data()) + read, size);
    read += used;
    collect();
    if (used < size) break;
  }
  handshake.Ended();
  talk.error = handshake.Error();
  talk.unread = answers.size() - read;
  return talk;
}

inline Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }
