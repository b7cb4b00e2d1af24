// A scratch directory per test, made the working directory while the test runs
// (the utilities create their files there), removed with everything in it after.
#ifndef MGMT_TESTS_PROVUTIL_TESTDIR_H
#define MGMT_TESTS_PROVUTIL_TESTDIR_H

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class ScratchDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "provutil.XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    unsetenv("MGMTAGENT_ROOT");
  }
  void TearDown() override {
    std::filesystem::current_path(old_cwd_);
    std::filesystem::remove_all(dir_);
    unsetenv("MGMTAGENT_ROOT");
  }

  /// Writes `content` to `name` under the scratch directory, making its folders.
  std::string Write(const std::string& name, const std::string& content) {
    const auto path = dir_ / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  bool Exists(const std::string& name) const {
    return std::filesystem::exists(std::filesystem::symlink_status(dir_ / name));
  }

  std::filesystem::path dir_;
  std::filesystem::path old_cwd_;
};

#endif
