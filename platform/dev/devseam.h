// The device seam: how the system opens and drives kernel driver devices.
//
// Paths are resolved through the installation root. What the resolved path is
// decides how calls are served:
//   - a character device (or any other file): the real system calls;
//   - a Unix socket (the /dev/imb path served by imbd): each DevIoctl is one framed
//     exchange with the server (see devframe.h); the argument must be an IMB
//     IoctlBlock. Threads of a process may share one descriptor: concurrent calls
//     use separate connections, so one slow request does not hold up the others.
//   - /dev/smbdrv or /dev/hmpdrv absent, but the firmware tables exported under
//     /sys/firmware/dmi/tables/ readable: the driver is served in-process from them
//     (firmwaredev.h); otherwise the open fails as for a missing driver.
#ifndef MGMT_PLATFORM_DEVSEAM_H
#define MGMT_PLATFORM_DEVSEAM_H

#include <stddef.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

/// Opens the device at `path` (resolved through the installation root) with the
/// open(2) `flags`. Returns a descriptor, never 0, 1 or 2 (so 0 can keep meaning
/// "not open" to callers even when the process started with standard input
/// closed), or -1 with errno set.
int DevOpen(const char* path, int flags);

/// Driver control call on a descriptor from DevOpen. Returns what ioctl(2) would:
/// 0 (or the driver's non-negative result) on success, -1 with errno set.
int DevIoctl(int fd, unsigned long request, void* arg);

/// Memory-maps a device opened with DevOpen. Devices served over a socket cannot
/// be mapped: MAP_FAILED with errno ENODEV.
void* DevMmap(int fd, size_t length, int prot, int flags, off_t offset);

/// Closes a descriptor from DevOpen. Returns 0, or -1 with errno set.
int DevClose(int fd);

#ifdef __cplusplus
}

namespace mgmt::dev {

/// Owns one descriptor from DevOpen and gives it back with DevClose (never
/// close(2): an emulated device's number belongs to the seam). Move-only.
class DevFd {
 public:
  DevFd() = default;
  explicit DevFd(int fd) : fd_(fd) {}
  DevFd(const DevFd&) = delete;
  DevFd& operator=(const DevFd&) = delete;
  DevFd(DevFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  DevFd& operator=(DevFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  ~DevFd() { Reset(); }

  [[nodiscard]] int Get() const { return fd_; }
  [[nodiscard]] bool Valid() const { return fd_ >= 0; }
  void Reset() {
    if (fd_ >= 0) DevClose(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

}  // namespace mgmt::dev
#endif

#endif
