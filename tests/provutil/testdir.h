// A scratch directory per test, made the working directory while the test runs
// (the utilities create their files there), removed with everything in it after.
#ifndef MGMT_TESTS_PROVUTIL_TESTDIR_H
#define MGMT_TESTS_PROVUTIL_TESTDIR_H

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "support/temp_dir.h"

class ScratchDirTest : public ::testing::Test {
 protected:
  /// Writes `content` to `name` under the scratch directory, making its folders.
  std::string Write(const std::string& name, const std::string& content) {
    return scratch_.Write(name, content).string();
  }
  std::string Read(const std::string& name) const { return scratch_.Read(name); }
  bool Exists(const std::string& name) const { return scratch_.Exists(name); }

  mgmt::test::TempDir scratch_{"provutil"};
  mgmt::test::ScopedCwd cwd_{scratch_.Path()};
  mgmt::test::ScopedEnv noRoot_{"MGMTAGENT_ROOT", std::nullopt};
  const std::filesystem::path dir_ = scratch_.Path();
};

#endif
