#include "vmbackend.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/connect.h"
#include "base/fdio.h"
#include "log.h"

namespace mgmt::imbd {
namespace {

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

/// A simulator that drops packets must not stall reconnection or shutdown.
constexpr std::chrono::seconds kConnectTimeout{2};

/// Milliseconds for poll(2), rounded up so that a wait never ends before `wait`.
int PollMs(base::Clock::Duration wait) {
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
  return ms <= 0 ? 0 : static_cast<int>(std::min<int64_t>(ms, INT32_MAX));
}

}  // namespace

VmBackend::VmBackend(Options options) : options_(std::move(options)) {
  if (::pipe2(wake_, O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;
  if (::pipe2(kick_, O_CLOEXEC | O_NONBLOCK) != 0) kick_[0] = kick_[1] = -1;
  thread_ = std::thread([this] { Run(); });
}

VmBackend::~VmBackend() {
  stop_ = true;
  if (wake_[1] >= 0) {
    const uint8_t b = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_[1], &b, 1);
  }
  thread_.join();
  for (const int fd : {wake_[0], wake_[1], kick_[0], kick_[1]})
    if (fd >= 0) ::close(fd);
}

bool VmBackend::Connected() const {
  std::lock_guard lock(mutex_);
  return fd_ >= 0;
}

void VmBackend::Kick() {
  const uint8_t b = 1;
  [[maybe_unused]] const ssize_t n = ::write(kick_[1], &b, 1);
}

void VmBackend::Run() {
  auto backoff = options_.minBackoff;
  bool reportedDown = false;
  while (!stop_) {
    const auto port = static_cast<unsigned>(std::strtoul(options_.port.c_str(), nullptr, 10));
    const int fd = base::ConnectTcp(options_.host, port, kConnectTimeout).Release();
    if (fd < 0) {
      if (!reportedDown) {
        Log(LOG_WARNING, "BMC simulator %s:%s not reachable: %s; retrying", options_.host.c_str(),
            options_.port.c_str(), std::strerror(errno));
        reportedDown = true;
      }
      pollfd p{wake_[0], POLLIN, 0};
      ::poll(&p, 1, static_cast<int>(backoff.count()));
      backoff = std::min(backoff * 2, options_.maxBackoff);
      continue;
    }
    Log(LOG_INFO, "connected to BMC simulator %s:%s", options_.host.c_str(), options_.port.c_str());
    reportedDown = false;
    backoff = options_.minBackoff;
    std::vector<uint8_t> hello = vm::EncodeControl(vm::kVersion, vm::kProtocolVersion);
    const auto caps = vm::EncodeControl(vm::kCapabilities, options_.capabilities);
    hello.insert(hello.end(), caps.begin(), caps.end());
    if (base::WriteFull(fd, hello) != 0) {
      ::close(fd);
      continue;
    }
    {
      std::lock_guard role(readMutex_);
      decoder_ = vm::Decoder();
    }
    {
      std::lock_guard lock(mutex_);
      fd_ = fd;
    }
    Serve(fd);
    ConnectionLost(fd);
    {
      // No request reads the descriptor any more once the role is ours.
      std::lock_guard role(readMutex_);
      ::close(fd);
    }
    if (!stop_) Log(LOG_WARNING, "connection to BMC simulator lost; reconnecting");
  }
  ConnectionLost(-1);
}

// While connected: read for the simulator's control commands once requests have
// paused for a while (reading between two requests of a busy client would make
// each answer pass through this thread); otherwise sleep until the connection
// breaks or requests pause.
void VmBackend::Serve(int fd) {
  constexpr int kSliceMs = 200;
  constexpr int64_t kIdleNs = 50'000'000;
  while (!stop_) {
    {
      std::lock_guard lock(mutex_);
      if (fd_ != fd) return;
    }
    int sleepMs = kSliceMs;
    const int64_t idleNs = NowNs() - lastActivity_;
    if (waiting_ == 0 && idleNs < kIdleNs)
      sleepMs = static_cast<int>((kIdleNs - idleNs) / 1'000'000) + 1;
    if (waiting_ == 0 && idleNs >= kIdleNs) {
      std::unique_lock role(readMutex_, std::try_to_lock);
      if (role) {
        backgroundReading_ = true;
        const bool ok = ReadOnce(fd, kSliceMs, /*yieldToRequests=*/true);
        backgroundReading_ = false;
        role.unlock();
        pending_.Notify();
        if (!ok) return;
        continue;
      }
    }
    pollfd p[2] = {{wake_[0], POLLIN, 0}, {kick_[0], POLLIN, 0}};
    if (::poll(p, 2, sleepMs) > 0 && p[1].revents != 0) {
      uint8_t drain[64];
      while (::read(kick_[0], drain, sizeof(drain)) > 0) {
      }
    }
  }
}

// One read from the connection (called with the reader role held) once it is
// readable, waiting at most `timeoutMs`; frames go to their requests. False when
// the connection broke.
bool VmBackend::ReadOnce(int fd, int timeoutMs, bool yieldToRequests) {
  if (!yieldToRequests) {
    // A request reading for itself waits no longer than its own deadline allows.
    pollfd p{fd, POLLIN, 0};
    const int n = ::poll(&p, 1, timeoutMs);
    if (n < 0) return errno == EINTR;
    if (n == 0) return true;
  } else {
    // The connection thread waits in poll, so a request can take the role over.
    pollfd p[3] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}, {kick_[0], POLLIN, 0}};
    const int n = ::poll(p, 3, timeoutMs);
    if (n < 0) return errno == EINTR;
    if (n == 0 || p[1].revents != 0) return true;
    if (p[2].revents != 0) {
      uint8_t drain[64];
      while (::read(kick_[0], drain, sizeof(drain)) > 0) {
      }
      if (p[0].revents == 0) return true;
    }
  }
  uint8_t buffer[512];
  const ssize_t got = ::read(fd, buffer, sizeof(buffer));
  if (got < 0) return errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK;
  if (got == 0) return false;
  std::vector<vm::Frame> frames;
  const size_t droppedBefore = decoder_.Dropped();
  decoder_.Feed({buffer, static_cast<size_t>(got)}, frames);
  if (decoder_.Dropped() != droppedBefore) {
    dropped_ += decoder_.Dropped() - droppedBefore;
    Log(LOG_DEBUG, "dropped a malformed frame from the simulator");
  }
  for (const auto& frame : frames) HandleFrame(frame);
  return true;
}

