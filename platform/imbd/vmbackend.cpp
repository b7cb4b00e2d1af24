#include "vmbackend.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "fdio.h"
#include "log.h"

namespace mgmt::imbd {
namespace {

// What an answer must echo: the response network function and the command.
uint32_t AnswerTag(uint8_t requestNetFn, uint8_t cmd) {
  return static_cast<uint32_t>((requestNetFn | 1) << 8 | cmd);
}

constexpr auto kConnectTimeout = std::chrono::seconds(2);

// Connects with a bounded wait, so a remote host that drops packets cannot stall
// shutdown for minutes.
int ConnectTcp(const std::string& host, const std::string& port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &list) != 0) {
    errno = EHOSTUNREACH;
    return -1;
  }
  int fd = -1;
  int err = ECONNREFUSED;
  for (addrinfo* ai = list; ai != nullptr && fd < 0; ai = ai->ai_next) {
    fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
    if (fd < 0) continue;
    int rc = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
    if (rc != 0 && errno == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      const int ms = static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(kConnectTimeout).count());
      if (::poll(&p, 1, ms) == 1) {
        socklen_t len = sizeof(err);
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
        rc = err == 0 ? 0 : -1;
      } else {
        err = ETIMEDOUT;
      }
    } else if (rc != 0) {
      err = errno;
    }
    if (rc != 0) {
      ::close(fd);
      fd = -1;
    }
  }
  freeaddrinfo(list);
  if (fd < 0) {
    errno = err;
    return -1;
  }
  const int flags = fcntl(fd, F_GETFL);
  fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
  return fd;
}

}  // namespace

VmBackend::VmBackend(Options options) : options_(std::move(options)) {
  if (::pipe2(wake_, O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;
  thread_ = std::thread([this] { Run(); });
}

VmBackend::~VmBackend() {
  stop_ = true;
  if (wake_[1] >= 0) {
    const uint8_t b = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_[1], &b, 1);
  }
  thread_.join();
  for (const int fd : wake_)
    if (fd >= 0) ::close(fd);
}

bool VmBackend::Connected() const {
  std::lock_guard lock(mutex_);
  return fd_ >= 0;
}

void VmBackend::Run() {
  auto backoff = options_.minBackoff;
  bool reportedDown = false;
  while (!stop_) {
    const int fd = ConnectTcp(options_.host, options_.port);
    if (fd < 0) {
      if (!reportedDown) {
        Log(LOG_WARNING, "BMC simulator %s:%s not reachable: %s; retrying",
            options_.host.c_str(), options_.port.c_str(), std::strerror(errno));
        reportedDown = true;
      }
      pollfd p{wake_[0], POLLIN, 0};
      ::poll(&p, 1, static_cast<int>(backoff.count()));
      backoff = std::min(backoff * 2, options_.maxBackoff);
      continue;
    }
    Log(LOG_INFO, "connected to BMC simulator %s:%s", options_.host.c_str(),
        options_.port.c_str());
    reportedDown = false;
    backoff = options_.minBackoff;
    std::vector<uint8_t> hello = vm::EncodeControl(vm::kVersion, vm::kProtocolVersion);
    const auto caps = vm::EncodeControl(vm::kCapabilities, options_.capabilities);
    hello.insert(hello.end(), caps.begin(), caps.end());
    if (dev::WriteFull(fd, hello) != 0) {
      ::close(fd);
      continue;
    }
    {
      std::lock_guard lock(mutex_);
      fd_ = fd;
    }
    ReadLoop(fd);
    {
      std::lock_guard lock(mutex_);
      fd_ = -1;
      ::close(fd);
    }
    pending_.FailAll(Outcome::kUnavailable);
    if (!stop_) Log(LOG_WARNING, "connection to BMC simulator lost; reconnecting");
  }
}

void VmBackend::ReadLoop(int fd) {
  vm::Decoder decoder;
  std::vector<vm::Frame> frames;
  uint8_t buffer[512];
  while (!stop_) {
    pollfd p[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (::poll(p, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (p[1].revents != 0) return;
    const ssize_t n = ::read(fd, buffer, sizeof(buffer));
    if (n == 0) return;
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    frames.clear();
    const size_t droppedBefore = decoder.Dropped();
    decoder.Feed({buffer, static_cast<size_t>(n)}, frames);
    if (decoder.Dropped() != droppedBefore) {
      dropped_ += decoder.Dropped() - droppedBefore;
      Log(LOG_DEBUG, "dropped a malformed frame from the simulator");
    }
    for (const auto& frame : frames) HandleFrame(frame);
  }
}

void VmBackend::HandleFrame(const vm::Frame& frame) {
  if (frame.kind == vm::Frame::Kind::kControl) {
    HandleControl(frame.bytes);
    return;
  }
  const auto response = vm::ParseResponse(frame.bytes);
  if (!response) {
    ++dropped_;
    Log(LOG_DEBUG, "dropped a message with a bad checksum or length");
    return;
  }
  // Tag check: the network function with its response bit and the command.
  const uint32_t tag = static_cast<uint32_t>(response->netFn) << 8 | response->cmd;
  if (!pending_.Complete(response->seq, tag, response->bytes))
    Log(LOG_DEBUG, "dropped an answer nobody waits for (seq %u)", response->seq);
}

void VmBackend::HandleControl(const std::vector<uint8_t>& bytes) {
  switch (bytes[0]) {
    case vm::kPowerOff:
      Log(LOG_WARNING, "BMC requests host power off");
      break;
    case vm::kForceOff:
      Log(LOG_WARNING, "BMC requests host forced power off");
      break;
    case vm::kReset:
      Log(LOG_WARNING, "BMC requests host reset");
      break;
    case vm::kSendNmi:
      Log(LOG_WARNING, "BMC requests an NMI");
      break;
    case vm::kVersion:
      Log(LOG_DEBUG, "simulator protocol version %u", bytes.size() > 1 ? bytes[1] : 0);
      break;
    default:
      // Attention and interrupt control: imbd never waits for attention, it
      // matches answers by sequence number.
      break;
  }
}

IpmiResponse VmBackend::Transact(const IpmiRequest& request, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  uint8_t seq = 0;
  {
    std::lock_guard lock(mutex_);
    if (fd_ < 0) return {Outcome::kUnavailable, {}};
    // Sequence numbers go round, so a late answer to a timed-out request is not
    // mistaken for the answer to the next one.
    bool found = false;
    for (int i = 0; i < 256 && !found; ++i) {
      seq = nextSeq_++;
      found = pending_.Add(seq, AnswerTag(request.netFn, request.cmd));
    }
    if (!found) return {Outcome::kBusy, {}};
    const auto wire = vm::EncodeRequest(seq, request.netFn, request.rsLun, request.cmd, request.data);
    if (dev::WriteFull(fd_, wire) != 0) {
      pending_.Remove(seq);
      // The reader sees the broken connection and reconnects.
      ::shutdown(fd_, SHUT_RDWR);
      return {Outcome::kUnavailable, {}};
    }
  }
  return pending_.Wait(seq, deadline);
}

}  // namespace mgmt::imbd
