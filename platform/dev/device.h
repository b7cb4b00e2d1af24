// A device that the seam serves itself instead of passing calls to the kernel.
#ifndef MGMT_PLATFORM_DEVICE_H
#define MGMT_PLATFORM_DEVICE_H

namespace mgmt::dev {

class Device {
 public:
  virtual ~Device() = default;
  /// The descriptor handed to the caller; stays allocated until destruction.
  virtual int Handle() const = 0;
  /// Serves one control call; ioctl(2) conventions.
  virtual int Ioctl(unsigned long request, void* arg) = 0;
};

}  // namespace mgmt::dev

#endif
