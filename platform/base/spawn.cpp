#include "base/spawn.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <span>
#include <utility>

#include "base/fdio.h"

extern char** environ;

namespace mgmt::base {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Milliseconds left until `deadline` for poll(): -1 for no deadline, at most a
// minute (the caller loops), 0 once it has passed.
int PollTimeout(SteadyClock::time_point deadline) {
  if (deadline == SteadyClock::time_point::max()) return -1;
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
  if (left <= 0) return 0;
  return static_cast<int>(std::min<long long>(left + 1, 60'000));
}

bool Passed(SteadyClock::time_point deadline) {
  return deadline != SteadyClock::time_point::max() && SteadyClock::now() >= deadline;
}

void Fail(ChildResult& result, int error, const char* step) {
  result.error = error;
  result.failedStep = step;
}

// A copy of `fd` at `minimum` or above, close-on-exec, so that no dup2 onto the
// child's numbers meets the same number on both sides or overwrites another source.
UniqueFd CopyAbove(int fd, int minimum) { return UniqueFd(::fcntl(fd, F_DUPFD_CLOEXEC, minimum)); }

// One descriptor the child gets: `source` (ours, above every target) as `target`.
struct Mapping {
  int source;
  int target;
};

// The descriptors of one start: the parent's ends of the pipes, the sources the
// child's numbers are copied from, and the list of those copies.
struct Plumbing {
  UniqueFd input;  // parent's end of standard input (a socket: writes never raise SIGPIPE)
  UniqueFd out;
  UniqueFd err;
  std::vector<UniqueFd> sources;
  std::vector<Mapping> mappings;
  std::vector<int> nullTargets;  // numbers that get /dev/null
  int firstUnused = 3;           // the child keeps nothing from here up
};

bool IsCapture(const StdStream& s) { return s.kind == StdStream::Kind::kCapture; }

// Fills `plumbing` for `options`; false with the failure in `result`.
bool Plan(const ChildOptions& options, Plumbing& plumbing, ChildResult& result) {
  int firstUnused = 3;
  for (const ExtraFd& extra : options.extraFds) {
    if (extra.as < 3 || extra.fd < 0) {
      Fail(result, EINVAL, "descriptor");
      return false;
    }
    firstUnused = std::max(firstUnused, extra.as + 1);
  }
  plumbing.firstUnused = firstUnused;

  auto addSource = [&](UniqueFd fd, int target) {
    if (!fd.Valid()) return false;
    plumbing.mappings.push_back({fd.Get(), target});
    plumbing.sources.push_back(std::move(fd));
    return true;
  };
  auto addStream = [&](const StdStream& stream, int target, UniqueFd* parentEnd) {
    switch (stream.kind) {
      case StdStream::Kind::kNull:
        plumbing.nullTargets.push_back(target);
        return true;
      case StdStream::Kind::kInherit:
        return true;
      case StdStream::Kind::kFd:
        if (addSource(CopyAbove(stream.fd, firstUnused), target)) return true;
        Fail(result, errno, "descriptor");
        return false;
      case StdStream::Kind::kCapture: {
        int fds[2];
        if (parentEnd == nullptr || ::pipe2(fds, O_CLOEXEC) != 0) {
          Fail(result, parentEnd == nullptr ? EINVAL : errno, "pipe");
          return false;
        }
        UniqueFd readEnd(fds[0]);
        UniqueFd writeEnd(fds[1]);
        *parentEnd = UniqueFd(base::MoveAboveStdio(readEnd.Release()));
        if (!parentEnd->Valid() || !addSource(CopyAbove(writeEnd.Get(), firstUnused), target)) {
          Fail(result, errno, "pipe");
          return false;
        }
        return true;
      }
    }
    return false;
  };

  if (options.input && options.detached) {
    // A plain pipe holding the whole text before the program starts (it
    // outlives the start): the text must fit the pipe's buffer.
    if (options.input->size() > PIPE_BUF) {
      Fail(result, E2BIG, "input too long");
      return false;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
      Fail(result, errno, "pipe");
      return false;
    }
    UniqueFd readEnd(fds[0]);
    const UniqueFd writeEnd(fds[1]);
    const std::string& text = *options.input;
    if (!text.empty() &&
        WriteFull(writeEnd.Get(),
                  std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())) != 0) {
      Fail(result, errno, "write the input");
      return false;
    }
    if (!addSource(CopyAbove(readEnd.Get(), firstUnused), 0)) {
      Fail(result, errno, "pipe");
      return false;
    }
  } else if (options.input) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
      Fail(result, errno, "pipe");
      return false;
    }
    UniqueFd ours(fds[0]);
    const UniqueFd theirs(fds[1]);
    // The child only reads; the parent only writes (a socket, so that a child
    // that stops reading never raises SIGPIPE here).
    ::shutdown(ours.Get(), SHUT_RD);
    ::shutdown(theirs.Get(), SHUT_WR);
    plumbing.input = UniqueFd(base::MoveAboveStdio(ours.Release()));
    if (!plumbing.input.Valid() || !addSource(CopyAbove(theirs.Get(), firstUnused), 0)) {
      Fail(result, errno, "pipe");
      return false;
    }
  } else if (!addStream(options.in, 0, nullptr)) {
    return false;
  }
  if (!addStream(options.out, 1, &plumbing.out) || !addStream(options.err, 2, &plumbing.err))
    return false;
  for (const ExtraFd& extra : options.extraFds) {
    if (!addSource(CopyAbove(extra.fd, firstUnused), extra.as)) {
      Fail(result, errno, "descriptor");
      return false;
    }
  }
  return true;
}

