#include "devseam.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "base/fdio.h"
#include "firmwaredev.h"
#include "installroot.h"
#include "sockdev.h"

namespace {

// Devices the seam serves itself, by the descriptor handed out. Shared pointers
// keep a device alive while a call on it runs, even if another thread closes it.
struct Registry {
  std::mutex mutex;
  std::unordered_map<int, std::shared_ptr<mgmt::dev::Device>> devices;

  std::shared_ptr<mgmt::dev::Device> Find(int fd) {
    std::lock_guard lock(mutex);
    const auto it = devices.find(fd);
    return it == devices.end() ? nullptr : it->second;
  }
};

Registry& Devices() {
  static Registry registry;
  return registry;
}

}  // namespace

extern "C" int DevOpen(const char* path, int flags) {
  if (path == nullptr) {
    errno = EFAULT;
    return -1;
  }
  const std::string resolved = mgmt::RootPath(path);
  std::shared_ptr<mgmt::dev::Device> device;
  struct stat st {};
  if (::stat(resolved.c_str(), &st) == 0) {
    if (S_ISSOCK(st.st_mode)) {
      device = mgmt::dev::SocketDevice::Connect(resolved);
      if (!device) return -1;
    }
  } else if (errno == ENOENT && mgmt::dev::IsFirmwareDriverPath(path)) {
    // No driver installed: the firmware-table drivers are served from the tables
    // the kernel exports, when it does.
    device = mgmt::dev::OpenFirmwareDevice(path);
    if (!device) return -1;
  }
  if (device) {
    const int fd = device->Handle();
    auto& registry = Devices();
    std::lock_guard lock(registry.mutex);
    registry.devices[fd] = std::move(device);
    return fd;
  }
  return mgmt::base::MoveAboveStdio(::open(resolved.c_str(), flags | O_CLOEXEC));
}

extern "C" int DevIoctl(int fd, unsigned long request, void* arg) {
  if (const auto device = Devices().Find(fd)) return device->Ioctl(request, arg);
  return ::ioctl(fd, request, arg);
}

extern "C" void* DevMmap(int fd, size_t length, int prot, int flags, off_t offset) {
  if (Devices().Find(fd)) {
    errno = ENODEV;
    return MAP_FAILED;
  }
  return ::mmap(nullptr, length, prot, flags, fd, offset);
}

extern "C" int DevClose(int fd) {
  std::shared_ptr<mgmt::dev::Device> device;
  {
    auto& registry = Devices();
    std::lock_guard lock(registry.mutex);
    const auto it = registry.devices.find(fd);
    if (it != registry.devices.end()) {
      device = std::move(it->second);
      registry.devices.erase(it);
    }
  }
  if (device) return 0;  // closed when the last running call on it returns
  return ::close(fd);
}
