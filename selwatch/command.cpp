#include "command.h"

#include <syslog.h>

#include <cstring>

#include "base/spawn.h"

namespace mgmt::selwatch {

int RunCommand(const std::vector<std::string>& argv, std::chrono::milliseconds limit) {
  if (argv.empty() || argv[0].empty()) return kCommandFailed;
  base::ChildOptions options;
  // The standard streams stay the daemon's (its log when it runs in the
  // foreground); a group of its own, so a program that overruns is ended with
  // whatever it started itself.
  options.in = base::StdStream::Inherit();
  options.out = base::StdStream::Inherit();
  options.err = base::StdStream::Inherit();
  options.timeLimit = limit;
  options.termGrace = std::chrono::seconds(2);
  options.ownProcessGroup = true;
  const base::ChildResult result = base::RunChild(argv, options);
  if (!result.started) {
    syslog(LOG_ERR, "ERROR,cannot run %s: %s", argv[0].c_str(), std::strerror(result.error));
    return kCommandFailed;
  }
  if (result.timedOut) {
    syslog(LOG_ERR, "ERROR,%s did not end within %lld s; stopping it", argv[0].c_str(),
           static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(limit).count()));
    return kCommandFailed;
  }
  return result.ExitCode() >= 0 ? result.ExitCode() : kCommandFailed;
}

}  // namespace mgmt::selwatch
