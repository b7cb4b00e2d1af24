// Running outside programs from the daemon: started with posix_spawn (never
// system(), which ignores SIGINT for the whole process while its child runs and
// is not safe beside other threads), with default signal handling and no
// inherited descriptors, waited for, and ended when they overrun a time limit.
#ifndef MGMT_SELWATCH_COMMAND_H
#define MGMT_SELWATCH_COMMAND_H

#include <chrono>
#include <string>
#include <vector>

namespace mgmt::selwatch {

/// Result of RunCommand when the program could not be started, died of a
/// signal, or was ended for overrunning its limit.
inline constexpr int kCommandFailed = -1;

/// Runs `argv` (argv[0] is looked up in PATH when it has no slash) and waits up
/// to `limit` for it; a program still running then gets SIGTERM and, two
/// seconds later, SIGKILL, together with every process it started (it runs in
/// a process group of its own). Returns its exit status or kCommandFailed.
int RunCommand(const std::vector<std::string>& argv, std::chrono::milliseconds limit);

}  // namespace mgmt::selwatch

#endif
