// The calls the "openipmi" backend makes on the Linux IPMI driver's device,
// behind an interface so tests can script a device no machine here has.
#ifndef MGMT_IMBD_IPMIDEVIO_H
#define MGMT_IMBD_IPMIDEVIO_H

#include <linux/ipmi.h>
#include <memory>
#include <string>

namespace mgmt::imbd {

class IpmiDevIo {
 public:
  virtual ~IpmiDevIo() = default;
  /// IPMICTL_SEND_COMMAND: 0, or -1 with errno.
  virtual int Send(ipmi_req& request) = 0;
  /// Waits up to `timeoutMs` for a message: 1 readable, 0 nothing, -1 error.
  virtual int Poll(int timeoutMs) = 0;
  /// IPMICTL_RECEIVE_MSG_TRUNC: 0, or -1 with errno.
  virtual int Receive(ipmi_recv& message) = 0;
};

/// Opens the driver's device (the path is resolved through the installation root).
/// Null with errno set when it cannot be opened.
std::unique_ptr<IpmiDevIo> OpenIpmiDevice(const std::string& path);

}  // namespace mgmt::imbd

#endif
