// A scripted /dev/hmpdrv for the sensor library's tests: structures served by
// handle with a chain the test chooses (also broken ones), requests answered with
// "repeat" on demand, and every call counted. Installed for the library while it
// lives.
#ifndef MGMT_TESTS_PNPSENSORS_FAKE_PNP_DRIVER_H
#define MGMT_TESTS_PNPSENSORS_FAKE_PNP_DRIVER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "pnpbios.h"

namespace mgmt::test {

class FakePnpDriver final : public pnp::DriverCalls {
 public:
  FakePnpDriver();
  ~FakePnpDriver() override;
  FakePnpDriver(const FakePnpDriver&) = delete;
  FakePnpDriver& operator=(const FakePnpDriver&) = delete;

  /// Serves `bytes` for `handle`; the chain follows the order of Add unless Next
  /// is set. Handle 0 fetches the first structure added.
  void Add(uint16_t handle, std::vector<uint8_t> bytes);
  /// The structure of a handle, to change between fetches.
  std::vector<uint8_t>& Structure(uint16_t handle) { return structures_.at(handle); }
  /// Overrides the next handle answered after `handle` (e.g. a loop).
  void Next(uint16_t handle, uint16_t next) { next_[handle] = next; }
  /// Answers every fetch that is not of an added handle with a new structure of
  /// type 0x80 and the handle after it, forever.
  void EndlessChain() { endless_ = true; }

  /// The largest structure size answered (nullopt: the request fails).
  std::optional<uint32_t> maxStructureSize = 64;
  /// Requests answered with "repeat" before the real answer (both requests);
  /// UINT32_MAX: always.
  uint32_t repeats = 0;
  /// Fetches fail from this many successful ones on.
  std::optional<size_t> failFetchesAfter;
  /// Opening fails.
  bool missing = false;

  size_t Opens() const { return opens_; }
  size_t Closes() const { return closes_; }
  /// Calls of the structure request, repeats included.
  size_t FetchCalls() const { return fetchCalls_; }
  size_t Fetches() const { return fetches_; }
  /// Handles fetched successfully, in order.
  const std::vector<uint16_t>& Fetched() const { return fetched_; }

  int Open(const char* path, int flags) override;
  int Ioctl(int fd, unsigned long request, void* arg) override;
  int Close(int fd) override;

 private:
  int Fetch(void* arg);

  std::map<uint16_t, std::vector<uint8_t>> structures_;
  std::vector<uint16_t> order_;
  std::map<uint16_t, uint16_t> next_;
  bool endless_ = false;
  uint32_t repeated_ = 0;
  size_t opens_ = 0;
  size_t closes_ = 0;
  size_t fetchCalls_ = 0;
  size_t fetches_ = 0;
  std::vector<uint16_t> fetched_;
};

}  // namespace mgmt::test

#endif
