#include "sockdev.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "base/connect.h"
#include "base/fdio.h"
#include "devframe.h"
#include "imbioctl.h"

namespace mgmt::dev {
namespace {

// A connection that is readable or hung up while no request is outstanding is
// dead: the server never speaks first, so this is its end of file.
bool IsStale(int fd) {
  pollfd p{fd, POLLIN, 0};
  const int n = ::poll(&p, 1, 0);
  return n != 0;
}

// One framed exchange. Returns 0 when the reply arrived (the call's own result is
// in `reply`), -1 with errno when the connection failed or went out of step.
int Exchange(int fd, uint32_t code, const IoctlBlock& block, ReplyHeader& reply) {
  const uint32_t inLength = block.inLength;
  const uint32_t outCapacity = block.outLength < kMaxPayload ? block.outLength : kMaxPayload;
  std::vector<uint8_t> frame(kHeaderSize + inLength);
  const HeaderBytes head = EncodeRequest({code, inLength, outCapacity});
  std::memcpy(frame.data(), head.data(), head.size());
  if (inLength > 0) std::memcpy(frame.data() + kHeaderSize, block.inBuffer, inLength);
  if (base::WriteFull(fd, frame) != 0) return -1;

  // Header and output usually arrive together: take both with one read.
  std::vector<uint8_t> replyBytes(kHeaderSize + outCapacity);
  const long got = base::ReadAtLeast(fd, replyBytes, kHeaderSize);
  if (got < 0) return -1;
  const auto decoded = DecodeReply(std::span(replyBytes).first<kHeaderSize>(), outCapacity);
  if (!decoded) {
    errno = EPROTO;
    return -1;
  }
  reply = *decoded;
  const size_t total = kHeaderSize + reply.bytesReturned;
  if (static_cast<size_t>(got) > total) {  // the server never sends ahead
    errno = EPROTO;
    return -1;
  }
  if (static_cast<size_t>(got) < total &&
      base::ReadFull(fd,
                     std::span(replyBytes)
                         .subspan(static_cast<size_t>(got), total - static_cast<size_t>(got))) != 0)
    return -1;
  if (reply.bytesReturned > 0)
    std::memcpy(block.outBuffer, replyBytes.data() + kHeaderSize, reply.bytesReturned);
  return 0;
}

// How long a connect waits for a server whose accept queue is full.
constexpr std::chrono::seconds kConnectTimeout{10};

int ConnectUnix(const std::string& path) {
  return base::ConnectUnix(path, kConnectTimeout).Release();
}

// Advanced in every child process at fork; async-signal-safe.
std::atomic<unsigned> g_forkGeneration{0};

void CountFork() { g_forkGeneration.fetch_add(1, std::memory_order_relaxed); }

unsigned ForkGeneration() {
  static const bool kRegistered = pthread_atfork(nullptr, nullptr, CountFork) == 0;
  (void)kRegistered;
  return g_forkGeneration.load(std::memory_order_relaxed);
}

}  // namespace

std::unique_ptr<SocketDevice> SocketDevice::Connect(const std::string& path) {
  const int fd = ConnectUnix(path);
  if (fd < 0) return nullptr;
  return std::unique_ptr<SocketDevice>(new SocketDevice(path, fd));
}

SocketDevice::SocketDevice(std::string path, int handle)
    : path_(std::move(path)), handle_(handle), idle_{handle}, generation_(ForkGeneration()) {}

SocketDevice::~SocketDevice() {
  for (const int fd : idle_)
    if (fd != handle_) ::close(fd);
  ::close(handle_);
}

// Called with mutex_ held, in a child process on its first call: the inherited
// connections belong to the parent's conversations. The handle's number stays
// allocated (on /dev/null) until DevClose; calls use fresh connections.
void SocketDevice::ForgetInheritedConnections() {
  for (const int fd : idle_)
    if (fd != handle_) ::close(fd);
  idle_.clear();
  const int placeholder = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  if (placeholder >= 0) {
    ::dup3(placeholder, handle_, O_CLOEXEC);
    ::close(placeholder);
  }
  generation_ = ForkGeneration();
}

int SocketDevice::Acquire() {
  int fd = -1;
  {
    std::lock_guard lock(mutex_);
    if (generation_ != ForkGeneration()) ForgetInheritedConnections();
    if (!idle_.empty()) {
      fd = idle_.back();
      idle_.pop_back();
    }
  }
  if (fd >= 0 && !IsStale(fd)) return fd;
  if (fd >= 0) Release(fd, false);
  return ConnectUnix(path_);
}

void SocketDevice::Release(int fd, bool healthy) {
  if (!healthy) {
    if (fd != handle_) {
      ::close(fd);
      return;
    }
    // The handle's number must stay allocated (the caller holds it): put a fresh
    // connection under the same number, or a placeholder the next call replaces.
    const int fresh = ConnectUnix(path_);
    if (fresh >= 0) {
      ::dup3(fresh, handle_, O_CLOEXEC);
      ::close(fresh);
    } else {
      const int placeholder = ::open("/dev/null", O_RDWR | O_CLOEXEC);
      if (placeholder >= 0) {
        ::dup3(placeholder, handle_, O_CLOEXEC);
        ::close(placeholder);
      }
    }
  }
  std::lock_guard lock(mutex_);
  idle_.push_back(fd);
}

int SocketDevice::Ioctl(unsigned long request, void* arg) {
  auto* block = static_cast<IoctlBlock*>(arg);
  if (block == nullptr || (block->inLength > 0 && block->inBuffer == nullptr) ||
      (block->outLength > 0 && block->outBuffer == nullptr)) {
    errno = EFAULT;
    return -1;
  }
  if (block->inLength > kMaxPayload || request > UINT32_MAX) {
    errno = EINVAL;
    return -1;
  }
  const int fd = Acquire();
  if (fd < 0) {
    if (block->status != nullptr) *block->status = IMB_STATUS_DEVICE_NOT_CONNECTED;
    return -1;
  }
  ReplyHeader reply;
  if (Exchange(fd, static_cast<uint32_t>(request), *block, reply) != 0) {
    const int err = errno;
    Release(fd, false);
    if (block->status != nullptr) *block->status = IMB_STATUS_DEVICE_NOT_CONNECTED;
    errno = err;
    return -1;
  }
  Release(fd, true);
  if (block->status != nullptr) *block->status = reply.status;
  if (block->bytesReturned != nullptr) *block->bytesReturned = reply.bytesReturned;
  if (reply.error != 0) {
    errno = static_cast<int>(reply.error);
    return -1;
  }
  return 0;
}

}  // namespace mgmt::dev
