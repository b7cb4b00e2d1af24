// State the daemon's threads share: the run flag and the running-thread count,
// the polling interval, the platform model name, the two ipmi.conf switches the
// event thread acts on, and the clock every pause is measured with.
#ifndef MGMT_SELWATCH_RUNSTATE_H
#define MGMT_SELWATCH_RUNSTATE_H

#include <atomic>

#include "base/clock.h"

/// The run flag: every loop of the daemon tests it. Cleared by a stop signal, by
/// a failed thread start and by main at its end. Atomic, since a signal handler
/// stores it and every thread reads it.
extern std::atomic<bool> mainthread_running;
/// Worker threads started and not yet finished.
extern std::atomic<int> num_runningthreads;
/// Seconds between two SEL polls and between two BMC IP synchronisations.
extern const int g_pollingInterval;
/// Platform model name (blanks as underscores), set before the threads start.
extern char g_modelName[256];

namespace mgmt::selwatch {

/// The two ipmi.conf switches the event thread acts on. Published as one atomic
/// word, so a reader never sees half of an update made by the watchdog thread.
struct EventSwitches {
  bool bmcSendEvent = false;        ///< the BMC sends its own alerts (PEF)
  bool shutdownIfTempHigh = false;  ///< power off on critical over-temperature
};
EventSwitches CurrentEventSwitches();
void PublishEventSwitches(EventSwitches switches);

/// The clock the workers pause with (the system's unless a test set another).
base::Clock& DaemonClock();
void SetDaemonClock(base::Clock* clock);

/// Set by SIGUSR1: the event thread ends its pause and polls at once.
extern std::atomic<bool> g_pollRequested;

/// Pauses `seconds` on DaemonClock(), ending early when the run flag clears or
/// (with `forPoll`) when a poll is requested. Woken by WakeAll().
void PauseSeconds(int seconds, bool forPoll);

}  // namespace mgmt::selwatch

#endif
