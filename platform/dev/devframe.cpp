#include "devframe.h"

namespace mgmt::dev {
namespace {

void PutLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t GetLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

HeaderBytes Encode(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  HeaderBytes out{};
  PutLe32(out.data(), a);
  PutLe32(out.data() + 4, b);
  PutLe32(out.data() + 8, c);
  PutLe32(out.data() + 12, d);
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
  if (GetLe32(bytes.data()) != kRequestMagic) return std::nullopt;
  RequestHeader h{GetLe32(bytes.data() + 4), GetLe32(bytes.data() + 8), GetLe32(bytes.data() + 12)};
  if (h.inLength > kMaxPayload || h.outCapacity > kMaxPayload) return std::nullopt;
  return h;
}

std::optional<ReplyHeader> DecodeReply(std::span<const uint8_t, kHeaderSize> bytes,
                                       uint32_t outCapacity) {
  if (GetLe32(bytes.data()) != kReplyMagic) return std::nullopt;
  ReplyHeader h{GetLe32(bytes.data() + 4), GetLe32(bytes.data() + 8), GetLe32(bytes.data() + 12)};
  if (h.bytesReturned > outCapacity) return std::nullopt;
  return h;
}

}  // namespace mgmt::dev
