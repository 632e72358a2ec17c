#include "relay_io.h"

#include <asio/post.hpp>
#include <future>
#include <mutex>

#include "relay_limits.h"

namespace {

std::mutex g_lock;
std::weak_ptr<RelayIo> g_running;

}  // namespace

std::shared_ptr<RelayIo> RelayIo::Acquire() {
  std::lock_guard<std::mutex> hold(g_lock);
  std::shared_ptr<RelayIo> io = g_running.lock();
  if (io == nullptr) {
    io.reset(new RelayIo);
    g_running = io;
  }
  return io;
}

std::shared_ptr<RelayIo> RelayIo::Running() {
  std::lock_guard<std::mutex> hold(g_lock);
  return g_running.lock();
}

RelayIo::RelayIo() : m_work(asio::make_work_guard(m_context)), m_thread([this] { Loop(); }) {}

RelayIo::~RelayIo() {
  m_work.reset();
  m_context.stop();
  m_thread.join();
}

// Every callback catches what it throws; should one let anything through, the loop goes on regardless.
void RelayIo::Loop() {
  for (;;) {
    try {
      m_context.run();
      return;
    } catch (...) {
    }
  }
}

char* RelayIo::BurstBuffer() {
  if (m_burst == nullptr) m_burst.reset(new char[relay_limits::kBurstBytes]);
  return m_burst.get();
}

void RelayIo::Run(const std::function<void()>& work) {
  if (m_thread.get_id() == std::this_thread::get_id()) return work();
  std::promise<void> done;
  std::future<void> ran = done.get_future();
  asio::post(m_context, [&work, &done] {
    try {
      work();
      done.set_value();
    } catch (...) {
      done.set_exception(std::current_exception());
    }
  });
  ran.get();
}
