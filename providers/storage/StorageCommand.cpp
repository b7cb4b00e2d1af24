#include "StorageCommand.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "base/fd.h"
#include "installroot.h"

namespace mgmt::storage {

namespace {

using Clock = std::chrono::steady_clock;

/// The environment of every command: the C locale's listings and the system's
/// own directories, nothing of the object manager's environment.
char kLocale[] = "LC_ALL=C";
char kPath[] = "PATH=/usr/sbin:/usr/bin:/sbin:/bin";
char* kEnvironment[] = {kLocale, kPath, nullptr};

/// posix_spawn's attribute and file-action objects, destroyed on every path.
class SpawnSetup {
 public:
  SpawnSetup() {
    okActions_ = posix_spawn_file_actions_init(&actions_) == 0;
    okAttr_ = posix_spawnattr_init(&attr_) == 0;
  }
  ~SpawnSetup() {
    if (okActions_) posix_spawn_file_actions_destroy(&actions_);
    if (okAttr_) posix_spawnattr_destroy(&attr_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  bool Ok() const { return okActions_ && okAttr_; }
  posix_spawn_file_actions_t* Actions() { return &actions_; }
  posix_spawnattr_t* Attr() { return &attr_; }

 private:
  posix_spawn_file_actions_t actions_{};
  posix_spawnattr_t attr_{};
  bool okActions_ = false;
  bool okAttr_ = false;
};

/// Waits for the child until `deadline`; kills its process group when it is not
/// done by then. Always reaps it. A pidfd tells at once when the child ends;
/// kernels without one are polled.
void Reap(pid_t pid, Clock::time_point deadline) {
  const base::UniqueFd pidfd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
  int status = 0;
  for (;;) {
    const pid_t got = waitpid(pid, &status, WNOHANG);
    if (got == pid || (got < 0 && errno != EINTR)) return;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd p{pidfd.Get(), POLLIN, 0};
    poll(&p, pidfd.Valid() ? 1 : 0, pidfd.Valid() ? static_cast<int>(left) : 2);
  }
  kill(-pid, SIGKILL);
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

std::optional<std::string> RunCommandOutput(const std::string& program,
                                            const std::vector<std::string>& args,
                                            std::chrono::milliseconds timeLimit) {
  const Clock::time_point deadline = Clock::now() + timeLimit;
  const std::string resolved = RootPath(program);

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
  base::UniqueFd readEnd(fds[0]);
  base::UniqueFd writeEnd(fds[1]);

  SpawnSetup setup;
  if (!setup.Ok()) return std::nullopt;
  posix_spawn_file_actions_addopen(setup.Actions(), 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(setup.Actions(), writeEnd.Get(), 1);
  posix_spawn_file_actions_addopen(setup.Actions(), 2, "/dev/null", O_WRONLY, 0);
  // Descriptors the object manager opened without close-on-exec (sockets of other
  // requests) must not live on in the child.
  posix_spawn_file_actions_addclosefrom_np(setup.Actions(), 3);
  sigset_t all;
  sigset_t none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(setup.Attr(), &all);
  posix_spawnattr_setsigmask(setup.Attr(), &none);
  // A group of its own, so that a time-out kills whatever the command started too.
  posix_spawnattr_setpgroup(setup.Attr(), 0);
  posix_spawnattr_setflags(setup.Attr(),
                           POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

  std::vector<char*> argv;
  std::string name = program;
  argv.push_back(name.data());
  std::vector<std::string> copies(args);
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid = -1;
  if (posix_spawn(&pid, resolved.c_str(), setup.Actions(), setup.Attr(), argv.data(),
                  kEnvironment) != 0) {
    return std::nullopt;
  }
  writeEnd.Reset();

  std::string output;
  bool failed = false;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      failed = true;
      break;
    }
    pollfd p{readEnd.Get(), POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;  // time is checked above
    char buf[8192];
    const ssize_t n = read(readEnd.Get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (output.size() + static_cast<std::size_t>(n) > kMaxCommandOutput) {
      failed = true;
      break;
    }
    output.append(buf, static_cast<std::size_t>(n));
  }
  readEnd.Reset();
  Reap(pid, failed ? Clock::now() : deadline);
  if (failed) return std::nullopt;
  return output;
}

}  // namespace mgmt::storage
