// The IMB driver's ioctl semantics, independent of how calls arrive: decodes the
// request buffers, sends IPMI requests to the backend and forms the output.
#ifndef MGMT_IMBD_IMBSERVICE_H
#define MGMT_IMBD_IMBSERVICE_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "backend.h"

namespace mgmt::imbd {

/// The result of one driver call: errno-style error (0: success), the driver
/// status word and the output bytes.
struct CallResult {
  uint32_t error = 0;
  uint32_t status = 0;
  std::vector<uint8_t> output;
};

class ImbService {
 public:
  /// `defaultTimeout` applies to synchronous requests that carry a time-out of 0.
  explicit ImbService(Backend& backend,
                      std::chrono::milliseconds defaultTimeout = std::chrono::seconds(30))
      : backend_(backend), defaultTimeout_(defaultTimeout) {}

  /// Serves one ioctl: `code`, its input bytes and the caller's output capacity.
  /// Never reads past `input` and never returns more than `outCapacity` bytes.
  CallResult Call(uint32_t code, std::span<const uint8_t> input, uint32_t outCapacity);

  /// The last shutdown code and delay set (zero until one is set).
  uint32_t ShutdownCode() const { return shutdownCode_; }
  uint32_t ShutdownDelay() const { return shutdownDelay_; }

 private:
  CallResult SendMessage(std::span<const uint8_t> input, uint32_t outCapacity);

  Backend& backend_;
  const std::chrono::milliseconds defaultTimeout_;
  std::atomic<uint32_t> nextHandle_{1};
  std::atomic<uint8_t> nextAsyncSeq_{1};
  std::atomic<uint32_t> shutdownCode_{0};
  std::atomic<uint32_t> shutdownDelay_{0};
};

}  // namespace mgmt::imbd

#endif
