// Child processes: exit status and signals, output and input beyond a pipe's
// buffer, time limits that end the child and what it started, the output cap,
// what the child inherits, detached starts, and safe output files.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "base/spawn.h"
#include "support/temp_dir.h"

namespace {

using mgmt::base::ChildOptions;
using mgmt::base::RunChild;
using mgmt::base::StdStream;
using namespace std::chrono_literals;

// Gone or a zombie waiting for its (new) parent: no longer running.
bool Ended(const std::string& pid) {
  const std::string stat = mgmt::test::ReadFile("/proc/" + pid + "/stat");
  const auto close = stat.rfind(')');
  return close == std::string::npos || stat.compare(close + 2, 1, "Z") == 0;
}

TEST(Spawn, ExitCodesSignalsAndPrograms) {
  EXPECT_EQ(RunChild({"sh", "-c", "exit 3"}).ExitCode(), 3);
  EXPECT_EQ(RunChild({"true"}).ExitCode(), 0);
  const auto killed = RunChild({"sh", "-c", "kill -KILL $$"});
  EXPECT_EQ(killed.ExitCode(), -1);
  EXPECT_EQ(killed.TermSignal(), SIGKILL);

  const auto missing = RunChild({"/no/such/program"});
  EXPECT_FALSE(missing.started);
  EXPECT_EQ(missing.error, ENOENT);
  EXPECT_EQ(missing.ErrorText().rfind("exec: ", 0), 0u) << missing.ErrorText();
  EXPECT_EQ(RunChild({"no-such-program-in-path"}).error, ENOENT);
  EXPECT_EQ(RunChild({}).error, EINVAL);

  // `path` runs another file under the name argv[0].
  ChildOptions named;
  named.path = "/bin/sh";
  named.out = StdStream::Capture();
  EXPECT_EQ(RunChild({"tool-name", "-c", "echo $0"}, named).out, "tool-name\n");
}

TEST(Spawn, InputAndOutputsLargerThanAPipeBuffer) {
  // cat answers while it is still being fed: both directions must move at once.
  std::string big;
  for (int i = 0; big.size() < (1u << 20); ++i) big += std::to_string(i) + '\n';
  ChildOptions options;
  options.input = big;
  options.out = StdStream::Capture();
  options.timeLimit = 30s;
  const auto echoed = RunChild({"cat"}, options);
  EXPECT_EQ(echoed.ExitCode(), 0);
  EXPECT_EQ(echoed.out, big);

  options.input = "";  // end of file at once
  options.err = StdStream::Capture();
  const auto split = RunChild({"sh", "-c", "cat; echo oops >&2; echo done"}, options);
  EXPECT_EQ(split.out, "done\n");
  EXPECT_EQ(split.err, "oops\n");

  // A child that stops reading its input is no failure of ours (no SIGPIPE).
  options.input = big;
  EXPECT_EQ(RunChild({"sh", "-c", "exit 4"}, options).ExitCode(), 4);
}

TEST(Spawn, TimeLimitEndsTheChildAndWhatItStarted) {
  ChildOptions options;
  options.timeLimit = 200ms;
  auto start = std::chrono::steady_clock::now();
  const auto slept = RunChild({"sleep", "5"}, options);
  EXPECT_TRUE(slept.timedOut);
  EXPECT_EQ(slept.TermSignal(), SIGKILL);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);

  // The background sleeper keeps the output open after the shell is gone from
  // view; only the group signal ends it. The shell ignores SIGTERM, so the grace
  // period runs out and SIGKILL follows.
  options.ownProcessGroup = true;
  options.termGrace = 100ms;
  options.out = StdStream::Capture();
  start = std::chrono::steady_clock::now();
  const auto group = RunChild({"sh", "-c", "trap '' TERM; sleep 5 & echo $!; wait"}, options);
  EXPECT_TRUE(group.timedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  const std::string sleeper = group.out.substr(0, group.out.find('\n'));
  ASSERT_FALSE(sleeper.empty());
  bool ended = Ended(sleeper);
  for (int i = 0; i < 1000 && !ended; ++i) {
    std::this_thread::sleep_for(1ms);
    ended = Ended(sleeper);
  }
  EXPECT_TRUE(ended) << "sleeper " << sleeper << " still runs";
}

TEST(Spawn, OutputBeyondTheCapStopsTheChild) {
  ChildOptions options;
  options.out = StdStream::Capture();
  options.outputLimit = 100000;
  options.timeLimit = 30s;
  const auto result = RunChild({"yes"}, options);
  EXPECT_TRUE(result.outputOverflow);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.ExitCode(), -1);
}