void VmBackend::ConnectionLost(int fd) {
  {
    std::lock_guard lock(mutex_);
    if (fd >= 0 && fd_ == fd) {
      fd_ = -1;
      ::shutdown(fd, SHUT_RDWR);
    }
  }
  pending_.FailAll(Outcome::kUnavailable);
  Kick();
}

IpmiResponse VmBackend::Await(uint8_t seq, base::Clock::TimePoint deadline) {
  while (true) {
    if (auto done = pending_.TakeIfDone(seq)) return std::move(*done);
    const auto left = deadline - options_.clock->Now();
    if (left <= base::Clock::Duration::zero()) {
      pending_.Remove(seq);
      return {Outcome::kTimedOut, {}};
    }
    const auto wait = std::min<base::Clock::Duration>(left, options_.waitSlice);
    const uint64_t generation = pending_.Generation();
    std::unique_lock role(readMutex_, std::try_to_lock);
    if (role) {
      int fd;
      {
        std::lock_guard lock(mutex_);
        fd = fd_;
      }
      if (auto done = pending_.TakeIfDone(seq)) return std::move(*done);  // answered meanwhile
      if (fd < 0) {
        role.unlock();
        pending_.Remove(seq);
        return {Outcome::kUnavailable, {}};
      }
      const bool ok = ReadOnce(fd, PollMs(wait), /*yieldToRequests=*/false);
      role.unlock();
      pending_.Notify();
      if (!ok) ConnectionLost(fd);
      continue;
    }
    if (backgroundReading_) Kick();
    pending_.WaitSlice(seq, std::chrono::steady_clock::now() + wait, generation);
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

void VmBackend::Shutdown() {
  {
    // Under the lock Transact registers requests with: none slips past FailAll.
    std::lock_guard lock(mutex_);
    shuttingDown_ = true;
  }
  pending_.FailAll(Outcome::kUnavailable);
}

IpmiResponse VmBackend::Transact(const IpmiRequest& request, std::chrono::milliseconds timeout) {
  const auto deadline = options_.clock->Now() + timeout;
  struct Waiting {
    VmBackend& self;
    explicit Waiting(VmBackend& b) : self(b) {
      ++self.waiting_;
      self.lastActivity_ = NowNs();
    }
    ~Waiting() {
      self.lastActivity_ = NowNs();
      --self.waiting_;
    }
  } waiting(*this);
  uint8_t seq = 0;
  {
    std::lock_guard lock(mutex_);
    if (fd_ < 0 || shuttingDown_) return {Outcome::kUnavailable, {}};
    // Sequence numbers go round, so a late answer to a timed-out request is not
    // mistaken for the answer to the next one.
    bool found = false;
    for (int i = 0; i < 256 && !found; ++i) {
      seq = nextSeq_++;
      found = pending_.Add(seq, AnswerTag(request.netFn, request.cmd));
    }
    if (!found) return {Outcome::kBusy, {}};
    // The VM interface is the BMC's system interface: the responder address is
    // not carried (every caller of this system addresses the BMC, 0x20).
    const auto wire =
        vm::EncodeRequest(seq, request.netFn, request.rsLun, request.cmd, request.data);
    if (base::WriteFull(fd_, wire) != 0) {
      pending_.Remove(seq);
      // The reader sees the broken connection and reconnects.
      ::shutdown(fd_, SHUT_RDWR);
      return {Outcome::kUnavailable, {}};
    }
  }
  return Await(seq, deadline);
}

}  // namespace mgmt::imbd
