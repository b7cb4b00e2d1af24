#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace mgmt::test {

namespace {

using Clock = std::chrono::steady_clock;

// Closes a descriptor once; -1 is nothing.
void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

int DecodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

std::vector<std::string> BuildEnvironment(const Environment& env) {
  std::vector<std::string> vars;
  if (env.inherit) {
    for (char** e = environ; *e != nullptr; ++e) vars.emplace_back(*e);
  }
  for (const auto& change : env.changes) {
    const auto eq = change.find('=');
    const std::string prefix = change.substr(0, eq) + "=";
    std::erase_if(vars, [&](const std::string& v) { return v.starts_with(prefix); });
    if (eq != std::string::npos) vars.push_back(change);
  }
  return vars;
}

// The program a name without '/' stands for, through the child's own PATH (a
// test may give its child a PATH with stand-ins first).
std::string Resolve(const std::string& program, const std::vector<std::string>& envVars) {
  if (program.find('/') != std::string::npos) return program;
  std::string path = "/usr/local/bin:/usr/bin:/bin";
  for (const auto& v : envVars) {
    if (v.starts_with("PATH=")) path = v.substr(5);
  }
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    if (dir.empty()) dir = ".";
    const std::string candidate = dir + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return program;
}

// File actions and attributes shared by both ways of starting a child: only the
// descriptors set up here survive, signals have their default dispositions and
// none is blocked (a test thread may block SIGTERM; its child must not).
class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions_);
    posix_spawnattr_init(&attr_);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr_, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int s : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGCHLD}) sigaddset(&defaults, s);
    posix_spawnattr_setsigdefault(&attr_, &defaults);
    posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attr_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  void Dup(int fd, int target) { posix_spawn_file_actions_adddup2(&actions_, fd, target); }
  void Open(int target, const std::string& path, int flags) {
    paths_.push_back(path);
    posix_spawn_file_actions_addopen(&actions_, target, paths_.back().c_str(), flags, 0600);
  }
  void Chdir(const std::filesystem::path& dir) {
    if (dir.empty()) return;
    paths_.push_back(dir.string());
    posix_spawn_file_actions_addchdir_np(&actions_, paths_.back().c_str());
  }

  /// Starts the child; returns its pid, or -1 with `error` set.
  pid_t Spawn(const std::vector<std::string>& argv, const Environment& env, std::string& error) {
    if (argv.empty()) {
      error = "no program given";
      return -1;
    }
    posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
    std::vector<std::string> vars = BuildEnvironment(env);
    const std::string program = Resolve(argv[0], vars);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& v : vars) envp.push_back(v.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions_, &attr_, args.data(), envp.data());
    if (rc != 0) {
      error = "cannot start " + argv[0] + ": " + std::strerror(rc);
      return -1;
    }
    return pid;
  }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attr_;
  std::vector<std::string> paths_;  // addopen/addchdir keep pointers until the spawn
};

