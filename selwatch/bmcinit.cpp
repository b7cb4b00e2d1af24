// InitializeBMC and SynchBMCIP: the outside BMC set-up tool, the ipmi.conf
// switches and PEF at start.
#include <syslog.h>
#include <unistd.h>

#include <chrono>

#include "command.h"
#include "installroot.h"
#include "ipmevtmain.h"
#include "runstate.h"

namespace mgmt::selwatch {
namespace {

/// The set-up tool talks to the BMC and may wait on it; a hung run must not
/// hold its worker (or the daemon's stop) for good.
constexpr std::chrono::seconds kBmcSetupLimit{60};

}  // namespace

void RunBmcSetup(const char* option) {
  const std::string tool = RootPath(kBmcSetup);
  static std::atomic<bool> reportedMissing{false};
  if (access(tool.c_str(), X_OK) != 0) {
    // Without the tool the daemon carries on; said once, not every 30 seconds.
    if (!reportedMissing.exchange(true))
      syslog(LOG_ERR, "ERROR,%s cannot be run; the BMC is not set up", kBmcSetup);
    return;
  }
  RunCommand({tool, option}, kBmcSetupLimit);
}

}  // namespace mgmt::selwatch

void InitializeBMC() { mgmt::selwatch::RunBmcSetup("-i"); }

void SynchBMCIP() { mgmt::selwatch::RunBmcSetup("-s"); }
