// imbd's socket side and the device seam's client side, through a real socket:
// malformed clients, shared descriptors, a server that goes away and comes back.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <future>
#include <random>
#include <thread>

#include "base/connect.h"
#include "base/fdio.h"
#include "devframe.h"
#include "devseam.h"
#include "imbioctl.h"
#include "log.h"
#include "sockdev.h"
#include "support/fake_imb_device.h"
#include "support/temp_dir.h"

using mgmt::test::FakeImbDevice;
using mgmt::test::Reply;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes GetDeviceIdRequest(uint8_t cmd = 0x01) {
  Bytes b(128, 0);
  b[4] = 0x80;  // time-out 0x1E8480 us = 2 s
  b[5] = 0x84;
  b[6] = 0x1E;
  b[8] = 0x20;
  b[9] = cmd;
  b[10] = 0x06;
  return b;
}

struct CallOutcome {
  int rc = 0;
  int err = 0;
  uint32_t status = 0;
  Bytes out;
};

CallOutcome Call(int fd, uint32_t code, Bytes in, uint32_t outCapacity = 128) {
  CallOutcome o;
  o.out.resize(outCapacity);
  uint32_t returned = outCapacity;
  IoctlBlock block{};
  block.status = &o.status;
  block.inBuffer = in.data();
  block.inLength = static_cast<uint32_t>(in.size());
  block.outBuffer = o.out.data();
  block.outLength = outCapacity;
  block.bytesReturned = &returned;
  o.rc = DevIoctl(fd, code, &block);
  o.err = o.rc == 0 ? 0 : errno;
  o.out.resize(o.rc == 0 ? returned : 0);
  return o;
}

// True when the server closed the connection (it reads an end of file).
bool ServerClosed(int fd) {
  uint8_t b;
  return ::read(fd, &b, 1) == 0;
}

}  // namespace

TEST(ImbdSocket, MalformedClientsAreDroppedAndTheServerKeepsServing) {
  FakeImbDevice device;
  device.Bmc().Always(0x06, 0x01, Reply::Bytes({0x00, 0x20, 0x03}));
  const std::string path = device.SocketPath();

  {  // wrong magic
    const int fd = mgmt::base::ConnectUnix(path, std::chrono::seconds(5)).Release();
    const Bytes junk(16, 0x55);
    ASSERT_EQ(mgmt::base::WriteFull(fd, junk), 0);
    EXPECT_TRUE(ServerClosed(fd));
    ::close(fd);
  }
  {  // announced input beyond the limit
    const int fd = mgmt::base::ConnectUnix(path, std::chrono::seconds(5)).Release();
    const auto head = mgmt::dev::EncodeRequest({IMB_IOCTL_SEND_MESSAGE, 100000, 128});
    ASSERT_EQ(mgmt::base::WriteFull(fd, head), 0);
    EXPECT_TRUE(ServerClosed(fd));
    ::close(fd);
  }
  {  // header promises more input than comes before the client hangs up
    const int fd = mgmt::base::ConnectUnix(path, std::chrono::seconds(5)).Release();
    auto head = mgmt::dev::EncodeRequest({IMB_IOCTL_SEND_MESSAGE, 128, 128});
    ASSERT_EQ(mgmt::base::WriteFull(fd, head), 0);
    ASSERT_EQ(mgmt::base::WriteFull(fd, Bytes(10, 0)), 0);
    ::close(fd);
  }
  std::mt19937 random(12345);
  for (int i = 0; i < 100; ++i) {  // random streams, some with a valid magic
    const int fd = mgmt::base::ConnectUnix(path, std::chrono::seconds(5)).Release();
    ASSERT_GE(fd, 0);
    Bytes noise(random() % 300);
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    if (i % 2 == 0 && noise.size() >= 4) {
      const auto head = mgmt::dev::EncodeRequest({0, 0, 0});
      std::copy(head.begin(), head.begin() + 4, noise.begin());
    }
    mgmt::base::WriteFull(fd, noise);
    ::shutdown(fd, SHUT_WR);
    uint8_t sink[512];
    while (::read(fd, sink, sizeof(sink)) > 0) {
    }
    ::close(fd);
  }

  const int fd = DevOpen("/dev/imb", O_RDWR);
  ASSERT_GE(fd, 0);
  const auto answer = Call(fd, IMB_IOCTL_SEND_MESSAGE, GetDeviceIdRequest());
  EXPECT_EQ(answer.rc, 0);
  EXPECT_EQ(answer.out, (Bytes{0x00, 0x20, 0x03}));
  DevClose(fd);
}

