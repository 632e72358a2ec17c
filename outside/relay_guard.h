// What is thrown inside the relay stays there: each slot, export and event-loop callback runs its body
// through these, so a failure (an allocation, most likely) becomes one log line and a failed call or one
// ended connection, never an exception in the host's process.
#pragma once

#include <exception>
#include <new>
#include <string>

// The exception being handled, in a few words: "out of memory" for a failed allocation.
inline std::string CurrentExceptionText() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (const std::exception& failure) {
    try {
      return failure.what();
    } catch (...) {
      return "unknown error";
    }
  } catch (...) {
    return "unknown error";
  }
}

// Runs `body`; when it throws, runs `failed` with the exception's text. `failed` must not throw.
template <typename Body, typename Failed>
void RunGuarded(Body&& body, Failed&& failed) noexcept {
  try {
    body();
  } catch (...) {
    failed(CurrentExceptionText());
  }
}
