// watchdog_monitor: one automatic-server-restart cycle every 10 seconds.
#include "ipmevtmain.h"
#include "ipmiconf.h"
#include "runstate.h"

namespace {
constexpr int kWatchdogInterval = 10;
}  // namespace

void* watchdog_monitor(void*) {
  while (mainthread_running) {
    // The cycle (ipmi.conf against the BMC's timer, set, reset, PublishLanConf)
    // arrives with the watchdog's own work; the worker keeps its place and pace.
    if (!mainthread_running) break;
    mgmt::selwatch::PauseSeconds(kWatchdogInterval, false);
  }
  // Stopped, so a normal stop of the daemon does not restart the host.
  SetWatchdogTimer(0, 0, 0);
  --num_runningthreads;
  return nullptr;
}
