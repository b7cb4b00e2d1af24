// The daemon's start-up, its worker threads and its shutdown.
//
// main prepares, in this order, the platform identity, the remembered SEL
// position, the BMC (set-up tool, ipmi.conf switches, PEF) and the sensor table,
// then starts the workers of g_pthreads and waits for them: event_monitor (one
// SEL poll every 30 seconds), watchdog_monitor (every 10 seconds) and
// bmcip_synch (the BMC set-up tool every 30 seconds). SIGTERM or SIGINT clears
// the run flag; the workers finish their current step and leave; main lingers
// up to 10 seconds (a second signal cuts it short) and disarms the watchdog.
#ifndef MGMT_SELWATCH_IPMEVTMAIN_H
#define MGMT_SELWATCH_IPMEVTMAIN_H

#include <pthread.h>

/// One row of the worker table; a row with a null routine ends it.
struct ThreadEntry {
  pthread_t thread;
  void* (*routine)(void*);
};
extern ThreadEntry g_pthreads[];

/// Starts the workers in table order. 1 when all started; 0 after the first
/// failure (the run flag is then cleared and no further thread is started).
int start_threads();
/// Exit handler: lingers and disarms the watchdog unless main already did.
void AtExit();
/// Waits in one-second steps while the run flag is set, at most 10 times, then
/// disarms the BMC watchdog. 0.
int ExitIPMI();
/// BMC preparation at start: the set-up tool, the ipmi.conf switches, PEF.
void InitializeBMC();
/// Runs the BMC set-up tool's synchronisation ("bmcsetup -s").
void SynchBMCIP();

void* event_monitor(void*);
void* watchdog_monitor(void*);
void* bmcip_synch(void*);

namespace mgmt::selwatch {

/// Runs the set-up tool with `option` under a time limit; its result is ignored.
void RunBmcSetup(const char* option);

}  // namespace mgmt::selwatch

#endif
