// Helpers of the BMC configuration tests: an installation root with the
// configuration directory, files read and written whole, and the requests the
// scripted BMC received in a comparable form.
#ifndef MGMT_TESTS_BMCLIB_CONF_CONFTEST_H
#define MGMT_TESTS_BMCLIB_CONF_CONFTEST_H

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "bmcpaths.h"
#include "support/scripted_bmc.h"
#include "support/temp_dir.h"

namespace conftest {

using Bytes = std::vector<uint8_t>;
/// netFn, cmd, request data.
using Sent = std::tuple<int, int, Bytes>;

inline std::vector<Sent> SentRequests(const mgmt::test::ScriptedBmc& bmc) {
  std::vector<Sent> out;
  for (const auto& r : bmc.Requests())
    out.emplace_back(r.request.netFn, r.request.cmd, r.request.data);
  return out;
}

using mgmt::test::ReadFile;
using mgmt::test::WriteFile;

inline std::string Golden(const std::string& name) {
  return ReadFile(mgmt::test::SourcePath("tests/bmclib/conf/golden") / name);
}

/// The configuration files under an installation root.
class ConfFiles {
 public:
  explicit ConfFiles(std::filesystem::path root) : root_(std::move(root)) {
    std::filesystem::create_directories(Path(mgmt::bmc::kConfigDir));
  }
  std::filesystem::path Path(const char* absolute) const { return root_.string() + absolute; }
  std::filesystem::path IpmiConf() const { return Path(mgmt::bmc::kIpmiConfPath); }
  std::filesystem::path ChannelConf() const { return Path(mgmt::bmc::kBmcChannelConfPath); }

 private:
  std::filesystem::path root_;
};

}  // namespace conftest

#endif
