// The parsed header of a built command, for payload tests. The bytes must outlive the result.
#pragma once

#include <gtest/gtest.h>

#include "video/command_format.h"
#include "video/command_writer.h"

inline VideoCommand HeaderOf(const CommandBytes& bytes) {
  VideoCommand command{};
  EXPECT_TRUE(ParseCommandHeader(bytes.data(), static_cast<int32_t>(bytes.size()), command));
  return command;
}
