// system_out: run a command through the shell with its output in a file.
#include <paths.h>

#include <cstring>
#include <string>

#include "base/spawn.h"
#include "installroot.h"
#include "provutil.h"

namespace {

// Descriptor the shell line redirects standard output to, and that redirection
// (closing the descriptor again for the command itself).
constexpr int kOutputFd = 3;
constexpr const char* kRedirect = " >&3 3>&-";

}  // namespace

extern "C" int system_out(const char* command, const char* outfile) {
  if (command == nullptr || outfile == nullptr || *outfile == '\0') return -1;
  // The line as it reads for the shell is "<command> ><outfile>"; one that does
  // not fit is refused rather than run cut short (a cut line may run something
  // else entirely).
  if (std::strlen(command) + 2 + std::strlen(outfile) > PROVUTIL_MAX_COMMAND_LINE) return -1;

  const mgmt::base::UniqueFd out = mgmt::base::OpenOutputFile(mgmt::RootPath(outfile), 0600);
  if (!out.Valid()) return -1;

  // The shell redirects to the descriptor opened above instead of opening the
  // name itself; the line keeps the meaning of "<command> ><file>" otherwise
  // (the redirection applies to the last simple command, after its own ones).
  // The shell itself is the system's, not part of the installation: like
  // system(), it is run from its fixed place, with the caller's standard streams.
  mgmt::base::ChildOptions options;
  options.path = _PATH_BSHELL;
  options.in = mgmt::base::StdStream::Inherit();
  options.out = mgmt::base::StdStream::Inherit();
  options.err = mgmt::base::StdStream::Inherit();
  options.extraFds = {{out.Get(), kOutputFd}};
  const mgmt::base::ChildResult result =
      mgmt::base::RunChild({"sh", "-c", std::string(command) + kRedirect}, options);
  return result.started ? 0 : -1;
}