namespace {
std::atomic<int> g_acceptFailures{0};
void CountAcceptFailures(int /*priority*/, const char* line) {
  if (std::strstr(line, "accept failed") != nullptr) ++g_acceptFailures;
}
}  // namespace

TEST(ImbdSocket, RunningOutOfDescriptorsPausesAcceptingAndRecovers) {
  FakeImbDevice device;
  device.Bmc().Always(0x06, 0x01, Reply::Bytes({0x00, 0x20}));
  g_acceptFailures = 0;
  mgmt::imbd::SetLogCapture(CountAcceptFailures);

  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  const int client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(client, 0);
  const timeval patience{10, 0};
  ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  // Every descriptor the process may have is taken, so the server cannot accept.
  rlimit low = saved;
  low.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 256);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  std::vector<int> filler;
  for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) filler.push_back(fd);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", device.SocketPath().c_str());
  const int connected = ::connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  // Once the server has failed to accept, the queued connection keeps the
  // socket readable: count further attempts over a fixed window.
  for (int i = 0; i < 500 && g_acceptFailures == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const int first = g_acceptFailures;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const int failures = g_acceptFailures - first;
  for (const int fd : filler) ::close(fd);
  ::setrlimit(RLIMIT_NOFILE, &saved);

  ASSERT_EQ(connected, 0);
  EXPECT_GE(first, 1);
  EXPECT_LT(failures, 20);  // paused between attempts rather than spinning
  // Once descriptors are free again the waiting client is served.
  const Bytes request = GetDeviceIdRequest();
  const auto head = mgmt::dev::EncodeRequest(
      {IMB_IOCTL_SEND_MESSAGE, static_cast<uint32_t>(request.size()), 128});
  Bytes frame(head.begin(), head.end());
  frame.insert(frame.end(), request.begin(), request.end());
  ASSERT_EQ(mgmt::base::WriteFull(client, frame), 0);
  Bytes reply(mgmt::dev::kHeaderSize + 2);
  ASSERT_EQ(mgmt::base::ReadFull(client, reply), 0);
  EXPECT_EQ(Bytes(reply.end() - 2, reply.end()), (Bytes{0x00, 0x20}));
  ::close(client);
  mgmt::imbd::SetLogCapture(nullptr);
}

