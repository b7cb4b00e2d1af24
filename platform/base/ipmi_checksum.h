// The IPMI checksum: the two's complement of the byte sum, so that the checked
// bytes and their checksum add up to 0 modulo 256 (IPMB messages, FRU areas, the
// simulator's serial framing).
#ifndef MGMT_BASE_IPMI_CHECKSUM_H
#define MGMT_BASE_IPMI_CHECKSUM_H

#include <cstdint>
#include <span>

namespace mgmt::base {

inline uint8_t IpmiChecksum(std::span<const uint8_t> bytes) {
  uint8_t sum = 0;
  for (const uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  return static_cast<uint8_t>(-sum);
}

/// True when the last byte of `withChecksum` is the checksum of those before it.
/// An empty span is not valid.
inline bool IpmiChecksumValid(std::span<const uint8_t> withChecksum) {
  if (withChecksum.empty()) return false;
  uint8_t sum = 0;
  for (const uint8_t b : withChecksum) sum = static_cast<uint8_t>(sum + b);
  return sum == 0;
}

}  // namespace mgmt::base

#endif
