// bmcsetup started from the threaded object manager: argument vector, input on
// standard input, nothing inherited, a session of its own, no zombie.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "base/spawn.h"
#include "bmcconf_fixture.h"

namespace {

using bmcconftest::ConfRoot;
using bmcconftest::SetupCall;

// bmcsetup's start as the provider makes it: detached, input on standard input.
int StartDetached(const std::vector<std::string>& argv, const std::string& input,
                  std::string* error = nullptr) {
  mgmt::base::ChildOptions options;
  options.detached = true;
  options.input = input;
  const mgmt::base::ChildResult result = mgmt::base::RunChild(argv, options);
  if (error != nullptr) *error = result.ErrorText();
  return result.error;
}

TEST(StartDetached, RunsTheProgramAloneInItsOwnSessionAndLeavesNoChild) {
  ConfRoot root("IPMI15");
  // A descriptor another part of the server left inheritable.
  const int leaked = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(leaked, 3);
  std::string error;
  const int rc =
      StartDetached({BMCSETUP_RECORDER_PATH, "-g", "-n", "a b;c", "-p", "-"}, "secret\n", &error);
  ::close(leaked);
  ASSERT_EQ(rc, 0) << error;

  const std::vector<SetupCall> calls = root.WaitForCalls(1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{"-g", "-n", "a b;c", "-p", "-"}));
  EXPECT_EQ(calls[0].input, "secret\\n");
  EXPECT_EQ(calls[0].fds, "0,1,2");
  EXPECT_NE(calls[0].sid, ::getsid(0));
  EXPECT_NE(calls[0].sid, calls[0].pid) << "a session leader could acquire a terminal";
  EXPECT_NE(calls[0].ppid, ::getpid());
  // The intermediate child was reaped: this process has no child left.
  errno = 0;
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST(StartDetached, ReportsAProgramThatCannotBeExecuted) {
  ConfRoot root("IPMI15");
  std::string error;
  EXPECT_EQ(StartDetached({(root.Path() / "no-such-tool").string(), "-c", "1"}, "", &error),
            ENOENT);
  EXPECT_NE(error.find("exec"), std::string::npos) << error;
  EXPECT_EQ(StartDetached({}, ""), EINVAL);
  errno = 0;
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

}  // namespace
