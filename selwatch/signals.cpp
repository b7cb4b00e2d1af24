#include "signals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "runstate.h"

namespace mgmt::selwatch {
namespace {

// The self-pipe a handler writes one byte to, so a main thread waiting in
// WaitForSignal wakes at once.
int g_wakeRead = -1;
int g_wakeWrite = -1;

void Wake() {
  if (g_wakeWrite < 0) return;
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = write(g_wakeWrite, &byte, 1);
  errno = saved;
}

void RequestPoll(int /*signal*/) {
  g_pollRequested.store(true);
  Wake();
}

sigset_t DaemonSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGUSR1);
  return set;
}

}  // namespace

void InstallSignalHandlers() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    g_wakeRead = fds[0];
    g_wakeWrite = fds[1];
  }
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  action.sa_handler = stop_server;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  action.sa_handler = RequestPoll;
  sigaction(SIGUSR1, &action, nullptr);
}

void BlockDaemonSignals(bool block) {
  const sigset_t set = DaemonSignals();
  pthread_sigmask(block ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

void WaitForSignal(int milliseconds) {
  if (g_wakeRead < 0) {
    usleep(static_cast<useconds_t>(milliseconds) * 1000u);
    return;
  }
  pollfd p{g_wakeRead, POLLIN, 0};
  if (poll(&p, 1, milliseconds) > 0) {
    char buffer[64];
    while (read(g_wakeRead, buffer, sizeof(buffer)) > 0) {
    }
  }
}

}  // namespace mgmt::selwatch

void stop_server(int /*signal*/) {
  mainthread_running.store(false);
  mgmt::selwatch::Wake();
}
