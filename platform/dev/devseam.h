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
#endif

#endif
