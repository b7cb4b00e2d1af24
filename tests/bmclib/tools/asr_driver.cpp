// The watchdog loop of the daemon's watchdog thread, alone in a process, for the
// integration test against the simulated BMC: runs on the real clock until
// SIGTERM or SIGINT, then leaves the loop (which disarms the watchdog).
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <thread>

#include "asrwatchdog.h"
#include "base/clock.h"

int main() {
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGTERM);
  sigaddset(&stops, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);

  std::atomic<bool> running{true};
  std::thread waiter([&] {
    int signal = 0;
    sigwait(&stops, &signal);
    running = false;
    mgmt::base::SystemClock().WakeAll();
  });
  mgmt::watchdog::AsrWatchdog watchdog;
  mgmt::watchdog::RunAsrLoop(watchdog, mgmt::base::SystemClock(), [&] { return running.load(); });
  waiter.join();
  return 0;
}