// The argument vector and environment as the exec calls take them (pointing
// into `strings`, which must outlive them).
struct ExecVectors {
  std::vector<std::string> strings;
  std::vector<char*> argv;
  std::vector<char*> envp;
  char** Environment() { return envp.empty() ? environ : envp.data(); }
};

void BuildVectors(const std::vector<std::string>& argv, const ChildOptions& options,
                  ExecVectors& v) {
  v.strings = argv;
  const std::size_t argc = argv.size();
  if (options.environment)
    v.strings.insert(v.strings.end(), options.environment->begin(), options.environment->end());
  for (std::size_t i = 0; i < argc; ++i) v.argv.push_back(v.strings[i].data());
  v.argv.push_back(nullptr);
  if (options.environment) {
    for (std::size_t i = argc; i < v.strings.size(); ++i) v.envp.push_back(v.strings[i].data());
    v.envp.push_back(nullptr);
  }
}

// posix_spawn's attribute and file-action objects, destroyed on every path.
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

  [[nodiscard]] bool Ok() const { return okActions_ && okAttr_; }
  posix_spawn_file_actions_t* Actions() { return &actions_; }
  posix_spawnattr_t* Attr() { return &attr_; }

 private:
  posix_spawn_file_actions_t actions_{};
  posix_spawnattr_t attr_{};
  bool okActions_ = false;
  bool okAttr_ = false;
};

pid_t SpawnProgram(const std::string& program, ExecVectors& vectors, const Plumbing& plumbing,
                   bool ownGroup, ChildResult& result) {
  SpawnSetup setup;
  if (!setup.Ok()) {
    Fail(result, ENOMEM, "spawn");
    return -1;
  }
  posix_spawn_file_actions_t* actions = setup.Actions();
  for (const Mapping& m : plumbing.mappings)
    posix_spawn_file_actions_adddup2(actions, m.source, m.target);
  for (int target : plumbing.nullTargets)
    posix_spawn_file_actions_addopen(actions, target, "/dev/null",
                                     target == 0 ? O_RDONLY : O_WRONLY, 0);
  // Numbers below the extra descriptors that are not given: closed (closing one
  // that is not open is no failure for posix_spawn).
  for (int fd = 3; fd < plumbing.firstUnused; ++fd) {
    const bool given = std::any_of(plumbing.mappings.begin(), plumbing.mappings.end(),
                                   [fd](const Mapping& m) { return m.target == fd; });
    if (!given) posix_spawn_file_actions_addclose(actions, fd);
  }
  // Descriptors opened elsewhere without close-on-exec (sockets of other
  // threads' requests) must not live on in the child.
  posix_spawn_file_actions_addclosefrom_np(actions, plumbing.firstUnused);

  sigset_t all;
  sigset_t none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(setup.Attr(), &all);
  posix_spawnattr_setsigmask(setup.Attr(), &none);
  short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
  if (ownGroup) {
    posix_spawnattr_setpgroup(setup.Attr(), 0);
    flags |= POSIX_SPAWN_SETPGROUP;
  }
  posix_spawnattr_setflags(setup.Attr(), flags);

  pid_t pid = -1;
  const bool search = program.find('/') == std::string::npos;
  const int rc = search ? posix_spawnp(&pid, program.c_str(), actions, setup.Attr(),
                                       vectors.argv.data(), vectors.Environment())
                        : posix_spawn(&pid, program.c_str(), actions, setup.Attr(),
                                      vectors.argv.data(), vectors.Environment());
  if (rc != 0) {
    Fail(result, rc, "exec");
    return -1;
  }
  return pid;
}

