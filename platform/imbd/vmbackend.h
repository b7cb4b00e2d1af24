// Backend "vm:HOST:PORT": a BMC simulator (ipmi_sim, or QEMU's external BMC)
// reached over TCP with the VM serial protocol.
#ifndef MGMT_IMBD_VMBACKEND_H
#define MGMT_IMBD_VMBACKEND_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "backend.h"
#include "base/clock.h"
#include "pending.h"
#include "vmcodec.h"

namespace mgmt::imbd {

/// Keeps one connection to the simulator, reconnecting with growing pauses when it
/// goes away. Requests from many threads share it; answers are matched to their
/// requests by sequence number. While the simulator is unreachable, requests fail
/// at once instead of waiting out their time-out.
///
/// Reading: a waiting request reads the connection itself (one reader at a time;
/// it hands other requests their answers), so an answer does not pass through a
/// further thread on its way back. The connection thread reads only while no
/// request has come or gone for a while, to log the simulator's control commands,
/// and gives the reader role up as soon as a request wants it.
class VmBackend final : public Backend {
 public:
  struct Options {
    std::string host = "127.0.0.1";
    std::string port;
    std::chrono::milliseconds minBackoff{50};
    std::chrono::milliseconds maxBackoff{2000};
    /// Announced on connecting: power and reset, so the BMC's watchdog may act.
    uint8_t capabilities = vm::kCapPower | vm::kCapReset;
    /// The clock requests' time-outs are measured on.
    base::Clock* clock = &base::SystemClock();
    /// Longest single wait of a request before it looks again whether it may read
    /// the connection itself; never past the request's deadline.
    std::chrono::milliseconds waitSlice{100};
  };

  explicit VmBackend(Options options);
  ~VmBackend() override;
  VmBackend(const VmBackend&) = delete;
  VmBackend& operator=(const VmBackend&) = delete;

  IpmiResponse Transact(const IpmiRequest& request, std::chrono::milliseconds timeout) override;
  void Shutdown() override;

  /// True while a connection to the simulator is up.
  bool Connected() const;
  /// Frames dropped as malformed since start (for tests and logs).
  size_t DroppedFrames() const { return dropped_; }

 private:
  void Run();
  void Serve(int fd);
  IpmiResponse Await(uint8_t seq, base::Clock::TimePoint deadline);
  bool ReadOnce(int fd, int timeoutMs, bool yieldToRequests);
  void ConnectionLost(int fd);
  void Kick();
  void HandleFrame(const vm::Frame& frame);
  void HandleControl(const std::vector<uint8_t>& bytes);

  const Options options_;
  mutable std::mutex mutex_;  // guards fd_, nextSeq_ and writes to fd_
  int fd_ = -1;
  uint8_t nextSeq_ = 0;
  std::mutex readMutex_;  // the reader role; guards decoder_
  vm::Decoder decoder_;
  std::atomic<int> waiting_{0};           // requests in Transact
  std::atomic<int64_t> lastActivity_{0};  // steady-clock ns of the last request's start or end
  std::atomic<bool> backgroundReading_{false};
  int wake_[2] = {-1, -1};  // shutdown
  int kick_[2] = {-1, -1};  // a request wants the reader role; or the connection broke
  std::atomic<bool> stop_{false};
  std::atomic<size_t> dropped_{0};
  std::atomic<bool> shuttingDown_{false};
  PendingTable pending_;
  std::thread thread_;
};

}  // namespace mgmt::imbd

#endif
