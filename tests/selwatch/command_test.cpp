// Running outside programs: exit status, time limit, signals and descriptors the
// child gets.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "command.h"

using mgmt::selwatch::kCommandFailed;
using mgmt::selwatch::RunCommand;
using namespace std::chrono_literals;

TEST(RunCommand, ExitStatusOrFailure) {
  EXPECT_EQ(RunCommand({"sh", "-c", "exit 3"}, 10s), 3);
  EXPECT_EQ(RunCommand({"true"}, 10s), 0);
  EXPECT_EQ(RunCommand({"/no/such/program"}, 10s), kCommandFailed);
  EXPECT_EQ(RunCommand({}, 10s), kCommandFailed);
}

TEST(RunCommand, AProgramOverItsLimitIsEndedEvenWhenItIgnoresTerm) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunCommand({"sh", "-c", "trap '' TERM; while :; do sleep 1; done"}, 200ms),
            kCommandFailed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
}

TEST(RunCommand, TheChildHasDefaultSignalsAndOnlyTheStandardDescriptors) {
  // The daemon's workers block the stop signals; the child must not inherit that.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigset_t saved;
  pthread_sigmask(SIG_BLOCK, &set, &saved);
  EXPECT_EQ(RunCommand({"sh", "-c", "kill -TERM $$; exit 3"}, 10s), kCommandFailed);
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);

  const int fd = open("/dev/null", O_RDONLY);  // inheritable on purpose
  ASSERT_GE(fd, 3);
  const std::string check = "test -e /proc/self/fd/" + std::to_string(fd);
  EXPECT_EQ(RunCommand({"sh", "-c", check}, 10s), 1);
  close(fd);
}