// Closes every descriptor in [first, last] without allocating.
void CloseRange(int first, int last) {
  if (first > last) return;
  if (::syscall(SYS_close_range, static_cast<unsigned>(first), static_cast<unsigned>(last), 0) == 0)
    return;
  for (int fd = first; fd <= last; ++fd) ::close(fd);
}

// The detached program, in the grandchild: its numbers, nothing else open but
// the status pipe (close-on-exec), default signals, then exec. Async-signal-safe
// calls only: other threads may have held locks at fork time.
[[noreturn]] void ExecDetached(const char* program, char* const* argv, char* const* envp,
                               const Mapping* mappings, std::size_t count, int firstUnused,
                               int status, int maxFd) {
  for (std::size_t i = 0; i < count; ++i) {
    if (::dup2(mappings[i].source, mappings[i].target) < 0) {
      const int e = errno;
      (void)!::write(status, &e, sizeof e);
      ::_exit(127);
    }
  }
  // Keep the given numbers (all below firstUnused) and the status pipe.
  for (int fd = 3; fd < firstUnused; ++fd) {
    bool keep = false;
    for (std::size_t i = 0; i < count && !keep; ++i) keep = mappings[i].target == fd;
    if (!keep) ::close(fd);
  }
  CloseRange(firstUnused, status - 1);
  CloseRange(status + 1, maxFd);
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  for (int sig = 1; sig < NSIG; ++sig) ::sigaction(sig, &byDefault, nullptr);
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::execve(program, argv, envp);
  const int e = errno;
  (void)!::write(status, &e, sizeof e);
  ::_exit(127);
}

// Starts the program detached (see ChildOptions::detached): fork, a new
// session, fork again; the intermediate child ends at once and is reaped here.
void StartDetached(const std::string& program, ExecVectors& vectors, Plumbing& plumbing,
                   ChildResult& result) {
  int statusFds[2];
  if (::pipe2(statusFds, O_CLOEXEC) != 0) return Fail(result, errno, "pipe");
  UniqueFd statusRead(statusFds[0]);
  UniqueFd statusWrite(statusFds[1]);
  UniqueFd devNull(::open("/dev/null", O_RDWR | O_CLOEXEC));
  if (!devNull.Valid()) return Fail(result, errno, "open /dev/null");
  UniqueFd nullSource = CopyAbove(devNull.Get(), plumbing.firstUnused);
  if (!nullSource.Valid()) return Fail(result, errno, "open /dev/null");
  for (int target : plumbing.nullTargets) plumbing.mappings.push_back({nullSource.Get(), target});
  // The status pipe's write end sits above every number the child keeps.
  UniqueFd status = CopyAbove(statusWrite.Get(), plumbing.firstUnused);
  statusWrite.Reset();
  if (!status.Valid()) return Fail(result, errno, "pipe");

  const long openMax = ::sysconf(_SC_OPEN_MAX);
  const int maxFd = openMax > 0 && openMax < INT_MAX ? static_cast<int>(openMax) - 1 : 65535;
  char** envp = vectors.Environment();

  const pid_t child = ::fork();
  if (child < 0) return Fail(result, errno, "fork");
  if (child == 0) {
    // A session of its own: no terminal, no signals aimed at our group.
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
    ExecDetached(program.c_str(), vectors.argv.data(), envp, plumbing.mappings.data(),
                 plumbing.mappings.size(), plumbing.firstUnused, status.Get(), maxFd);
  }
  status.Reset();
  plumbing.sources.clear();
  int childStatus = 0;
  pid_t reaped;
  while ((reaped = ::waitpid(child, &childStatus, 0)) < 0 && errno == EINTR) {
  }
  if (reaped == child && !(WIFEXITED(childStatus) && WEXITSTATUS(childStatus) == 0))
    return Fail(result, EAGAIN, "fork (second)");

  // End of file once the program is executed; its errno when exec failed.
  int execError = 0;
  ssize_t n;
  while ((n = ::read(statusRead.Get(), &execError, sizeof execError)) < 0 && errno == EINTR) {
  }
  if (n == static_cast<ssize_t>(sizeof execError)) return Fail(result, execError, "exec");
  result.started = true;
}

}  // namespace

