// The worker table, start_threads, and the event and BMC IP workers.
#include <syslog.h>

#include <cstring>

#include "ipmevtmain.h"
#include "ipmievt.h"
#include "oemparser.h"
#include "runstate.h"
#include "signals.h"

ThreadEntry g_pthreads[] = {
    {pthread_t{}, event_monitor},
    {pthread_t{}, watchdog_monitor},
    {pthread_t{}, bmcip_synch},
    {pthread_t{}, nullptr},
};

int start_threads() {
  // The workers start with the stop signals blocked, so a signal always reaches
  // the main thread: no worker's system call is cut short by it.
  mgmt::selwatch::BlockDaemonSignals(true);
  int started = 1;
  for (ThreadEntry* entry = g_pthreads; entry->routine != nullptr; ++entry) {
    const int rc = pthread_create(&entry->thread, nullptr, entry->routine, nullptr);
    if (rc != 0) {
      entry->thread = pthread_t{};
      syslog(LOG_ERR, "ERROR,cannot start a worker thread: %s", std::strerror(rc));
      mainthread_running = false;
      started = 0;
      break;
    }
    ++num_runningthreads;
  }
  mgmt::selwatch::BlockDaemonSignals(false);
  return started;
}

void* event_monitor(void*) {
  InitParserLib(g_modelName, &g_ParserLibrary);
  while (mainthread_running) {
    mgmt::selwatch::RunEventCycle();
    if (!mainthread_running) break;
    mgmt::selwatch::PauseSeconds(g_pollingInterval, true);
  }
  --num_runningthreads;
  CloseParserLib(&g_ParserLibrary);
  return nullptr;
}

void* bmcip_synch(void*) {
  while (mainthread_running) {
    SynchBMCIP();
    if (!mainthread_running) break;
    mgmt::selwatch::PauseSeconds(g_pollingInterval, false);
  }
  --num_runningthreads;
  return nullptr;
}
