// Fixture for the configuration store tests: a scratch directory, and files
// written and read byte for byte.
#ifndef MGMT_TESTS_BMCLIB_CFG_CFGTEST_H
#define MGMT_TESTS_BMCLIB_CFG_CFGTEST_H

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "cfgstore.h"

struct CfgDeleter {
  void operator()(_CfgFile* cfg) const { CfgFree(cfg); }
};
using CfgPtr = std::unique_ptr<_CfgFile, CfgDeleter>;

class CfgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "cfgstore.XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    unsetenv("MGMTAGENT_ROOT");
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    unsetenv("MGMTAGENT_ROOT");
  }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
  std::string Write(const std::string& name, const std::string& content) const {
    std::ofstream(dir_ / name, std::ios::binary) << content;
    return PathOf(name);
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  /// Opens `content` as file "c.conf".
  CfgPtr Open(const std::string& content) {
    return CfgPtr(CfgOpen(Write("c.conf", content).c_str()));
  }
  /// The value of section/key, or "<none>".
  static std::string Get(const CfgPtr& cfg, const char* section, const char* key) {
    const char* value = CfgGetString(cfg.get(), section, key);
    return value != nullptr ? value : "<none>";
  }

  std::filesystem::path dir_;
};

#endif
