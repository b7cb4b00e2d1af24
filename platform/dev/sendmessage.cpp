#include "sendmessage.h"

#include <cstddef>
#include <cstring>

#include "base/bytes.h"

namespace mgmt::dev {

// The decoder reads the fields in the order and widths of the struct.
static_assert(offsetof(ImbRequestBuffer, timeOut) == sizeof(uint32_t));
static_assert(offsetof(ImbRequestBuffer, rsSa) == 2 * sizeof(uint32_t));
static_assert(offsetof(ImbRequestBuffer, dataLength) == offsetof(ImbRequestBuffer, rsSa) + 4);

std::optional<ImbRequestBuffer> EncodeSendMessage(const SendMessage& message) {
  if (message.data.size() > IMB_MAX_REQUEST_DATA) return std::nullopt;
  ImbRequestBuffer buffer{};
  // The words go in little-endian, as the driver reads them, whatever the host.
  std::span<uint8_t, IMB_SEND_BUFFER_SIZE> bytes(reinterpret_cast<uint8_t*>(&buffer),
                                                 IMB_SEND_BUFFER_SIZE);
  base::PutLe32(bytes, offsetof(ImbRequestBuffer, flags), message.flags);
  base::PutLe32(bytes, offsetof(ImbRequestBuffer, timeOut), message.timeoutUs);
  buffer.rsSa = message.rsSa;
  buffer.cmd = message.cmd;
  buffer.netFn = message.netFn;
  buffer.rsLun = message.rsLun;
  buffer.dataLength = static_cast<uint8_t>(message.data.size());
  if (!message.data.empty()) std::memcpy(buffer.data, message.data.data(), message.data.size());
  return buffer;
}

std::optional<SendMessage> DecodeSendMessage(std::span<const uint8_t> input) {
  base::ByteReader reader(input);
  SendMessage message;
  message.flags = reader.Le32();
  message.timeoutUs = reader.Le32();
  message.rsSa = reader.U8();
  message.cmd = reader.U8();
  message.netFn = reader.U8();
  message.rsLun = reader.U8();
  const uint8_t length = reader.U8();
  message.data = reader.Bytes(length);
  if (!reader.Ok()) return std::nullopt;
  return message;
}

}  // namespace mgmt::dev
