// The tool side of the SMBIOS access functions: platform type and model name as
// the installed smbiosinfo tool reports them, through its output files.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <string_view>

#include "base/fd.h"
#include "base/fdio.h"
#include "installroot.h"
#include "smbapi.h"

extern char** environ;

namespace mgmt::smbapi {
namespace {

// The tool reads a table and asks the BMC once; the IMB layer waits at most 30 s
// for an answer. A tool that takes longer than this is stopped.
constexpr std::chrono::seconds kToolTimeLimit{60};
constexpr std::string_view kProductNamePrefix = "Product Name: ";

// Waits for `pid` until `limit` has passed, then kills it and reaps it. Children
// are always reaped, so none is left behind as a zombie.
void WaitWithLimit(pid_t pid, std::chrono::seconds limit) {
  const base::UniqueFd pidFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
  if (pidFd.Valid()) {
    pollfd p{pidFd.Get(), POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) {
        ::kill(pid, SIGKILL);
        break;
      }
      const int n = ::poll(&p, 1, static_cast<int>(left.count()));
      if (n > 0 || (n < 0 && errno != EINTR)) break;
    }
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

// Opens the output file the way the shell's ">" would, but never through a
// symbolic link, onto anything but a plain file, or onto a file with other names
// (a hard link planted to some other file).
base::UniqueFd OpenOutput(const std::string& path) {
  // Above the standard numbers, so the dup2 onto the child's standard output
  // never has the same number on both sides (which would keep close-on-exec).
  base::UniqueFd fd(base::MoveAboveStdio(
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644)));
  if (!fd.Valid()) return fd;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink > 1 ||
      ::ftruncate(fd.Get(), 0) != 0) {
    fd.Reset();
  }
  return fd;
}

// Runs "smbiosinfo <option>" with its standard output in `outputFile`: what
// "smbiosinfo <option> ><file>" does in a shell, without one. The child gets no
// descriptor of ours but its standard input, output and error.
void RunTool(const char* option, const char* outputFile) {
  const base::UniqueFd out = OpenOutput(RootPath(outputFile));
  if (!out.Valid()) return;
  const std::string tool = RootPath(kSmbiosInfoPath);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return;
  posix_spawnattr_t attr;
  if (posix_spawnattr_init(&attr) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return;
  }
  // Default signal handling and nothing blocked, whatever the calling thread set.
  sigset_t all;
  sigset_t none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  posix_spawn_file_actions_adddup2(&actions, out.Get(), STDOUT_FILENO);
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

  std::string name = "smbiosinfo";
  std::string opt = option;
  char* argv[] = {name.data(), opt.data(), nullptr};
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, tool.c_str(), &actions, &attr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc == 0) WaitWithLimit(pid, kToolTimeLimit);
}

// The first line of `path` (at most size-1 characters, line end included when it
// fits) into `output`; empty when the file cannot be read.
void ReadFirstLine(const char* path, char* output, size_t size) {
  output[0] = '\0';
  const base::UniqueFile file = base::OpenFile(RootPath(path), "r");
  if (!file) return;
  if (std::fgets(output, static_cast<int>(size), file.get()) == nullptr) output[0] = '\0';
}

}  // namespace

void GetPlatformType(char* output) {
  if (output == nullptr) return;
  output[0] = '\0';
  RunTool("-t", kPlatformTypeFile);
  ReadFirstLine(kPlatformTypeFile, output, kToolOutputSize);
}

void GetModelName(char* output) {
  if (output == nullptr) return;
  output[0] = '\0';
  RunTool("-m", kModelNameFile);
  char line[kToolOutputSize];
  ReadFirstLine(kModelNameFile, line, sizeof line);
  const size_t length = std::strlen(line);
  // The prefix itself is not compared: the tool writes nothing else there.
  if (length > kProductNamePrefix.size()) {
    std::memcpy(output, line + kProductNamePrefix.size(), length - kProductNamePrefix.size() + 1);
  }
}

void GetModelName_Trimed(char* output) {
  if (output == nullptr) return;
  GetModelName(output);
  size_t length = std::strlen(output);
  while (length > 0 && std::strchr("\r\n \t_", output[length - 1]) != nullptr) --length;
  output[length] = '\0';
  for (size_t i = 0; i < length; ++i) {
    if (output[i] == ' ') output[i] = '_';
  }
}

}  // namespace mgmt::smbapi
