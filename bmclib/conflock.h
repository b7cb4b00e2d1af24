// The advisory lock of the BMC configuration files.
//
// Every writer of ipmi.conf and bmcchannel.conf of ours (the BMC configuration
// provider, each bmcsetup mode) holds it from reading a file to writing it back,
// so that no writer silently undoes another's change. Readers take none: the
// store replaces files atomically, so a reader sees the old or the new file.
// The lock is flock(2) on a file of its own in the configuration directory.
#ifndef MGMT_BMCLIB_CONFLOCK_H
#define MGMT_BMCLIB_CONFLOCK_H

#include <chrono>
#include <optional>

#include "base/fd.h"

namespace mgmt::bmc {

class ConfigLock {
 public:
  /// Takes the lock, waiting at most `timeout` for another holder to let go.
  /// Empty when it could not be taken (errno: EWOULDBLOCK after the time-out,
  /// or why the lock file could not be opened). Not re-entrant: a second
  /// Acquire in the same process waits for the first to be released.
  static std::optional<ConfigLock> Acquire(
      std::chrono::milliseconds timeout = std::chrono::seconds(10));

  // Moving hands the lock over; destroying releases it (closing the only
  // descriptor of the open file lets go of the flock).

 private:
  explicit ConfigLock(int fd) : fd_(fd) {}
  base::UniqueFd fd_;
};

}  // namespace mgmt::bmc

#endif