int ChildResult::ExitCode() const {
  return started && error == 0 && WIFEXITED(waitStatus) && !timedOut && !outputOverflow
             ? WEXITSTATUS(waitStatus)
             : -1;
}

int ChildResult::TermSignal() const {
  return started && WIFSIGNALED(waitStatus) ? WTERMSIG(waitStatus) : 0;
}

std::string ChildResult::ErrorText() const {
  if (error == 0) return {};
  return failedStep + ": " + std::strerror(error);
}

Child::Child(const std::vector<std::string>& argv, const ChildOptions& options)
    : options_(options) {
  const std::string& program =
      options.path.empty() ? (argv.empty() ? options.path : argv[0]) : options.path;
  if (argv.empty() || program.empty()) {
    Fail(result_, EINVAL, "no program");
    return;
  }
  const bool capture = IsCapture(options.out) || IsCapture(options.err);
  if (IsCapture(options.in) || (options.detached && (capture || options.timeLimit.count() > 0 ||
                                                     program.find('/') == std::string::npos))) {
    Fail(result_, EINVAL, "options");
    return;
  }
  const auto start = SteadyClock::now();
  if (options.timeLimit.count() > 0) limitDeadline_ = start + options.timeLimit;

  Plumbing plumbing;
  if (!Plan(options, plumbing, result_)) return;
  ExecVectors vectors;
  BuildVectors(argv, options, vectors);
  if (options.detached) {
    StartDetached(program, vectors, plumbing, result_);
    return;
  }
  pid_ = SpawnProgram(program, vectors, plumbing, options.ownProcessGroup, result_);
  if (pid_ <= 0) return;
  result_.started = true;
  input_ = std::move(plumbing.input);
  out_ = std::move(plumbing.out);
  err_ = std::move(plumbing.err);
  // Only the child holds the other ends now: end of file comes when it (and
  // whatever it started) closes them.
  plumbing.sources.clear();
  if (input_.Valid()) {
    ::fcntl(input_.Get(), F_SETFL, ::fcntl(input_.Get(), F_GETFL) | O_NONBLOCK);
    if (options_.input->empty()) input_.Reset();
  }
}

Child::~Child() {
  if (pid_ > 0) Stop();
}

Child::Child(Child&& other) noexcept { *this = std::move(other); }

Child& Child::operator=(Child&& other) noexcept {
  if (this == &other) return *this;
  if (pid_ > 0) Stop();
  pid_ = std::exchange(other.pid_, -1);
  options_ = std::move(other.options_);
  limitDeadline_ = other.limitDeadline_;
  input_ = std::move(other.input_);
  out_ = std::move(other.out_);
  err_ = std::move(other.err_);
  inputDone_ = other.inputDone_;
  result_ = std::move(other.result_);
  return *this;
}

const ChildResult& Child::Wait(SteadyClock::time_point deadline) {
  if (pid_ <= 0) return result_;
  deadline = std::min(deadline, limitDeadline_);
  Communicate(deadline);
  if (pid_ > 0 && !Reap(deadline)) {
    result_.timedOut = true;
    Stop();
  }
  return result_;
}

