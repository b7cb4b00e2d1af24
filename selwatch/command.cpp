#include "command.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace mgmt::selwatch {
namespace {

using Clock = std::chrono::steady_clock;

/// Waits for `pid` until `deadline`. True with `*status` set when it ended.
bool WaitUntil(pid_t pid, Clock::time_point deadline, int* status) {
  // A pidfd turns "child ended" into something poll() can wait for with a
  // time-out; kernels without it fall back to short naps.
  const int pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  for (;;) {
    const pid_t done = waitpid(pid, status, WNOHANG);
    if (done == pid) {
      if (pidFd >= 0) close(pidFd);
      return true;
    }
    if (done < 0 && errno != EINTR) {
      if (pidFd >= 0) close(pidFd);
      *status = 0;
      return true;  // not our child any more: nothing left to wait for
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    if (pidFd >= 0) {
      pollfd p{pidFd, POLLIN, 0};
      poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 60'000)));
    } else {
      usleep(20'000);
    }
  }
  if (pidFd >= 0) close(pidFd);
  return false;
}

}  // namespace

int RunCommand(const std::vector<std::string>& argv, std::chrono::milliseconds limit) {
  if (argv.empty() || argv[0].empty()) return kCommandFailed;
  std::vector<std::string> copies(argv);
  std::vector<char*> args;
  args.reserve(copies.size() + 1);
  for (auto& a : copies) args.push_back(a.data());
  args.push_back(nullptr);

  posix_spawnattr_t attr;
  posix_spawn_file_actions_t actions;
  if (posix_spawnattr_init(&attr) != 0) return kCommandFailed;
  if (posix_spawn_file_actions_init(&actions) != 0) {
    posix_spawnattr_destroy(&attr);
    return kCommandFailed;
  }
  // The daemon's threads block the stop signals; the program starts with
  // nothing blocked and every signal at its default.
  sigset_t all;
  sigset_t none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setsigmask(&attr, &none);
  // A group of its own, so a program that overruns is ended with whatever it
  // started itself.
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);

  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    syslog(LOG_ERR, "ERROR,cannot run %s: %s", argv[0].c_str(), std::strerror(rc));
    return kCommandFailed;
  }

  int status = 0;
  if (!WaitUntil(pid, Clock::now() + limit, &status)) {
    syslog(LOG_ERR, "ERROR,%s did not end within %lld s; stopping it", argv[0].c_str(),
           static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(limit).count()));
    kill(-pid, SIGTERM);
    if (!WaitUntil(pid, Clock::now() + std::chrono::seconds(2), &status)) {
      kill(-pid, SIGKILL);
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }
    kill(-pid, SIGKILL);  // anything of the group still left
    return kCommandFailed;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : kCommandFailed;
}

}  // namespace mgmt::selwatch
