// A relay's calls on the proxy's thread against its I/O thread.
#include "relay_server.h"

#include <gtest/gtest.h>

#include <asio/post.hpp>
#include <chrono>
#include <future>

#include "relay_io.h"
#include "shared_log.h"

namespace {

using namespace std::chrono_literals;

// A delete closes a relay twice, and the second close finds nothing open: it returns while the I/O thread
// is held busy, where a close that went through the I/O thread would wait for it.
TEST(RelayServerTest, ASecondCloseWithTheListenerReturnsWithoutWaitingOnTheIoThread) {
  SharedLog log("relay_server_test");
  RelayServer server(log, 1, [] { return RelayRoute{}; });
  ASSERT_TRUE(server.Start());
  server.CloseConnections(true);

  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  asio::post(RelayIo::Running()->Context(), [released] { released.wait(); });
  std::future<void> second = std::async(std::launch::async, [&] { server.CloseConnections(true); });
  const std::future_status closed = second.wait_for(10s);
  release.set_value();
  EXPECT_EQ(closed, std::future_status::ready);
}

}  // namespace