TEST(ImbdSocket, SocketIsPrivateAndOnlyStaleSocketsAreReplaced) {
  FakeImbDevice device;
  struct stat st {};
  ASSERT_EQ(::stat(device.SocketPath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  std::string error;
  mgmt::imbd::Server second(device.Service(), device.SocketPath());
  EXPECT_FALSE(second.Start(error));  // the first server still answers there
  EXPECT_NE(error.find("another process"), std::string::npos) << error;

  const std::string plain = device.Root() + "/dev/notasocket";
  {
    std::FILE* f = std::fopen(plain.c_str(), "w");
    std::fclose(f);
  }
  mgmt::imbd::Server onFile(device.Service(), plain);
  EXPECT_FALSE(onFile.Start(error));
  EXPECT_EQ(::access(plain.c_str(), F_OK), 0);  // left alone

  // A socket file whose server died is taken over.
  const std::string stale = device.Root() + "/dev/stale";
  {
    mgmt::imbd::Server dead(device.Service(), stale);
    ASSERT_TRUE(dead.Start(error)) << error;
    // Leave the file behind as a crashed server would.
    ASSERT_EQ(::link(stale.c_str(), (stale + ".keep").c_str()), 0);
  }
  ASSERT_EQ(::rename((stale + ".keep").c_str(), stale.c_str()), 0);
  mgmt::imbd::Server taker(device.Service(), stale);
  EXPECT_TRUE(taker.Start(error)) << error;
}

TEST(DevSeam, ThreadsSharingOneDescriptorDoNotWaitForEachOther) {
  FakeImbDevice device;
  std::promise<void> fastDone;
  auto fastDoneFuture = fastDone.get_future().share();
  // The slow command answers only once the fast one has been answered (or after
  // five seconds, reporting that it had to give up).
  device.Bmc().SetHandler(
      [fastDoneFuture](const mgmt::imbd::IpmiRequest& r) -> std::optional<Reply> {
        if (r.cmd != 0x02) return Reply::Bytes({0x00, 0x01});
        const bool overlapped =
            fastDoneFuture.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        return Reply::Bytes({0x00, static_cast<uint8_t>(overlapped ? 0xAA : 0xBB)});
      });
  const int fd = DevOpen("/dev/imb", O_RDWR);
  ASSERT_GE(fd, 0);
  auto slow = std::async(std::launch::async, [fd] {
    return Call(fd, IMB_IOCTL_SEND_MESSAGE, GetDeviceIdRequest(0x02));
  });
  // Wait until the slow request is at the BMC, then send the fast one.
  for (int i = 0; i < 500 && device.Bmc().Requests().empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const auto fast = Call(fd, IMB_IOCTL_SEND_MESSAGE, GetDeviceIdRequest(0x01));
  fastDone.set_value();
  EXPECT_EQ(fast.out, (Bytes{0x00, 0x01}));
  EXPECT_EQ(slow.get().out, (Bytes{0x00, 0xAA}));
  DevClose(fd);
}

TEST(DevSeam, ServerRestartIsPickedUpOnTheSameDescriptor) {
  FakeImbDevice device;
  device.Bmc().Always(0x06, 0x01, Reply::Bytes({0x00}));
  const int fd = DevOpen("/dev/imb", O_RDWR);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(Call(fd, IMB_IOCTL_SEND_MESSAGE, GetDeviceIdRequest()).rc, 0);

  device.StopServing();
  const auto down = Call(fd, IMB_IOCTL_SEND_MESSAGE, GetDeviceIdRequest());
  EXPECT_EQ(down.rc, -1);
  EXPECT_EQ(down.status, IMB_STATUS_DEVICE_NOT_CONNECTED);
  // Whatever sits under the number meanwhile is not passed to programs run later.
  EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);

  device.StartServing();
  EXPECT_EQ(Call(fd, IMB_IOCTL_SEND_MESSAGE, GetDeviceIdRequest()).rc, 0);
  // The descriptor number stayed valid throughout, and close-on-exec.
  EXPECT_EQ(::fcntl(fd, F_GETFD), FD_CLOEXEC);
  DevClose(fd);
}

TEST(DevSeam, DriverStatusAndErrorsCrossTheSocket) {
  FakeImbDevice device;
  device.Bmc().Expect(0x06, 0x01, Reply::NoReply());
  const int fd = DevOpen("/dev/imb", O_RDWR);
  ASSERT_GE(fd, 0);
  const auto timedOut = Call(fd, IMB_IOCTL_SEND_MESSAGE, GetDeviceIdRequest());
  EXPECT_EQ(timedOut.rc, -1);
  EXPECT_EQ(timedOut.err, ETIMEDOUT);
  EXPECT_EQ(timedOut.status, IMB_STATUS_IO_TIMEOUT);

  const auto noMessage = Call(fd, IMB_IOCTL_GET_ASYNC_MSG, Bytes(8, 0), 70);
  EXPECT_EQ(noMessage.status, IMB_STATUS_NO_ASYNC_MSG);

  EXPECT_EQ(DevIoctl(fd, IMB_IOCTL_SEND_MESSAGE, nullptr), -1);
  EXPECT_EQ(errno, EFAULT);
  EXPECT_EQ(DevMmap(fd, 4096, PROT_READ, MAP_SHARED, 0), MAP_FAILED);
  EXPECT_EQ(errno, ENODEV);
  EXPECT_EQ(DevClose(fd), 0);

  device.StopServing();
  EXPECT_EQ(DevOpen("/dev/imb", O_RDWR), -1);
  EXPECT_EQ(errno, ENOENT);
}

TEST(DevSeam, AnOpenNeverReturnsAStandardDescriptorNumber) {
  // A process started with standard input closed: descriptor 0 is the first free
  // one, yet the IMB library keeps 0 for "not open".
  const mgmt::test::TempDir tmp("devseam");
  const std::string dir = tmp.Path().string();
  const std::string plain = dir + "/plain";
  const std::string sockPath = dir + "/sock";
  ::close(::open(plain.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", sockPath.c_str());
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  ::unsetenv("MGMTAGENT_ROOT");

  const int savedStdin = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
  ASSERT_GE(savedStdin, 0);
  ::close(STDIN_FILENO);
  const int file = DevOpen(plain.c_str(), O_RDWR);
  const int sock = DevOpen(sockPath.c_str(), O_RDWR);
  const bool stdinFree = ::fcntl(STDIN_FILENO, F_GETFD) == -1;
  ::dup2(savedStdin, STDIN_FILENO);
  ::close(savedStdin);

  EXPECT_GT(file, STDERR_FILENO);
  EXPECT_GT(sock, STDERR_FILENO);
  EXPECT_TRUE(stdinFree);  // the low number taken on the way was given back
  if (file >= 0) DevClose(file);
  if (sock >= 0) DevClose(sock);
  ::close(listener);
}
