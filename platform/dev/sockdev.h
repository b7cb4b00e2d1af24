// The client side of a device served over a Unix socket (imbd at /dev/imb).
#ifndef MGMT_PLATFORM_SOCKDEV_H
#define MGMT_PLATFORM_SOCKDEV_H

#include <sys/types.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device.h"

namespace mgmt::dev {

/// Connections to one socket path. The first connection's descriptor is the
/// caller's handle. A call takes an idle connection (or opens another), so calls
/// from several threads run side by side; a connection that broke is replaced, so
/// a restarted server is picked up again by the next call. A child process that
/// inherited the descriptor gets connections of its own on its first call, so
/// parent and child never share one conversation.
class SocketDevice final : public Device {
 public:
  /// Connects to `path`; null with errno set when nothing listens there.
  static std::unique_ptr<SocketDevice> Connect(const std::string& path);
  ~SocketDevice() override;
  SocketDevice(const SocketDevice&) = delete;
  SocketDevice& operator=(const SocketDevice&) = delete;

  int Handle() const override { return handle_; }
  /// `arg` is an IoctlBlock; its buffers are copied across the socket.
  int Ioctl(unsigned long request, void* arg) override;

 private:
  SocketDevice(std::string path, int handle);
  int Acquire();
  void Release(int fd, bool healthy);
  void ForgetInheritedConnections();

  const std::string path_;
  const int handle_;
  std::mutex mutex_;
  std::vector<int> idle_;
  unsigned generation_;  // fork generation of the process whose connections idle_ holds
};

}  // namespace mgmt::dev

#endif
