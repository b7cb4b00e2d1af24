#include "StorageCommand.h"

#include "base/spawn.h"
#include "installroot.h"

namespace mgmt::storage {

std::optional<std::string> RunCommandOutput(const std::string& program,
                                            const std::vector<std::string>& args,
                                            std::chrono::milliseconds timeLimit) {
  base::ChildOptions options;
  options.path = RootPath(program);
  // The C locale's listings and the system's own directories, nothing of the
  // object manager's environment.
  options.environment = std::vector<std::string>{"LC_ALL=C", "PATH=/usr/sbin:/usr/bin:/sbin:/bin"};
  options.out = base::StdStream::Capture();
  options.timeLimit = timeLimit;
  // A group of its own, so that a time-out kills whatever the command started too.
  options.ownProcessGroup = true;
  options.outputLimit = kMaxCommandOutput;

  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  base::ChildResult result = base::RunChild(argv, options);
  if (!result.started || result.timedOut || result.outputOverflow) return std::nullopt;
  return std::move(result.out);
}

}  // namespace mgmt::storage
