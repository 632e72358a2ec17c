// Base of the tests that read what the talkback layer wrote to the process log, and check that the fake
// host saw no call the host contract never makes.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_host.h"
#include "support/temp_dir.h"

using Lines = std::vector<std::string>;

class ProcessLogTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The lines written since SetUp, without the header block; closes the log first.
  Lines LoggedLines();

  TempDir m_dir;
  FakeHost m_host;
};
