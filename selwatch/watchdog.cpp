// watchdog_monitor: automatic server restart, one cycle every 10 seconds (the
// cycle itself lives with the watchdog commands, bmclib/asrwatchdog.h). Each
// cycle's reading of ipmi.conf becomes the daemon's g_lanconf, so the event
// worker's two switches follow the file within 10 seconds.
#include "asrwatchdog.h"
#include "ipmevtmain.h"
#include "lanconfshare.h"
#include "runstate.h"

void* watchdog_monitor(void*) {
  mgmt::watchdog::AsrWatchdog watchdog(PublishLanConf);
  // Leaves within a second of a stop, with the watchdog disarmed.
  mgmt::watchdog::RunAsrLoop(watchdog, mgmt::selwatch::DaemonClock(),
                             [] { return mainthread_running.load(); });
  --num_runningthreads;
  return nullptr;
}
