// The parse path allocates nothing: every global allocation is counted while each handled command is
// parsed. Its own program, because it replaces the global operator new.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "support/parse_handled_command.h"
#include "video/command_writer.h"

namespace {
int g_allocations = 0;

void* CountedAllocation(std::size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return CountedAllocation(size); }
void* operator new[](std::size_t size) { return CountedAllocation(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(ParseAllocation, ParsingEveryHandledCommandAllocatesNothing) {
  const std::vector<NamedCommand> commands = EveryHandledCommand();
  const int before = g_allocations;
  int parsed = 0;
  for (const NamedCommand& command : commands)
    parsed += ParseHandledCommand(command.bytes.data(), static_cast<int32_t>(command.bytes.size())) ? 1 : 0;
  const int allocations = g_allocations - before;
  EXPECT_EQ(parsed, static_cast<int>(commands.size()));
  EXPECT_EQ(allocations, 0);
  // The counter sees allocations at all, so a zero above means something.
  const int probeBefore = g_allocations;
  delete new int(1);
  EXPECT_EQ(g_allocations - probeBefore, 1);
}

}  // namespace
