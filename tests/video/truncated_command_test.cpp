// Every prefix of every handled command, copied into a buffer of exactly that size: the sanitizers of the
// native build turn any read past the end into a failure.
#include <gtest/gtest.h>

#include <memory>

#include "support/parse_handled_command.h"
#include "video/command_writer.h"

namespace {

constexpr int32_t kUnparsedCommand = 84;

bool ParsePrefix(const CommandBytes& bytes, size_t length) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[length == 0 ? 1 : length]);
  std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length), exact.get());
  return ParseHandledCommand(exact.get(), static_cast<int32_t>(length));
}

TEST(TruncatedCommand, OnlyTheWholeBufferParses) {
  for (const NamedCommand& command : EveryHandledCommand()) {
    SCOPED_TRACE(command.name);
    const size_t headerSize = command.form == HeaderForm::Long ? 8 : 2;
    const size_t size = command.bytes.size();
    for (size_t length = 0; length <= size; ++length) {
      // Every field the builder writes is read, so one byte short fails the payload; command 84
      // has no payload to read.
      const bool expected = command.nCmd == kUnparsedCommand ? length >= headerSize : length == size;
      EXPECT_EQ(ParsePrefix(command.bytes, length), expected) << "prefix of " << length << " bytes";
    }
  }
}

}  // namespace
