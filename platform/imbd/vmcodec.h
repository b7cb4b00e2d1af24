// The byte framing of the VM serial protocol that ipmi_sim (and QEMU's external
// BMC device) speak: IPMI messages ended by 0xA0, control commands ended by 0xA1,
// special bytes escaped as 0xAA followed by the byte with bit 4 set.
#ifndef MGMT_IMBD_VMCODEC_H
#define MGMT_IMBD_VMCODEC_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace mgmt::imbd::vm {

inline constexpr uint8_t kMessageEnd = 0xA0;
inline constexpr uint8_t kCommandEnd = 0xA1;
inline constexpr uint8_t kEscape = 0xAA;
inline constexpr uint8_t kEscapeBit = 0x10;

/// Longest unescaped frame accepted: sequence, network function, command,
/// completion code, 255 data bytes and the checksum, with room to spare.
inline constexpr size_t kMaxFrame = 272;

/// Control commands.
enum Control : uint8_t {
  kAttentionOff = 0x00,
  kAttentionOn = 0x01,
  kAttentionIrq = 0x02,
  kPowerOff = 0x03,
  kReset = 0x04,
  kEnableIrq = 0x05,
  kDisableIrq = 0x06,
  kSendNmi = 0x07,
  kCapabilities = 0x08,
  kForceOff = 0x09,
  kVersion = 0xFF,
};

/// Capability bits a client announces.
enum Capability : uint8_t {
  kCapPower = 0x01,
  kCapReset = 0x02,
  kCapInterrupt = 0x04,
  kCapNmi = 0x08,
  kCapAttention = 0x10,
};

inline constexpr uint8_t kProtocolVersion = 1;

/// A request: seq, netFn << 2 | lun, cmd, data, IPMI checksum; escaped; 0xA0.
std::vector<uint8_t> EncodeRequest(uint8_t seq, uint8_t netFn, uint8_t lun, uint8_t cmd,
                                   std::span<const uint8_t> data);

/// A control command with its optional argument byte; escaped; 0xA1.
std::vector<uint8_t> EncodeControl(uint8_t command, std::optional<uint8_t> argument = {});

struct Frame {
  enum class Kind { kMessage, kControl } kind;
  std::vector<uint8_t> bytes;  ///< unescaped, without the end byte
};

/// Splits a byte stream into frames. Bytes may arrive in any pieces. A frame
/// longer than kMaxFrame, an escape followed by an end byte, and an empty frame
/// are dropped (and counted).
class Decoder {
 public:
  /// Appends the frames completed by `bytes` to `out`.
  void Feed(std::span<const uint8_t> bytes, std::vector<Frame>& out);
  size_t Dropped() const { return dropped_; }

 private:
  std::vector<uint8_t> frame_;
  bool escaped_ = false;
  bool broken_ = false;  ///< the current frame is being discarded
  size_t dropped_ = 0;
};

/// A response message, checked: at least five bytes and a zero checksum sum.
struct Response {
  uint8_t seq = 0;
  uint8_t netFn = 0;  ///< as sent by the BMC (the request's plus one)
  uint8_t lun = 0;
  uint8_t cmd = 0;
  std::vector<uint8_t> bytes;  ///< completion code and response data
};

/// Checks and takes apart a message frame; empty when it is too short or its
/// checksum is wrong.
std::optional<Response> ParseResponse(std::span<const uint8_t> message);

}  // namespace mgmt::imbd::vm

#endif
