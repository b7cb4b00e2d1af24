// The daemon's signals. SIGTERM and SIGINT stop it; SIGUSR1 asks the event thread
// to poll the SEL at once instead of at the end of its pause. The handlers only
// store flags and wake the main thread, which is the only thread that takes
// these signals (the workers block them).
#ifndef MGMT_SELWATCH_SIGNALS_H
#define MGMT_SELWATCH_SIGNALS_H

/// Signal handler of SIGTERM and SIGINT: clears the run flag.
void stop_server(int signal);

namespace mgmt::selwatch {

/// Installs the handlers.
void InstallSignalHandlers();
/// Blocks the three signals in the calling thread (threads it starts inherit
/// that) or unblocks them again.
void BlockDaemonSignals(bool block);
/// Waits up to `milliseconds` for one of the signals to arrive (returns early
/// when one did).
void WaitForSignal(int milliseconds);

}  // namespace mgmt::selwatch

#endif
