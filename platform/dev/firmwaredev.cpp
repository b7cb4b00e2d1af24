#include "firmwaredev.h"

#include <sys/eventfd.h>
#include <cerrno>
#include <cstring>
#include <unordered_set>

#include "base/fdio.h"
#include "firmwareioctl.h"
#include "smbios/walker.h"

namespace mgmt::dev {

SmbiosTableDevice::SmbiosTableDevice(base::UniqueFd handle, smbios::PreparedTable table)
    : handle_(std::move(handle)), table_(std::move(table)) {}

int SmbiosTableDevice::Ioctl(unsigned long request, void* arg) {
  if (request != SMBIOS_IOCTL_GET_HEADER && request != SMBIOS_IOCTL_GET_TABLE) {
    errno = ENOTTY;
    return -1;
  }
  if (arg == nullptr) {
    errno = EFAULT;
    return -1;
  }
  // The caller's buffer is 64 bytes for the header and as long as the header's
  // table length for the table: exactly those bytes are written, never more.
  const auto& bytes = request == SMBIOS_IOCTL_GET_HEADER ? table_.header : table_.table;
  if (!bytes.empty()) std::memcpy(arg, bytes.data(), bytes.size());
  return 0;
}

PnpBiosDevice::PnpBiosDevice(base::UniqueFd handle, smbios::PreparedTable table)
    : handle_(std::move(handle)), table_(std::move(table)) {
  std::vector<Link> structures;
  for (const smbios::Structure& s : smbios::Structures(table_.table)) {
    structures.push_back({s.Offset(), s.Size(), s.Handle()});
  }
  size_t start = 0;
  for (size_t i = 0; i < structures.size(); ++i) {
    if (structures[i].handle == kPnpFirstHandle) {
      start = i;
      break;
    }
  }
  std::unordered_set<uint16_t> seen;
  for (size_t n = 0; n < structures.size(); ++n) {
    const Link& link = structures[(start + n) % structures.size()];
    // A repeated handle could only ever reach its first structure, and 0xFFFF
    // reads as "no more": neither can be part of the chain.
    if (link.handle == kPnpNoMoreHandles || !seen.insert(link.handle).second) continue;
    position_[link.handle] = chain_.size();
    chain_.push_back(link);
  }
}

int PnpBiosDevice::Ioctl(unsigned long request, void* arg) {
  if (arg == nullptr) {
    errno = EFAULT;
    return -1;
  }
  switch (request) {
    case kPnpGetMaxStructureSize: {
      const auto largest = static_cast<uint32_t>(table_.largestStructure);
      std::memcpy(arg, &largest, sizeof largest);
      return 0;
    }
    case kPnpGetStructure:
      return GetStructure(arg);
    default:
      errno = ENOTTY;
      return -1;
  }
}

int PnpBiosDevice::GetStructure(void* arg) const {
  PnpStructureRequest request;
  std::memcpy(&request, arg, sizeof request);
  if (request.handle == nullptr || request.bufferSize == nullptr || request.buffer == nullptr) {
    errno = EFAULT;
    return -1;
  }
  uint16_t handle;
  uint32_t capacity;
  std::memcpy(&handle, request.handle, sizeof handle);
  std::memcpy(&capacity, request.bufferSize, sizeof capacity);

  size_t index;
  if (handle == kPnpFirstHandle && !chain_.empty()) {
    index = 0;
  } else if (const auto it = position_.find(handle); it != position_.end()) {
    index = it->second;
  } else {
    errno = ENOENT;
    return -1;
  }
  const Link& link = chain_[index];
  if (link.size > capacity) {
    errno = EOVERFLOW;
    return -1;
  }
  std::memcpy(request.buffer, table_.table.data() + link.offset, link.size);
  const uint16_t next = index + 1 < chain_.size() ? chain_[index + 1].handle : kPnpNoMoreHandles;
  std::memcpy(request.handle, &next, sizeof next);
  return 0;
}

bool IsFirmwareDriverPath(std::string_view path) {
  return path == kSmbiosDriverPath || path == kPnpBiosDriverPath;
}

std::unique_ptr<Device> OpenFirmwareDevice(std::string_view path) {
  const bool smbios = path == kSmbiosDriverPath;
  if (!IsFirmwareDriverPath(path)) {
    errno = ENOENT;
    return nullptr;
  }
  smbios::LoadError error{};
  auto table = smbios::LoadFirmwareTable(&error);
  if (!table) {
    // Unreadable files keep the system's reason (EACCES for a user other than
    // root, who alone may read the exported table).
    if (error == smbios::LoadError::kMissing) errno = ENOENT;
    if (error == smbios::LoadError::kBadEntryPoint) errno = ENODEV;
    return nullptr;
  }
  // The caller's handle is a descriptor of its own, so it can never be mistaken
  // for another open file and close(2) on it would be harmless.
  base::UniqueFd handle(base::MoveAboveStdio(::eventfd(0, EFD_CLOEXEC)));
  if (!handle.Valid()) return nullptr;
  if (smbios) return std::make_unique<SmbiosTableDevice>(std::move(handle), std::move(*table));
  return std::make_unique<PnpBiosDevice>(std::move(handle), std::move(*table));
}

}  // namespace mgmt::dev
