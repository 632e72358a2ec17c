// What is thrown inside the relay stays there: each slot, export and event-loop callback runs its body
// through these, so a failure (an allocation, most likely) becomes one log line and a failed call or one
// ended connection, never an exception in the host's process.
#pragma once

#include <exception>
#include <memory>
#include <new>
#include <string>
#include <utility>

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

// An event-loop handler for one step of `self`: it keeps `self` alive until it runs, does nothing once
// `ended(self)` holds, and hands what the step throws to `failed(self, error)`.
template <typename Object, typename Step, typename Ended, typename Failed>
auto GuardedStep(std::shared_ptr<Object> self, Step step, Ended ended, Failed failed) {
  return [self = std::move(self), step, ended, failed](auto&&... results) {
    if (ended(*self)) return;
    RunGuarded([&] { step(*self, std::forward<decltype(results)>(results)...); },
               [&](const std::string& error) { failed(*self, error); });
  };
}
