// Starting outside commands without a shell: an argument vector, the program
// found through PATH, standard input and output on /dev/null, no inherited
// descriptors, and every child reaped within a time limit. Safe in a threaded
// process (posix_spawn: nothing runs between fork and exec).
#ifndef MGMT_BMCLIB_CHILDPROC_H
#define MGMT_BMCLIB_CHILDPROC_H

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace mgmt::bmc {

/// Starts `argv` (argv[0] looked up in PATH unless it holds a "/"), its
/// standard streams on /dev/null. @return the child's pid, or -1 (errno set).
pid_t SpawnQuiet(const std::vector<std::string>& argv);

/// Waits until every child in `pids` has ended or `limit` has passed; the ones
/// still running then are killed and reaped, so none is left behind.
/// @return how many ended by themselves.
int ReapWithin(const std::vector<pid_t>& pids, std::chrono::milliseconds limit);

}  // namespace mgmt::bmc

#endif