void Child::Communicate(SteadyClock::time_point deadline) {
  const std::string& input = options_.input ? *options_.input : std::string();
  while (input_.Valid() || out_.Valid() || err_.Valid()) {
    if (Passed(deadline)) {
      result_.timedOut = true;
      Stop();
      return;
    }
    pollfd fds[3] = {{input_.Get(), POLLOUT, 0}, {out_.Get(), POLLIN, 0}, {err_.Get(), POLLIN, 0}};
    const int ready = ::poll(fds, 3, PollTimeout(deadline));
    if (ready < 0 && errno != EINTR) {
      Fail(result_, errno, "poll");
      Stop();
      return;
    }
    if (ready <= 0) continue;
    if (fds[0].revents != 0) {
      const ssize_t n = ::send(input_.Get(), input.data() + inputDone_, input.size() - inputDone_,
                               MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) inputDone_ += static_cast<std::size_t>(n);
      // A child that stopped reading gets no more; that is its business.
      if ((n < 0 && errno != EINTR && errno != EAGAIN) || inputDone_ == input.size())
        input_.Reset();
    }
    UniqueFd* outputs[2] = {&out_, &err_};
    std::string* texts[2] = {&result_.out, &result_.err};
    for (int i = 0; i < 2; ++i) {
      if (fds[i + 1].revents == 0) continue;
      char buffer[65536];
      const ssize_t n = ::read(outputs[i]->Get(), buffer, sizeof buffer);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n <= 0) {
        outputs[i]->Reset();
        continue;
      }
      texts[i]->append(buffer, static_cast<std::size_t>(n));
      if (options_.outputLimit > 0 &&
          result_.out.size() + result_.err.size() > options_.outputLimit) {
        result_.outputOverflow = true;
        Stop();
        return;
      }
    }
  }
}

bool Child::Reap(SteadyClock::time_point deadline) {
  // A pidfd turns "child ended" into something poll() waits for with a time
  // limit; kernels without one are looked at every 10 ms.
  UniqueFd pidFd;
  for (;;) {
    int status = 0;
    const pid_t got = ::waitpid(pid_, &status, WNOHANG);
    if (got == pid_) {
      result_.waitStatus = status;
      pid_ = -1;
      return true;
    }
    if (got < 0 && errno != EINTR) {
      // Not our child any more (reaped elsewhere): nothing left to wait for.
      Fail(result_, errno, "wait");
      pid_ = -1;
      return true;
    }
    if (Passed(deadline)) return false;
    if (!pidFd.Valid()) pidFd.Reset(static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0)));
    if (pidFd.Valid()) {
      pollfd p{pidFd.Get(), POLLIN, 0};
      ::poll(&p, 1, PollTimeout(deadline));
    } else {
      ::usleep(10'000);
    }
  }
}

void Child::Stop() {
  input_.Reset();
  out_.Reset();
  err_.Reset();
  if (pid_ <= 0) return;
  const pid_t leader = pid_;
  const pid_t target = options_.ownProcessGroup ? -leader : leader;
  if (options_.termGrace.count() > 0) {
    ::kill(target, SIGTERM);
    if (Reap(SteadyClock::now() + options_.termGrace)) {
      if (options_.ownProcessGroup) ::kill(-leader, SIGKILL);
      return;
    }
  }
  ::kill(target, SIGKILL);
  int status = 0;
  pid_t got;
  while ((got = ::waitpid(leader, &status, 0)) < 0 && errno == EINTR) {
  }
  if (got == leader) result_.waitStatus = status;
  pid_ = -1;
  // Whatever of its group is still left (the group id stays reserved while any
  // member lives, so this reaches no stranger).
  if (options_.ownProcessGroup) ::kill(-leader, SIGKILL);
}

ChildResult RunChild(const std::vector<std::string>& argv, const ChildOptions& options) {
  Child child(argv, options);
  child.Wait();
  return child.Result();
}

UniqueFd OpenOutputFile(const std::string& path, mode_t mode) {
  UniqueFd fd(base::MoveAboveStdio(
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode)));
  if (!fd.Valid()) return fd;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink > 1 ||
      ::ftruncate(fd.Get(), 0) != 0) {
    fd.Reset();
  }
  return fd;
}

}  // namespace mgmt::base
