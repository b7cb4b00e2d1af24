// One IPMI request to the BMC (responder 0x20, LUN 0) through the IMB layer, with
// the answer held in a buffer of the largest response size, so no command's
// answer can overrun what the caller passed down.
#ifndef MGMT_SELWATCH_BMCREQUEST_H
#define MGMT_SELWATCH_BMCREQUEST_H

#include <cstdint>
#include <optional>
#include <span>

#include "imbapi.h"

namespace mgmt::selwatch {

/// The BMC's answer to one request.
struct BmcAnswer {
  bool answered = false;  ///< false: the transport failed (no completion code)
  uint8_t completionCode = 0xFF;
  uint8_t data[IMB_MAX_RESPONSE_DATA] = {};
  size_t length = 0;  ///< response bytes after the completion code

  /// Answered with completion code 0.
  [[nodiscard]] bool Ok() const { return answered && completionCode == 0; }
  [[nodiscard]] std::span<const uint8_t> Data() const { return {data, length}; }
};

inline constexpr uint8_t kBmcAddress = 0x20;
inline constexpr uint8_t kNetFnSensor = 0x04;
inline constexpr uint8_t kNetFnApp = 0x06;
inline constexpr uint8_t kNetFnStorage = 0x0A;

/// Completion codes the readers act on.
inline constexpr uint8_t kCcReservationCancelled = 0xC5;
inline constexpr uint8_t kCcCannotReturnBytes = 0xCA;
inline constexpr uint8_t kCcNotPresent = 0xCB;

/// The transfer size to ask for after a "cannot return that many bytes" answer
/// (0xCA): 32, 16, then 8 bytes, none below `floor`; nullopt once `current`
/// cannot go lower.
inline std::optional<uint8_t> SmallerTransfer(uint8_t current, uint8_t floor) {
  for (const uint8_t size : {uint8_t{32}, uint8_t{16}, uint8_t{8}}) {
    if (size < floor) break;
    if (current > size) return size;
  }
  return std::nullopt;
}

/// Sends through SendTimedImbpRequest (which waits at least 30 seconds).
BmcAnswer SendToBmc(uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data, int timeoutMs = 1000,
                    uint8_t rsSa = kBmcAddress, uint8_t rsLun = 0);

}  // namespace mgmt::selwatch

#endif
