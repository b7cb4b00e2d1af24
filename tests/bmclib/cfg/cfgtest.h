// Fixture for the configuration store tests: a scratch directory, and files
// written and read byte for byte.
#ifndef MGMT_TESTS_BMCLIB_CFG_CFGTEST_H
#define MGMT_TESTS_BMCLIB_CFG_CFGTEST_H

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "cfgstore.h"
#include "support/temp_dir.h"

struct CfgDeleter {
  void operator()(_CfgFile* cfg) const { CfgFree(cfg); }
};
using CfgPtr = std::unique_ptr<_CfgFile, CfgDeleter>;

class CfgTest : public ::testing::Test {
 protected:
  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
  std::string Write(const std::string& name, const std::string& content) const {
    return scratch_.Write(name, content).string();
  }
  std::string Read(const std::string& name) const { return scratch_.Read(name); }
  /// Opens `content` as file "c.conf".
  CfgPtr Open(const std::string& content) {
    return CfgPtr(CfgOpen(Write("c.conf", content).c_str()));
  }
  /// The value of section/key, or "<none>".
  static std::string Get(const CfgPtr& cfg, const char* section, const char* key) {
    const char* value = CfgGetString(cfg.get(), section, key);
    return value != nullptr ? value : "<none>";
  }

  mgmt::test::TempDir scratch_{"cfgstore"};
  mgmt::test::ScopedEnv noRoot_{"MGMTAGENT_ROOT", std::nullopt};
  const std::filesystem::path dir_ = scratch_.Path();
};

#endif
