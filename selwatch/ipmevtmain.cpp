// selwatch: watches the BMC's System Event Log and sends every new event as a
// Platform Event Trap to the configured trap sinks. No command-line options;
// SIGTERM or SIGINT stops it, SIGUSR1 makes it poll the SEL at once.
#include "ipmevtmain.h"

#include <syslog.h>

#include <cstdlib>

#include "ipmiconf.h"
#include "ipmievt.h"
#include "ipmipet.h"
#include "ipmisensor.h"
#include "pettrap.h"
#include "runstate.h"
#include "signals.h"

namespace {

/// Set once main has run the exit steps itself, so the exit handler does not
/// linger a second time.
std::atomic<bool> g_exitDone{false};

}  // namespace

int ExitIPMI() {
  for (int i = 0; i < 10 && mainthread_running; ++i) mgmt::selwatch::WaitForSignal(1000);
  // Stopped, so a normal stop of the daemon does not restart the host.
  SetWatchdogTimer(0, 0, 0);
  return 0;
}

void AtExit() {
  if (g_exitDone) return;
  mainthread_running = true;
  ExitIPMI();
}

int main() {
  // Under systemd standard error already goes to the journal beside syslog.
  openlog("selwatch", LOG_PID | (std::getenv("JOURNAL_STREAM") == nullptr ? LOG_PERROR : 0),
          LOG_DAEMON);
  // The environment and net-snmp are set up before any thread exists.
  mgmt::selwatch::InitTrapSender();

  mgmt::selwatch::InstallSignalHandlers();
  std::atexit(AtExit);
  InitModelNameAndUUID();
  LoadSELLastRecord();
  InitializeBMC();
  GetSDRSensors();
  syslog(LOG_INFO, "started: model \"%s\", %d sensors, SEL position %u", g_modelName, g_nNumSensors,
         static_cast<unsigned>(g_wSELLastRecordID));
  start_threads();

  while (num_runningthreads > 0) {
    mgmt::selwatch::WaitForSignal(1000);
    // A stop ends the workers' pauses at once rather than at their next step.
    if (!mainthread_running) mgmt::selwatch::DaemonClock().WakeAll();
  }
  for (ThreadEntry* entry = g_pthreads; entry->routine != nullptr; ++entry) {
    if (entry->thread != pthread_t{}) pthread_join(entry->thread, nullptr);
  }
  mainthread_running = false;

  // The exit steps run here, while every object they use still exists; an exit
  // handler runs after static objects made later than its registration are gone.
  mainthread_running = true;
  ExitIPMI();
  g_exitDone = true;
  syslog(LOG_INFO, "stopped");
  return 0;
}
