// Backend "openipmi:DEVICE": the Linux IPMI driver (/dev/ipmi0) on a real server.
#ifndef MGMT_IMBD_OPENIPMIBACKEND_H
#define MGMT_IMBD_OPENIPMIBACKEND_H

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "backend.h"
#include "ipmidevio.h"
#include "pending.h"

namespace mgmt::imbd {

/// Sends each request with its own message id; one reader thread receives the
/// driver's answers and hands each to the request whose id it carries.
class OpenIpmiBackend final : public Backend {
 public:
  explicit OpenIpmiBackend(std::unique_ptr<IpmiDevIo> device);
  ~OpenIpmiBackend() override;
  OpenIpmiBackend(const OpenIpmiBackend&) = delete;
  OpenIpmiBackend& operator=(const OpenIpmiBackend&) = delete;

  IpmiResponse Transact(const IpmiRequest& request, std::chrono::milliseconds timeout) override;
  void Shutdown() override;

 private:
  void ReadLoop();

  std::unique_ptr<IpmiDevIo> device_;
  std::mutex sendMutex_;
  uint32_t nextId_ = 1;
  std::atomic<bool> stop_{false};
  std::atomic<bool> shuttingDown_{false};
  PendingTable pending_;
  std::thread reader_;
};

}  // namespace mgmt::imbd

#endif
