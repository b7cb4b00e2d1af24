// Little-endian integers in byte buffers (wire frames, firmware tables, IPMI
// payloads), and a reader that checks every bound so a short or hostile buffer
// can never be read past its end.
#ifndef MGMT_BASE_BYTES_H
#define MGMT_BASE_BYTES_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace mgmt::base {

// The fixed-offset helpers require offset + width <= bytes.size(): callers check
// the length once for a whole record, as with a packed struct. ByteReader is for
// input whose length is not known to be enough.
inline uint16_t GetLe16(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}
/// Three bytes (IANA enterprise numbers, for one).
inline uint32_t GetLe24(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<uint32_t>(bytes[offset + 2]) << 16;
}
inline uint32_t GetLe32(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<uint32_t>(bytes[offset + 2]) << 16 |
         static_cast<uint32_t>(bytes[offset + 3]) << 24;
}
inline uint64_t GetLe64(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint64_t>(GetLe32(bytes, offset)) |
         static_cast<uint64_t>(GetLe32(bytes, offset + 4)) << 32;
}

inline void PutLe16(std::span<uint8_t> bytes, size_t offset, uint16_t value) {
  bytes[offset] = static_cast<uint8_t>(value);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}
inline void PutLe32(std::span<uint8_t> bytes, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void AppendLe16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
inline void AppendLe32(std::vector<uint8_t>& out, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

/// Reads fields one after another. A read past the end yields zeros (an empty span
/// for Bytes) and makes the reader fail for good, so a decoder reads a whole
/// record and checks Ok() once at the end.
class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  uint8_t U8() { return Take(1) ? bytes_[pos_ - 1] : 0; }
  uint16_t Le16() { return Take(2) ? GetLe16(bytes_, pos_ - 2) : 0; }
  uint32_t Le32() { return Take(4) ? GetLe32(bytes_, pos_ - 4) : 0; }
  uint64_t Le64() { return Take(8) ? GetLe64(bytes_, pos_ - 8) : 0; }
  std::span<const uint8_t> Bytes(size_t count) {
    return Take(count) ? bytes_.subspan(pos_ - count, count) : std::span<const uint8_t>();
  }
  void Skip(size_t count) { Take(count); }

  /// False once any read went past the end.
  [[nodiscard]] bool Ok() const { return ok_; }
  /// Bytes not read yet (0 after a failed read).
  [[nodiscard]] size_t Remaining() const { return ok_ ? bytes_.size() - pos_ : 0; }
  [[nodiscard]] size_t Position() const { return pos_; }

 private:
  bool Take(size_t count) {
    if (!ok_ || count > bytes_.size() - pos_) {
      ok_ = false;
      return false;
    }
    pos_ += count;
    return true;
  }

  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
  bool ok_ = true;
};

/// Appends fields to a byte vector.
class ByteWriter {
 public:
  explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}
  ByteWriter& U8(uint8_t value) {
    out_.push_back(value);
    return *this;
  }
  ByteWriter& Le16(uint16_t value) {
    AppendLe16(out_, value);
    return *this;
  }
  ByteWriter& Le32(uint32_t value) {
    AppendLe32(out_, value);
    return *this;
  }
  ByteWriter& Bytes(std::span<const uint8_t> bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return *this;
  }

 private:
  std::vector<uint8_t>& out_;
};

}  // namespace mgmt::base

#endif