// Writes to a pipe whose reader may be gone without the SIGPIPE ending the
// test program: the signal is blocked for this thread and taken back if raised.
ssize_t WriteNoSigpipe(int fd, const char* data, std::size_t size) {
  sigset_t pipeSet, old;
  sigemptyset(&pipeSet);
  sigaddset(&pipeSet, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
  const ssize_t n = ::write(fd, data, size);
  if (n < 0 && errno == EPIPE) {
    const timespec zero{0, 0};
    while (sigtimedwait(&pipeSet, nullptr, &zero) == SIGPIPE) {
    }
    errno = EPIPE;
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return n;
}

// Blocking waitpid that survives EINTR.
int Reap(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return DecodeStatus(status);
}

}  // namespace

RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options) {
  RunResult result;
  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    result.err = std::string("pipe: ") + std::strerror(errno);
    for (int* p : {in, out, err}) CloseFd(p[0]), CloseFd(p[1]);
    return result;
  }
  pid_t pid = -1;
  {
    SpawnSetup setup;
    setup.Dup(in[0], STDIN_FILENO);
    setup.Dup(out[1], STDOUT_FILENO);
    setup.Dup(options.mergeStderr ? out[1] : err[1], STDERR_FILENO);
    setup.Chdir(options.cwd);
    pid = setup.Spawn(argv, options.env, result.err);
  }
  CloseFd(in[0]);
  CloseFd(out[1]);
  CloseFd(err[1]);
  if (pid < 0) {
    CloseFd(in[1]), CloseFd(out[0]), CloseFd(err[0]);
    return result;
  }
  if (options.input.empty()) CloseFd(in[1]);
  if (in[1] >= 0) ::fcntl(in[1], F_SETFL, O_NONBLOCK);

  const auto deadline = Clock::now() + options.timeout;
  std::size_t written = 0;
  while (out[0] >= 0 || err[0] >= 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      result.timedOut = true;
      ::kill(pid, SIGKILL);
      break;
    }
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
    const int ready = ::poll(fds, 3, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    if (fds[2].revents != 0) {
      const ssize_t n =
          WriteNoSigpipe(in[1], options.input.data() + written, options.input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if ((n < 0 && errno != EAGAIN) || written == options.input.size()) CloseFd(in[1]);
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) continue;
      int& fd = i == 0 ? out[0] : err[0];
      char buf[4096];
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n > 0) {
        (i == 0 ? result.out : result.err).append(buf, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        CloseFd(fd);
      }
    }
  }
  CloseFd(in[1]), CloseFd(out[0]), CloseFd(err[0]);
  result.status = Reap(pid);
  return result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const SpawnOptions& options) {
  int pipeFds[2] = {-1, -1};
  SpawnSetup setup;
  auto route = [&](const Output& o, int target) {
    switch (o.kind) {
      case Output::Kind::kInherit:
        break;
      case Output::Kind::kNull:
        setup.Open(target, "/dev/null", O_WRONLY);
        break;
      case Output::Kind::kFile:
        setup.Open(target, o.file.string(), O_WRONLY | O_CREAT | O_TRUNC);
        break;
      case Output::Kind::kPipe:
        if (target != STDOUT_FILENO) throw std::invalid_argument("only standard output is piped");
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        setup.Dup(pipeFds[1], target);
        break;
    }
  };
  route(options.out, STDOUT_FILENO);
  route(options.err, STDERR_FILENO);
  setup.Open(STDIN_FILENO, "/dev/null", O_RDONLY);
  setup.Chdir(options.cwd);
  std::string error;
  pid_ = setup.Spawn(argv, options.env, error);
  CloseFd(pipeFds[1]);
  outFd_ = pipeFds[0];
  if (pid_ < 0) {
    CloseFd(outFd_);
    throw std::runtime_error(error);
  }
}

ChildProcess::~ChildProcess() {
  Stop(SIGTERM, std::chrono::seconds(5));
  CloseFd(outFd_);
}

bool ChildProcess::Running() { return !Wait(std::chrono::milliseconds(0)).has_value(); }

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
  if (status_ || pid_ < 0) return status_;
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_ || (r < 0 && errno != EINTR)) {
      status_ = r == pid_ ? DecodeStatus(status) : -1;
      return status_;
    }
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

int ChildProcess::Stop(int signal, std::chrono::milliseconds grace) {
  if (pid_ < 0) return -1;
  if (!Wait(std::chrono::milliseconds(0))) {
    ::kill(pid_, signal);
    if (!Wait(grace)) {
      ::kill(pid_, SIGKILL);
      status_ = Reap(pid_);
    }
  }
  return *status_;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (const auto nl = pending_.find('\n'); nl != std::string::npos) {
      std::string line = pending_.substr(0, nl);
      pending_.erase(0, nl + 1);
      return line;
    }
    if (outFd_ < 0) return std::nullopt;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd p{outFd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    char buf[512];
    const ssize_t n = ::read(outFd_, buf, sizeof buf);
    if (n > 0) {
      pending_.append(buf, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      CloseFd(outFd_);
    }
  }
}

}  // namespace mgmt::test
