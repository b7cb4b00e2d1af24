// The send-message request (ImbRequestBuffer in imbioctl.h) as both sides of the
// driver interface handle it: the IMB library encodes it, imbd decodes it.
#ifndef MGMT_PLATFORM_SENDMESSAGE_H
#define MGMT_PLATFORM_SENDMESSAGE_H

#include <cstdint>
#include <optional>
#include <span>

#include "imbioctl.h"

namespace mgmt::dev {

/// The fields of one send-message request.
struct SendMessage {
  uint32_t flags = 0;      ///< IMB_REQ_FLAG_ASYNC or 0
  uint32_t timeoutUs = 0;  ///< 0 for asynchronous requests
  uint8_t rsSa = 0;
  uint8_t cmd = 0;
  uint8_t netFn = 0;
  uint8_t rsLun = 0;
  std::span<const uint8_t> data;  ///< decoded: a view into the input
};

/// The buffer the library hands to the driver; nullopt when the data do not fit
/// (more than IMB_MAX_REQUEST_DATA bytes). Unused data bytes are zero.
std::optional<ImbRequestBuffer> EncodeSendMessage(const SendMessage& message);

/// Takes apart the input of a send-message call (128 bytes, 67 from the small
/// senders, or just the header and the data it announces). nullopt when it is
/// shorter than the header or its length byte reaches past the end.
std::optional<SendMessage> DecodeSendMessage(std::span<const uint8_t> input);

}  // namespace mgmt::dev

#endif
