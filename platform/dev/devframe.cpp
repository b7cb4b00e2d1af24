#include "devframe.h"

#include "base/bytes.h"

namespace mgmt::dev {
namespace {

HeaderBytes Encode(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  HeaderBytes out{};
  base::PutLe32(out, 0, a);
  base::PutLe32(out, 4, b);
  base::PutLe32(out, 8, c);
  base::PutLe32(out, 12, d);
  return out;
}

}  // namespace

HeaderBytes EncodeRequest(const RequestHeader& h) {
  return Encode(kRequestMagic, h.code, h.inLength, h.outCapacity);
}

HeaderBytes EncodeReply(const ReplyHeader& h) {
  return Encode(kReplyMagic, h.error, h.status, h.bytesReturned);
}

std::optional<RequestHeader> DecodeRequest(std::span<const uint8_t, kHeaderSize> bytes) {
  if (base::GetLe32(bytes, 0) != kRequestMagic) return std::nullopt;
  RequestHeader h{base::GetLe32(bytes, 4), base::GetLe32(bytes, 8), base::GetLe32(bytes, 12)};
  if (h.inLength > kMaxPayload || h.outCapacity > kMaxPayload) return std::nullopt;
  return h;
}

std::optional<ReplyHeader> DecodeReply(std::span<const uint8_t, kHeaderSize> bytes,
                                       uint32_t outCapacity) {
  if (base::GetLe32(bytes, 0) != kReplyMagic) return std::nullopt;
  ReplyHeader h{base::GetLe32(bytes, 4), base::GetLe32(bytes, 8), base::GetLe32(bytes, 12)};
  if (h.bytesReturned > outCapacity) return std::nullopt;
  return h;
}

}  // namespace mgmt::dev
