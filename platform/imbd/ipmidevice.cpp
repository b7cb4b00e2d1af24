// The real Linux IPMI device (/dev/ipmi0).
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <cerrno>

#include "devseam.h"
#include "ipmidevio.h"

namespace mgmt::imbd {
namespace {

class IpmiDevice final : public IpmiDevIo {
 public:
  explicit IpmiDevice(int fd) : fd_(fd) {}
  ~IpmiDevice() override { DevClose(fd_); }
  IpmiDevice(const IpmiDevice&) = delete;
  IpmiDevice& operator=(const IpmiDevice&) = delete;

  int Send(ipmi_req& request) override {
    return DevIoctl(fd_, IPMICTL_SEND_COMMAND, &request) < 0 ? -1 : 0;
  }
  int Poll(int timeoutMs) override {
    pollfd p{fd_, POLLIN, 0};
    const int n = ::poll(&p, 1, timeoutMs);
    if (n < 0) return errno == EINTR ? 0 : -1;
    return n;
  }
  int Receive(ipmi_recv& message) override {
    return DevIoctl(fd_, IPMICTL_RECEIVE_MSG_TRUNC, &message) < 0 ? -1 : 0;
  }

 private:
  const int fd_;
};

}  // namespace

std::unique_ptr<IpmiDevIo> OpenIpmiDevice(const std::string& path) {
  const int fd = DevOpen(path.c_str(), O_RDWR);
  if (fd < 0) return nullptr;
  return std::make_unique<IpmiDevice>(fd);
}

}  // namespace mgmt::imbd
