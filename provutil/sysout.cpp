// system_out: run a command through the shell with its output in a file.
#include <fcntl.h>
#include <paths.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "base/fd.h"
#include "installroot.h"
#include "provutil.h"

extern char** environ;

namespace {

// Descriptor the shell line redirects standard output to, and that redirection
// (closing the descriptor again for the command itself).
constexpr int kOutputFd = 3;
constexpr const char* kRedirect = " >&3 3>&-";

/// Opens the output file for writing, emptied, the way the shell's ">" would,
/// but refusing a symbolic link, a special file (a FIFO would block) and a file
/// with other names (a hard link planted to some other file).
mgmt::base::UniqueFd OpenOutputFile(const char* name) {
  const std::string path = mgmt::RootPath(name);
  mgmt::base::UniqueFd fd(
      open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  if (!fd.Valid()) return fd;
  struct stat st {};
  if (fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink > 1 ||
      ftruncate(fd.Get(), 0) != 0)
    return mgmt::base::UniqueFd();
  return fd;
}

}  // namespace

extern "C" int system_out(const char* command, const char* outfile) {
  if (command == nullptr || outfile == nullptr || *outfile == '\0') return -1;
  // The line as it reads for the shell is "<command> ><outfile>"; one that does
  // not fit is refused rather than run cut short (a cut line may run something
  // else entirely).
  if (std::strlen(command) + 2 + std::strlen(outfile) > PROVUTIL_MAX_COMMAND_LINE) return -1;

  const mgmt::base::UniqueFd out = OpenOutputFile(outfile);
  if (!out.Valid()) return -1;
  // Moved above the low numbers so the dup2 below never has the same number on
  // both sides (which would keep close-on-exec set).
  const mgmt::base::UniqueFd high(fcntl(out.Get(), F_DUPFD_CLOEXEC, 10));
  if (!high.Valid()) return -1;

  // The shell redirects to the descriptor opened above instead of opening the
  // name itself; the line keeps the meaning of "<command> ><file>" otherwise
  // (the redirection applies to the last simple command, after its own ones).
  std::string line = std::string(command) + kRedirect;

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  if (posix_spawn_file_actions_init(&actions) != 0) return -1;
  if (posix_spawnattr_init(&attr) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return -1;
  }
  // The command starts with default signal handling and nothing blocked, whatever
  // the calling thread has set up for itself.
  sigset_t all;
  sigset_t none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  posix_spawn_file_actions_adddup2(&actions, high.Get(), kOutputFd);

  // The shell itself is the system's, not part of the installation: like system(),
  // it is run from its fixed place.
  char shellName[] = "sh";
  char dashC[] = "-c";
  char* argv[] = {shellName, dashC, line.data(), nullptr};
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, _PATH_BSHELL, &actions, &attr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return -1;

  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return 0;
}
