#include "vmcodec.h"

#include "base/ipmi_checksum.h"

namespace mgmt::imbd::vm {
namespace {

bool IsSpecial(uint8_t b) { return b == kMessageEnd || b == kCommandEnd || b == kEscape; }

void PutEscaped(std::vector<uint8_t>& out, uint8_t b) {
  if (IsSpecial(b)) {
    out.push_back(kEscape);
    out.push_back(static_cast<uint8_t>(b | kEscapeBit));
  } else {
    out.push_back(b);
  }
}

}  // namespace

std::vector<uint8_t> EncodeRequest(uint8_t seq, uint8_t netFn, uint8_t lun, uint8_t cmd,
                                   std::span<const uint8_t> data) {
  std::vector<uint8_t> raw{seq, static_cast<uint8_t>((netFn << 2) | (lun & 0x03)), cmd};
  raw.insert(raw.end(), data.begin(), data.end());
  raw.push_back(base::IpmiChecksum(raw));
  std::vector<uint8_t> out;
  out.reserve(raw.size() * 2 + 1);
  for (const uint8_t b : raw) PutEscaped(out, b);
  out.push_back(kMessageEnd);
  return out;
}

std::vector<uint8_t> EncodeControl(uint8_t command, std::optional<uint8_t> argument) {
  std::vector<uint8_t> out;
  PutEscaped(out, command);
  if (argument) PutEscaped(out, *argument);
  out.push_back(kCommandEnd);
  return out;
}

void Decoder::Feed(std::span<const uint8_t> bytes, std::vector<Frame>& out) {
  for (const uint8_t b : bytes) {
    if (b == kMessageEnd || b == kCommandEnd) {
      // An escape right before an end byte means the frame was cut: drop it.
      if (broken_ || escaped_ || frame_.empty()) {
        ++dropped_;
      } else {
        out.push_back(
            {b == kMessageEnd ? Frame::Kind::kMessage : Frame::Kind::kControl, std::move(frame_)});
      }
      frame_.clear();
      escaped_ = broken_ = false;
      continue;
    }
    if (broken_) continue;
    if (b == kEscape) {
      if (escaped_) broken_ = true;  // two escapes in a row cannot be valid
      escaped_ = true;
      continue;
    }
    if (frame_.size() == kMaxFrame) {
      broken_ = true;
      frame_.clear();
      continue;
    }
    frame_.push_back(escaped_ ? static_cast<uint8_t>(b & ~kEscapeBit) : b);
    escaped_ = false;
  }
}

std::optional<Response> ParseResponse(std::span<const uint8_t> message) {
  if (message.size() < 5) return std::nullopt;
  if (!base::IpmiChecksumValid(message)) return std::nullopt;
  Response r;
  r.seq = message[0];
  r.netFn = static_cast<uint8_t>(message[1] >> 2);
  r.lun = static_cast<uint8_t>(message[1] & 0x03);
  r.cmd = message[2];
  r.bytes.assign(message.begin() + 3, message.end() - 1);
  return r;
}

}  // namespace mgmt::imbd::vm