TEST(Spawn, TheChildGetsDefaultSignalsAndOnlyTheDescriptorsGiven) {
  mgmt::test::TempDir dir("spawn");
  sigset_t term;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  sigset_t saved;
  pthread_sigmask(SIG_BLOCK, &term, &saved);
  EXPECT_EQ(RunChild({"sh", "-c", "kill -TERM $$; exit 3"}).TermSignal(), SIGTERM);
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);

  // Inheritable on purpose, and not the number the extra descriptor gets.
  const int low = ::open("/dev/null", O_RDONLY);
  const int leaked = ::fcntl(low, F_DUPFD, 20);
  ::close(low);
  ASSERT_GE(leaked, 20);
  const auto file = mgmt::base::OpenOutputFile((dir / "extra").string(), 0600);
  ASSERT_TRUE(file.Valid());
  ChildOptions options;
  options.extraFds = {{file.Get(), 3}};
  const std::string script = "echo via3 >&3; test -e /proc/self/fd/" + std::to_string(leaked);
  EXPECT_EQ(RunChild({"sh", "-c", script}, options).ExitCode(), 1);
  ::close(leaked);
  EXPECT_EQ(dir.Read("extra"), "via3\n");
}

TEST(Spawn, DetachedChildIsNoChildOfOursAndGetsItsInput) {
  mgmt::test::TempDir dir("spawn");
  const std::string target = (dir / "got").string();
  ChildOptions options;
  options.detached = true;
  options.input = "secret\n";
  const auto started = RunChild(
      {"/bin/sh", "-c",
       "cat > \"$0.tmp\"; cut -d' ' -f6 /proc/$$/stat >> \"$0.tmp\"; mv \"$0.tmp\" \"$0\"", target},
      options);
  ASSERT_TRUE(started.started) << started.ErrorText();
  errno = 0;
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  for (int i = 0; i < 1000 && !dir.Exists("got"); ++i) std::this_thread::sleep_for(5ms);
  const std::string got = dir.Read("got");
  ASSERT_EQ(got.rfind("secret\n", 0), 0u) << got;
  EXPECT_NE(std::stol(got.substr(7)), static_cast<long>(::getsid(0)));

  EXPECT_EQ(RunChild({"/no/such/tool"}, options).ErrorText().rfind("exec: ", 0), 0u);
  options.input = std::string(PIPE_BUF + 1, 'x');
  EXPECT_EQ(RunChild({"/bin/true"}, options).error, E2BIG);
  options.input.reset();
  options.out = StdStream::Capture();
  EXPECT_EQ(RunChild({"/bin/true"}, options).error, EINVAL);
}

TEST(Spawn, OutputFilesRefuseLinksAndSpecialFiles) {
  mgmt::test::TempDir dir("spawn");
  const std::string plain = dir.Write("plain", "old contents");
  EXPECT_TRUE(mgmt::base::OpenOutputFile(plain, 0600).Valid());
  EXPECT_EQ(dir.Read("plain"), "");
  const std::string fresh = (dir / "fresh").string();
  EXPECT_TRUE(mgmt::base::OpenOutputFile(fresh, 0640).Valid());
  struct stat st {};
  ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777 & ~0640u, 0u);

  ASSERT_EQ(::symlink(plain.c_str(), (dir / "link").c_str()), 0);
  EXPECT_FALSE(mgmt::base::OpenOutputFile((dir / "link").string(), 0600).Valid());
  ASSERT_EQ(::link(plain.c_str(), (dir / "hard").c_str()), 0);
  EXPECT_FALSE(mgmt::base::OpenOutputFile(plain, 0600).Valid());
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(mgmt::base::OpenOutputFile((dir / "fifo").string(), 0600).Valid());
}

}  // namespace
