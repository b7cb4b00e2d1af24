#include "conflock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "bmcpaths.h"
#include "installroot.h"

namespace mgmt::bmc {

std::optional<ConfigLock> ConfigLock::Acquire(std::chrono::milliseconds timeout) {
  const std::string path = RootPath(kConfigLockPath);
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return std::nullopt;
  ConfigLock lock(fd);  // closes the file on a failure, errno kept for the caller
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return lock;
    if (errno != EWOULDBLOCK && errno != EINTR) return std::nullopt;
    if (std::chrono::steady_clock::now() >= deadline) {
      errno = EWOULDBLOCK;
      return std::nullopt;
    }
    // Holders keep the lock only while they read and write two small files.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace mgmt::bmc
