// Descriptor owners and whole-buffer I/O: ownership moves, close-on-exec, short
// transfers, signals in the middle of a read, and peers that went away.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/fd.h"
#include "base/fdio.h"

namespace {

using mgmt::base::UniqueFd;
using Bytes = std::vector<uint8_t>;

bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) >= 0; }
bool IsCloexec(int fd) { return (::fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0; }

struct SocketPair {
  SocketPair() {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    a.Reset(fds[0]);
    b.Reset(fds[1]);
  }
  UniqueFd a, b;
};

TEST(UniqueFd, OwnershipMovesAndEndsWithOneClose) {
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  const int raw = fds[0];
  ::close(fds[1]);
  {
    UniqueFd first(raw);
    UniqueFd second(std::move(first));
    EXPECT_FALSE(
        first.Valid());  // NOLINT(bugprone-use-after-move): the moved-from state is the point
    EXPECT_EQ(second.Get(), raw);
    UniqueFd third;
    third = std::move(second);
    EXPECT_EQ(third.Get(), raw);
    EXPECT_TRUE(IsOpen(raw));
  }
  EXPECT_FALSE(IsOpen(raw));

  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  UniqueFd kept(fds[0]);
  const int released = UniqueFd(fds[1]).Release();
  EXPECT_TRUE(IsOpen(released));  // Release gives up ownership without closing
  kept.Reset(released);           // Reset closes the old one and takes the new
  EXPECT_FALSE(IsOpen(fds[0]));
  EXPECT_EQ(kept.Close(), 0);
  EXPECT_FALSE(IsOpen(released));
  EXPECT_EQ(kept.Close(), 0);  // closing nothing is fine
}

TEST(UniqueFd, ResetKeepsTheCallersErrno) {
  UniqueFd fd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  errno = ENOSPC;
  fd.Reset();
  EXPECT_EQ(errno, ENOSPC);
}

TEST(OpenFile, AlwaysCloseOnExec) {
  for (const char* mode : {"r", "rb", "re"}) {
    const auto file = mgmt::base::OpenFile("/proc/self/stat", mode);
    ASSERT_NE(file, nullptr) << mode;
    EXPECT_TRUE(IsCloexec(::fileno(file.get()))) << mode;
  }
  const auto dir = mgmt::base::OpenDir("/proc/self");
  ASSERT_NE(dir, nullptr);
  EXPECT_TRUE(IsCloexec(::dirfd(dir.get())));

  errno = 0;
  EXPECT_EQ(mgmt::base::OpenFile("/nonexistent/file", "r"), nullptr);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(mgmt::base::OpenDir("/nonexistent"), nullptr);
}

TEST(FdIo, ShortPiecesAreJoinedAndAnEarlyEndIsAnError) {
  SocketPair s;
  const Bytes sent{1, 2, 3, 4, 5, 6, 7};
  std::thread writer([&] {
    // One byte at a time: every read sees a short transfer.
    for (const uint8_t b : sent) ASSERT_EQ(::write(s.b.Get(), &b, 1), 1);
  });
  Bytes got(sent.size());
  EXPECT_EQ(mgmt::base::ReadFull(s.a.Get(), got), 0);
  writer.join();
  EXPECT_EQ(got, sent);

  // ReadAtLeast takes what is there beyond the minimum, up to the buffer's size.
  ASSERT_EQ(mgmt::base::WriteFull(s.b.Get(), sent), 0);
  Bytes buffer(16);
  long n = 0;
  while (n < 7) {
    const long got2 = mgmt::base::ReadAtLeast(s.a.Get(), std::span(buffer).subspan(n), 1);
    ASSERT_GT(got2, 0);
    n += got2;
  }
  EXPECT_EQ(n, 7);

  // The peer sends three bytes of five and closes.
  ASSERT_EQ(mgmt::base::WriteFull(s.b.Get(), Bytes{9, 9, 9}), 0);
  s.b.Reset();
  Bytes five(5);
  errno = 0;
  EXPECT_EQ(mgmt::base::ReadFull(s.a.Get(), five), -1);
  EXPECT_EQ(errno, ECONNRESET);
}

std::atomic<int> g_signals{0};
void CountSignal(int) { ++g_signals; }

// True once thread `tid` sits in read(2).
bool InRead(pid_t tid) {
  std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/syscall");
  long number = -1;
  in >> number;
  return number == SYS_read;
}

TEST(FdIo, ASignalDuringAReadIsRetried) {
  struct sigaction action {};
  action.sa_handler = CountSignal;  // no SA_RESTART: read(2) fails with EINTR
  struct sigaction old {};
  ASSERT_EQ(::sigaction(SIGUSR1, &action, &old), 0);
  SocketPair s;
  std::atomic<pid_t> tid{0};
  int rc = -2;
  Bytes got(4);
  std::thread reader([&] {
    tid = static_cast<pid_t>(::syscall(SYS_gettid));
    rc = mgmt::base::ReadFull(s.a.Get(), got);
  });
  while (tid == 0 || !InRead(tid)) std::this_thread::yield();
  g_signals = 0;
  ::pthread_kill(reader.native_handle(), SIGUSR1);
  while (g_signals == 0) std::this_thread::yield();
  ASSERT_EQ(mgmt::base::WriteFull(s.b.Get(), Bytes{1, 2, 3, 4}), 0);
  reader.join();
  ::sigaction(SIGUSR1, &old, nullptr);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(got, (Bytes{1, 2, 3, 4}));
}

TEST(FdIo, WritingToAPeerThatLeftFailsWithoutSigpipe) {
  // SIGPIPE at its default would end this test program.
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  struct sigaction old {};
  ASSERT_EQ(::sigaction(SIGPIPE, &dfl, &old), 0);
  SocketPair s;
  s.b.Reset();
  errno = 0;
  EXPECT_EQ(mgmt::base::WriteFull(s.a.Get(), Bytes(100, 1)), -1);
  EXPECT_EQ(errno, EPIPE);
  ::sigaction(SIGPIPE, &old, nullptr);

  // Not a socket: plain write(2), whole.
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  UniqueFd r(fds[0]), w(fds[1]);
  ASSERT_EQ(mgmt::base::WriteFull(w.Get(), Bytes{5, 6}), 0);
  Bytes two(2);
  ASSERT_EQ(mgmt::base::ReadFull(r.Get(), two), 0);
  EXPECT_EQ(two, (Bytes{5, 6}));
}

TEST(FdIo, MoveAboveStdioTakesADeviceOffStandardInput) {
  const int savedStdin = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 10);
  ASSERT_GE(savedStdin, 0);
  ::close(STDIN_FILENO);
  const int low = ::open("/dev/null", O_RDONLY);  // takes number 0
  ASSERT_EQ(low, STDIN_FILENO);
  const int moved = mgmt::base::MoveAboveStdio(low);
  const bool zeroClosed = !IsOpen(STDIN_FILENO);
  ::dup2(savedStdin, STDIN_FILENO);
  ::close(savedStdin);
  EXPECT_GT(moved, STDERR_FILENO);
  EXPECT_TRUE(IsCloexec(moved));
  EXPECT_TRUE(zeroClosed);
  ::close(moved);
  // A descriptor above the standard ones stays as it is.
  UniqueFd high(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  EXPECT_EQ(mgmt::base::MoveAboveStdio(high.Get()), high.Get());
}

}  // namespace
