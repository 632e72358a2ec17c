// One proxy's handshake as a state machine fed the proxy's bytes as they arrive, so the relay's event loop
// drives it without waiting and a test or fuzzer drives it from a table of bytes, whole or a byte at a time.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

class ProxyHandshake {
 public:
  enum class State { Talking, Done, Failed };

  virtual ~ProxyHandshake() = default;

  // Reads the proxy's next bytes and returns how many belong to the handshake: once it is done, what follows
  // is already the target's (or the next hop's) and stays with the caller.
  virtual size_t Feed(const char* data, size_t size) = 0;
  // The proxy ended the stream before the handshake was done.
  void Ended() {
    if (m_state == State::Talking) Fail(Unanswered());
  }

  // What to send to the proxy now; taking it empties it.
  std::string TakeOutput() { return std::exchange(m_output, {}); }
  State GetState() const { return m_state; }
  // Why it failed; empty otherwise.
  const std::string& Error() const { return m_error; }
  // What the proxy has left unanswered at this step ("no answer to the greeting"), for an end or a deadline.
  virtual std::string Unanswered() const = 0;

 protected:
  void Send(std::string bytes) { m_output += std::move(bytes); }
  void Finish() { m_state = State::Done; }
  void Fail(std::string error) {
    m_state = State::Failed;
    m_error = std::move(error);
  }

 private:
  State m_state = State::Talking;
  std::string m_output;
  std::string m_error;
};
