// Debian's wbemcli as the CIM client of integration tests, and readers of what
// it prints.
#ifndef MGMT_TESTS_SUPPORT_WBEMCLI_H
#define MGMT_TESTS_SUPPORT_WBEMCLI_H

#include <map>
#include <string>
#include <vector>

#include "support/process.h"

namespace mgmt::test {

/// One instance as `wbemcli -nl` prints it: the path on a line of its own, then
/// each property on a line "-Name=value" (value as printed: strings quoted,
/// arrays comma-separated).
struct WbemInstance {
  std::string path;
  std::map<std::string, std::string> properties;
};

/// The instances of `wbemcli -nl ei|gi` output, in order; lines before the
/// first path and lines that are no property are skipped.
std::vector<WbemInstance> ParseWbemcliInstances(const std::string& out);

/// The lines of `out` that are not empty (one object path per line for `ein`).
std::vector<std::string> NonEmptyLines(const std::string& out);

/// The key value of `name` in an instance path such as
/// host:port/root/cimv2:Class.Name="cpu0" ("" when absent); quotes removed.
std::string KeyValue(const std::string& path, const std::string& name);

/// Runs wbemcli with these arguments (time limit 60 s; output and errors apart).
RunResult Wbemcli(const std::vector<std::string>& args);

}  // namespace mgmt::test

#endif
