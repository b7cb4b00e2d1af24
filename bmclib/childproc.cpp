#include "childproc.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <thread>

extern char** environ;

namespace mgmt::bmc {

pid_t SpawnQuiet(const std::vector<std::string>& argv) {
  if (argv.empty() || argv[0].empty()) {
    errno = EINVAL;
    return -1;
  }
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return -1;
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  // The child starts with default signal handling and an empty mask, whatever
  // the daemon has blocked or caught.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    errno = rc;
    return -1;
  }
  return pid;
}

int ReapWithin(const std::vector<pid_t>& pids, std::chrono::milliseconds limit) {
  std::vector<pid_t> running;
  for (pid_t pid : pids)
    if (pid > 0) running.push_back(pid);
  int ended = 0;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!running.empty()) {
    std::erase_if(running, [&](pid_t pid) {
      const pid_t r = waitpid(pid, nullptr, WNOHANG);
      if (r == pid) ++ended;
      return r == pid || (r < 0 && errno == ECHILD);
    });
    if (running.empty() || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (pid_t pid : running) {
    kill(pid, SIGKILL);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  return ended;
}

}  // namespace mgmt::bmc
