// watchdog_monitor: one automatic-server-restart cycle every 10 seconds.
#include "watchdog.h"

#include "ipmevtmain.h"
#include "runstate.h"

namespace {
constexpr int kWatchdogInterval = 10;
}  // namespace

void DisarmWatchdog() {
  // Set Watchdog Timer with everything zero arrives with the watchdog commands.
}

void* watchdog_monitor(void*) {
  while (mainthread_running) {
    // The cycle (ipmi.conf against the BMC's timer, set, reset) arrives with the
    // watchdog commands; until then the worker keeps its place and its timing.
    if (!mainthread_running) break;
    mgmt::selwatch::PauseSeconds(kWatchdogInterval, false);
  }
  DisarmWatchdog();
  --num_runningthreads;
  return nullptr;
}
