#include "detach.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <span>

#include "base/fd.h"
#include "base/fdio.h"

extern char** environ;

namespace mgmt::bmcconf {
namespace {

using base::UniqueFd;

int Fail(int code, const char* what, std::string* error) {
  if (error != nullptr) *error = std::string(what) + ": " + std::strerror(code);
  return code;
}

// A pipe whose ends are close-on-exec and above the standard descriptors, so
// that a dup2 onto 0-2 never meets the same number on both sides.
bool MakePipe(UniqueFd& readEnd, UniqueFd& writeEnd) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  readEnd.Reset(base::MoveAboveStdio(fds[0]));
  writeEnd.Reset(base::MoveAboveStdio(fds[1]));
  return readEnd.Valid() && writeEnd.Valid();
}

// Closes every descriptor from `first` up, without allocating.
void CloseFrom(int first, int maxFd) {
  if (first > maxFd) return;
  if (::syscall(SYS_close_range, static_cast<unsigned>(first), static_cast<unsigned>(maxFd), 0) ==
      0)
    return;
  for (int fd = first; fd <= maxFd; ++fd) ::close(fd);
}

// The grandchild: standard streams, nothing else open but the status pipe
// (close-on-exec), default signals, then the program. Async-signal-safe calls
// only: the parent may have had other threads holding locks at fork time.
[[noreturn]] void ExecProgram(char* const* args, int input, int devNull, int status, int maxFd) {
  if (::dup2(input, STDIN_FILENO) < 0 || ::dup2(devNull, STDOUT_FILENO) < 0 ||
      ::dup2(devNull, STDERR_FILENO) < 0) {
    const int e = errno;
    (void)!::write(status, &e, sizeof e);
    ::_exit(127);
  }
  // Keep the status pipe (it closes itself at exec) and close the rest.
  CloseFrom(3, status - 1);
  CloseFrom(status + 1, maxFd);
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  for (int sig = 1; sig < NSIG; ++sig) ::sigaction(sig, &byDefault, nullptr);
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::execve(args[0], args, environ);
  const int e = errno;
  (void)!::write(status, &e, sizeof e);
  ::_exit(127);
}

}  // namespace

int StartDetached(const std::vector<std::string>& argv, std::string_view input,
                  std::string* error) {
  if (argv.empty()) return Fail(EINVAL, "no program", error);
  if (input.size() > PIPE_BUF) return Fail(E2BIG, "input too long", error);

  // Everything the children use is made before the first fork.
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  UniqueFd devNull(base::MoveAboveStdio(::open("/dev/null", O_RDWR | O_CLOEXEC)));
  if (!devNull.Valid()) return Fail(errno, "open /dev/null", error);
  UniqueFd inputRead, inputWrite, statusRead, statusWrite;
  if (!MakePipe(inputRead, inputWrite) || !MakePipe(statusRead, statusWrite))
    return Fail(errno, "pipe", error);
  // The input fits the pipe's buffer (at least PIPE_BUF), so this never blocks.
  if (!input.empty() &&
      base::WriteFull(inputWrite.Get(),
                      std::span(reinterpret_cast<const uint8_t*>(input.data()), input.size())) != 0)
    return Fail(errno, "write the input", error);
  inputWrite.Reset();

  const long openMax = ::sysconf(_SC_OPEN_MAX);
  const int maxFd = openMax > 0 && openMax < INT_MAX ? static_cast<int>(openMax) - 1 : 65535;

  const pid_t child = ::fork();
  if (child < 0) return Fail(errno, "fork", error);
  if (child == 0) {
    // A session of its own: no terminal, no signals aimed at the server's group.
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
    ExecProgram(args.data(), inputRead.Get(), devNull.Get(), statusWrite.Get(), maxFd);
  }
  inputRead.Reset();
  statusWrite.Reset();

  int childStatus = 0;
  pid_t reaped;
  while ((reaped = ::waitpid(child, &childStatus, 0)) < 0 && errno == EINTR) {
  }
  if (reaped == child && !(WIFEXITED(childStatus) && WEXITSTATUS(childStatus) == 0))
    return Fail(EAGAIN, "fork (second)", error);

  // End of file once the program is executed; its errno when exec failed.
  int execError = 0;
  ssize_t n;
  while ((n = ::read(statusRead.Get(), &execError, sizeof execError)) < 0 && errno == EINTR) {
  }
  if (n == static_cast<ssize_t>(sizeof execError)) return Fail(execError, "exec", error);
  return 0;
}

}  // namespace mgmt::bmcconf
