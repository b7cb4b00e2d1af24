#include "fake_pnp_driver.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "firmwareioctl.h"

namespace mgmt::test {

namespace {
constexpr int kFakeFd = 1000;
}

FakePnpDriver::FakePnpDriver() { pnp::UseDriverCalls(this); }

FakePnpDriver::~FakePnpDriver() { pnp::UseDriverCalls(nullptr); }

void FakePnpDriver::Add(uint16_t handle, std::vector<uint8_t> bytes) {
  structures_[handle] = std::move(bytes);
  order_.push_back(handle);
}

int FakePnpDriver::Open(const char*, int) {
  if (missing) {
    errno = ENOENT;
    return -1;
  }
  ++opens_;
  return kFakeFd;
}

int FakePnpDriver::Close(int) {
  ++closes_;
  return 0;
}

int FakePnpDriver::Ioctl(int fd, unsigned long request, void* arg) {
  if (fd != kFakeFd) {
    errno = EBADF;
    return -1;
  }
  if (request == dev::kPnpGetStructure) ++fetchCalls_;
  if (repeated_ < repeats) {
    ++repeated_;
    return static_cast<int>(dev::kPnpRepeat);
  }
  repeated_ = 0;
  if (request == dev::kPnpGetMaxStructureSize) {
    if (!maxStructureSize) return -1;
    std::memcpy(arg, &*maxStructureSize, sizeof(uint32_t));
    return 0;
  }
  if (request == dev::kPnpGetStructure) return Fetch(arg);
  errno = ENOTTY;
  return -1;
}

int FakePnpDriver::Fetch(void* arg) {
  if (failFetchesAfter && fetches_ >= *failFetchesAfter) return -1;
  dev::PnpStructureRequest request;
  std::memcpy(&request, arg, sizeof request);
  uint16_t handle = *request.handle;
  if (handle == 0 && !order_.empty() && !structures_.contains(0)) handle = order_.front();

  std::vector<uint8_t> endlessStructure;
  const std::vector<uint8_t>* bytes = nullptr;
  uint16_t next = dev::kPnpNoMoreHandles;
  if (const auto it = structures_.find(handle); it != structures_.end()) {
    bytes = &it->second;
    const auto at = std::find(order_.begin(), order_.end(), handle);
    if (at + 1 != order_.end()) next = *(at + 1);
    if (endless_ && at + 1 == order_.end()) next = static_cast<uint16_t>(handle + 1);
  } else if (endless_) {
    endlessStructure = {0x80, 4, static_cast<uint8_t>(handle), static_cast<uint8_t>(handle >> 8),
                        0,    0};
    bytes = &endlessStructure;
    next = static_cast<uint16_t>(handle + 1);
  } else {
    errno = ENOENT;
    return -1;
  }
  if (const auto it = next_.find(handle); it != next_.end()) next = it->second;

  // A driver copies at most the size it is given, whatever the structure says.
  std::memcpy(request.buffer, bytes->data(), std::min<size_t>(bytes->size(), *request.bufferSize));
  *request.handle = next;
  ++fetches_;
  fetched_.push_back(handle);
  return 0;
}

}  // namespace mgmt::test
