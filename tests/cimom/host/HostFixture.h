// A provider host over the shipped classes, the test classes and the test
// provider module, with its log captured.
#ifndef MGMT_TESTS_CIMOM_HOST_HOSTFIXTURE_H
#define MGMT_TESTS_CIMOM_HOST_HOSTFIXTURE_H

#include "NameKey.h"
#include "ProviderHost.h"

#include <Pegasus/Common/Exception.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace cimomtest {

/// Directory holding mof/classes/*.mof plus the test classes (made once per run).
const std::filesystem::path& TestClassDir();

/// Lifecycle counters of the test module ("created=N initialized=N ...").
std::string ModuleLifecycle();

/// Runs `op` and returns the CIM status it failed with (CIM_ERR_SUCCESS if none)
/// and the message.
template <class Op>
std::pair<Pegasus::CIMStatusCode, std::string> CimError(Op&& op) {
  try {
    op();
  } catch (const Pegasus::CIMException& e) {
    return {e.getCode(), mgmt::cimom::ToStd(e.getMessage())};
  }
  return {Pegasus::CIM_ERR_SUCCESS, std::string()};
}

class HostFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  mgmt::cimom::HostConfig Config();
  /// Log lines so far, joined by newlines.
  std::string LogText();

  Pegasus::OperationContext ctx_ = mgmt::cimom::ProviderHost::ContextFor("tester");
  Pegasus::CIMNamespaceName ns_{"root/cimv2"};
  std::unique_ptr<mgmt::cimom::ProviderHost> host_;

 private:
  std::mutex logLock_;
  std::vector<std::string> log_;
};

}  // namespace cimomtest

#endif
