// Read-only mapping of physical memory through the IMB driver.
#include <fcntl.h>
#include <sys/mman.h>

#include "devseam.h"
#include "imbapi.h"
#include "imbapi_internal.h"

namespace {
constexpr uintptr_t kPageSize = 4096;
}

int MapPhysicalMemory(uintptr_t startAddress, int addressLength, uintptr_t* virtualAddress) {
  if (startAddress == 0 || addressLength <= 0 || virtualAddress == nullptr) return 1;
  const int fd = DevOpen("/dev/imb", O_RDONLY);
  if (fd < 0) {
    imbapi::PrintDriverError("MapPhysicalMemory", "open(/dev/imb) failed");
    return 1;
  }
  const uintptr_t offset = startAddress % kPageSize;
  void* mapped = DevMmap(fd, offset + static_cast<size_t>(addressLength), PROT_READ, MAP_SHARED,
                         static_cast<off_t>(startAddress - offset));
  if (mapped == MAP_FAILED) {
    imbapi::PrintDriverError("MapPhysicalMemory", "mmap failed");
    DevClose(fd);
    return 1;
  }
  // The mapping outlives the descriptor; keeping it open would leak one per call.
  DevClose(fd);
  *virtualAddress = reinterpret_cast<uintptr_t>(mapped) + offset;
  return 0;
}

int UnmapPhysicalMemory(uintptr_t virtualAddress, int length) {
  const uintptr_t offset = virtualAddress % kPageSize;
  if (length < 0 || ::munmap(reinterpret_cast<void*>(virtualAddress - offset),
                             static_cast<size_t>(length) + offset) != 0) {
    imbapi::PrintDriverError("UnmapPhysicalMemory", "munmap failed");
    return 1;
  }
  return 0;
}
