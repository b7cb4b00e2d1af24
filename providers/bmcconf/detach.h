// Starting the BMC set-up tool from inside the object manager, which runs many
// threads: the tool must outlive the request, must not become a zombie of the
// server, and must get nothing of the server but its environment.
#ifndef MGMT_PROVIDERS_BMCCONF_DETACH_H
#define MGMT_PROVIDERS_BMCCONF_DETACH_H

#include <string>
#include <string_view>
#include <vector>

namespace mgmt::bmcconf {

/// Runs argv[0] (a path) with `argv`, detached: a child starts a new session
/// and forks the program, then ends and is reaped here, so the program belongs
/// to init and leaves no zombie behind. Between fork and exec nothing but
/// system calls run (no allocation, no shell). The program gets `input` and
/// then end of file on standard input, /dev/null as standard output and error,
/// no other descriptor, default signal handling and this process's environment.
/// Returns once the program has been executed (or could not be).
/// @return 0 when it runs; otherwise an errno value, with `error` (when given)
/// saying what failed.
int StartDetached(const std::vector<std::string>& argv, std::string_view input,
                  std::string* error = nullptr);

}  // namespace mgmt::bmcconf

#endif
