// Wire format of one IMB ioctl carried over the local socket that imbd serves at
// the /dev/imb path. One exchange per ioctl on a connection:
//
//   request:  magic "IMBQ", code, input length, output capacity (4 x u32 LE),
//             then the input bytes;
//   reply:    magic "IMBR", error (0 or an errno value), driver status word,
//             bytes returned (4 x u32 LE), then that many output bytes.
//
// Nothing pointer-sized crosses the socket: the caller's block stays in its process.
#ifndef MGMT_PLATFORM_DEVFRAME_H
#define MGMT_PLATFORM_DEVFRAME_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace mgmt::dev {

inline constexpr uint32_t kRequestMagic = 0x51424D49;  // "IMBQ" little-endian
inline constexpr uint32_t kReplyMagic = 0x52424D49;    // "IMBR" little-endian
/// Largest input or output of one exchange; IMB buffers are at most 128 bytes.
inline constexpr uint32_t kMaxPayload = 4096;
inline constexpr size_t kHeaderSize = 16;

using HeaderBytes = std::array<uint8_t, kHeaderSize>;

struct RequestHeader {
  uint32_t code = 0;
  uint32_t inLength = 0;
  uint32_t outCapacity = 0;
};

struct ReplyHeader {
  uint32_t error = 0;  ///< 0: the call succeeded; else the errno the caller sees
  uint32_t status = 0;
  uint32_t bytesReturned = 0;
};

HeaderBytes EncodeRequest(const RequestHeader& h);
HeaderBytes EncodeReply(const ReplyHeader& h);

/// Decodes a request header; empty when the magic is wrong or a length exceeds
/// kMaxPayload (the connection is then out of step and must be dropped).
std::optional<RequestHeader> DecodeRequest(std::span<const uint8_t, kHeaderSize> bytes);

/// Decodes a reply header; empty when the magic is wrong or more bytes are
/// announced than the request's output capacity allows.
std::optional<ReplyHeader> DecodeReply(std::span<const uint8_t, kHeaderSize> bytes,
                                       uint32_t outCapacity);

}  // namespace mgmt::dev

#endif
