// InitializeBMC and SynchBMCIP: the outside BMC set-up tool, the ipmi.conf
// switches and PEF at start.
#include <syslog.h>
#include <unistd.h>

#include <chrono>

#include "bmcpaths.h"
#include "command.h"
#include "installroot.h"
#include "ipmevtmain.h"
#include "ipmiconf.h"
#include "ipmievt.h"
#include "lanconfshare.h"
#include "runstate.h"

CBMCLanConf g_lanconf;

void PublishLanConf(const CBMCLanConf& conf) {
  g_lanconf = conf;
  mgmt::selwatch::PublishEventSwitches({conf.GetBMCSendEvent(), conf.GetShutdownIfTempHigh()});
}

namespace mgmt::selwatch {
namespace {

/// The set-up tool talks to the BMC and may wait on it; a hung run must not
/// hold its worker (or the daemon's stop) for good.
constexpr std::chrono::seconds kBmcSetupLimit{60};

}  // namespace

void RunBmcSetup(const char* option) {
  const std::string tool = RootPath(bmc::kBmcSetupPath);
  static std::atomic<bool> reportedMissing{false};
  if (access(tool.c_str(), X_OK) != 0) {
    // Without the tool the daemon carries on; said once, not every 30 seconds.
    if (!reportedMissing.exchange(true))
      syslog(LOG_ERR, "ERROR,%s cannot be run; the BMC is not set up", bmc::kBmcSetupPath);
    return;
  }
  RunCommand({tool, option}, kBmcSetupLimit);
}

}  // namespace mgmt::selwatch

void InitializeBMC() {
  mgmt::selwatch::RunBmcSetup("-i");
  // Only the two switches are taken from the file here: the watchdog worker
  // compares its first read against the (zero) watchdog settings it finds.
  CBMCLanConf fromFile;
  fromFile.GetFromFile(nullptr);
  CBMCLanConf conf = g_lanconf;
  conf.SetBMCSendEvent(fromFile.GetBMCSendEvent());
  conf.SetShutdownIfTempHigh(fromFile.GetShutdownIfTempHigh());
  // On these platforms the daemon sends the traps itself, never the BMC.
  if (mgmt::selwatch::IsSelfAlertingModel(g_modelName)) {
    conf.SetBMCSendEvent(false);
    DisablePEF();
  }
  if (conf.GetBMCSendEvent()) EnablePEF();
  PublishLanConf(conf);
}

void SynchBMCIP() { mgmt::selwatch::RunBmcSetup("-s"); }
