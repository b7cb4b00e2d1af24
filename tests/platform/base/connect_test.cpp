// Connects with deadlines, on loopback only: success, refusal, a full accept queue
// that would otherwise hold the caller, and bad addresses.
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/connect.h"
#include "loopback.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using mgmt::base::UniqueFd;

TEST(ConnectTcp, ConnectsRefusesAndTimesOut) {
  const LoopbackPort listener(8);
  std::string error;
  UniqueFd fd = mgmt::base::ConnectTcp("127.0.0.1", listener.port, 2s, &error);
  ASSERT_TRUE(fd.Valid()) << error;
  EXPECT_GT(fd.Get(), 2);
  int one = 0;
  socklen_t len = sizeof one;
  ::getsockopt(fd.Get(), IPPROTO_TCP, 1 /*TCP_NODELAY*/, &one, &len);
  EXPECT_NE(one, 0);

  const LoopbackPort closed(std::nullopt);
  errno = 0;
  EXPECT_FALSE(mgmt::base::ConnectTcp("127.0.0.1", closed.port, 2s, &error).Valid());
  EXPECT_EQ(errno, ECONNREFUSED);
  EXPECT_NE(error.find("refused"), std::string::npos) << error;

  errno = 0;
  EXPECT_FALSE(mgmt::base::ConnectTcp("127.0.0.1", 70000, 2s).Valid());
  EXPECT_EQ(errno, EINVAL);
}

TEST(ConnectTcp, AFullAcceptQueueEndsInATimeOut) {
  // A listener that never accepts: once its queue is full, the kernel drops
  // further handshakes and a plain connect would retry them for minutes.
  const LoopbackPort listener(0);
  std::vector<UniqueFd> queued;
  int err = 0;
  for (int i = 0; i < 16 && err != ETIMEDOUT; ++i) {
    UniqueFd fd = mgmt::base::ConnectTcp("127.0.0.1", listener.port, 300ms);
    err = fd.Valid() ? 0 : errno;
    queued.push_back(std::move(fd));
  }
  EXPECT_EQ(err, ETIMEDOUT);
}

TEST(ConnectUnix, ConnectsAndFailsClearly) {
  const mgmt::test::TempDir tmp("connect");
  const std::string dir = tmp.Path().string();
  const std::string path = dir + "/sock";
  UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strcpy(addr.sun_path, path.c_str());
  ASSERT_EQ(::bind(listener.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(listener.Get(), 0), 0);

  std::string error;
  UniqueFd first = mgmt::base::ConnectUnix(path, 2s, &error);
  EXPECT_TRUE(first.Valid()) << error;
  // The queue (one entry with backlog 0) is now full; nobody accepts.
  std::vector<UniqueFd> more;
  int err = 0;
  for (int i = 0; i < 4 && err == 0; ++i) {
    UniqueFd fd = mgmt::base::ConnectUnix(path, 200ms, &error);
    err = fd.Valid() ? 0 : errno;
    more.push_back(std::move(fd));
  }
  EXPECT_EQ(err, ETIMEDOUT) << error;

  errno = 0;
  EXPECT_FALSE(mgmt::base::ConnectUnix(dir + "/nothing", 1s).Valid());
  EXPECT_EQ(errno, ENOENT);
  errno = 0;
  EXPECT_FALSE(mgmt::base::ConnectUnix(std::string(200, 'x'), 1s, &error).Valid());
  EXPECT_EQ(errno, ENAMETOOLONG);
}

}  // namespace
