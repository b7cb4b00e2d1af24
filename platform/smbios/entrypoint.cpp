#include "smbios/entrypoint.h"

#include <algorithm>
#include <string_view>

#include "base/bytes.h"
#include "base/ipmi_checksum.h"

namespace mgmt::smbios {
namespace {

constexpr std::string_view kSmAnchor = "_SM_";
constexpr std::string_view kDmiAnchor = "_DMI_";
constexpr std::string_view kSm3Anchor = "_SM3_";

// "_SM_" record fields.
constexpr size_t kSmChecksum = 0x04;
constexpr size_t kSmLength = 0x05;
constexpr size_t kSmMajor = 0x06;
constexpr size_t kSmMinor = 0x07;
// "_DMI_" fields, from the start of the "_DMI_" part.
constexpr size_t kDmiChecksum = 0x05;
constexpr size_t kDmiTableLength = 0x06;
constexpr size_t kDmiTableAddress = 0x08;
constexpr size_t kDmiStructureCount = 0x0C;
constexpr size_t kDmiBcdRevision = 0x0E;
// "_SM3_" record fields.
constexpr size_t kSm3Length = 0x06;
constexpr size_t kSm3Major = 0x07;
constexpr size_t kSm3Minor = 0x08;
constexpr size_t kSm3MaximumSize = 0x0C;
constexpr size_t kSm3TableAddress = 0x10;

bool StartsWith(std::span<const uint8_t> bytes, std::string_view anchor, size_t at = 0) {
  if (bytes.size() < at + anchor.size()) return false;
  return std::equal(anchor.begin(), anchor.end(), bytes.begin() + static_cast<long>(at),
                    [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
}

// How many bytes of a record to keep: what its length byte says, at least the
// standard size of its kind, at most what was read and what the header buffer holds.
size_t RecordSize(std::span<const uint8_t> bytes, uint8_t lengthByte, size_t standard) {
  const size_t most = std::min(bytes.size(), kHeaderBufferSize);
  return std::clamp<size_t>(lengthByte, standard, most);
}

void SetChecksum(std::span<uint8_t> covered, size_t at) {
  covered[at] = 0;
  covered[at] = base::IpmiChecksum(covered);
}

}  // namespace

std::optional<EntryPoint> ParseEntryPoint(std::span<const uint8_t> bytes) {
  if (StartsWith(bytes, kSm3Anchor)) {
    if (bytes.size() < kSm3RecordSize) return std::nullopt;
    const size_t size = RecordSize(bytes, bytes[kSm3Length], kSm3RecordSize);
    return EntryPoint{EntryPointKind::kSm3,
                      bytes[kSm3Major],
                      bytes[kSm3Minor],
                      base::GetLe32(bytes, kSm3MaximumSize),
                      base::GetLe64(bytes, kSm3TableAddress),
                      0,
                      std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(size))};
  }
  if (StartsWith(bytes, kSmAnchor)) {
    if (bytes.size() < kSmRecordSize || !StartsWith(bytes, kDmiAnchor, kDmiPartOffset)) {
      return std::nullopt;
    }
    const size_t size = RecordSize(bytes, bytes[kSmLength], kSmRecordSize);
    const auto dmi = bytes.subspan(kDmiPartOffset);
    return EntryPoint{EntryPointKind::kSm,
                      bytes[kSmMajor],
                      bytes[kSmMinor],
                      base::GetLe16(dmi, kDmiTableLength),
                      base::GetLe32(dmi, kDmiTableAddress),
                      base::GetLe16(dmi, kDmiStructureCount),
                      std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(size))};
  }
  if (StartsWith(bytes, kDmiAnchor)) {
    if (bytes.size() < kDmiRecordSize) return std::nullopt;
    const uint8_t bcd = bytes[kDmiBcdRevision];
    return EntryPoint{EntryPointKind::kDmi,
                      static_cast<uint8_t>(bcd >> 4),
                      static_cast<uint8_t>(bcd & 0x0F),
                      base::GetLe16(bytes, kDmiTableLength),
                      base::GetLe32(bytes, kDmiTableAddress),
                      base::GetLe16(bytes, kDmiStructureCount),
                      std::vector<uint8_t>(bytes.begin(), bytes.begin() + kDmiRecordSize)};
  }
  return std::nullopt;
}

void FixLegacyChecksums(std::span<uint8_t> record) {
  if (StartsWith(record, kSmAnchor) && record.size() >= kSmRecordSize) {
    SetChecksum(record.subspan(kDmiPartOffset, kDmiRecordSize), kDmiChecksum);
    // The outer checksum covers the intermediate one, so it comes second.
    const size_t covered = std::clamp<size_t>(record[kSmLength], kSmRecordSize, record.size());
    SetChecksum(record.first(covered), kSmChecksum);
  } else if (StartsWith(record, kDmiAnchor) && record.size() >= kDmiRecordSize) {
    SetChecksum(record.first(kDmiRecordSize), kDmiChecksum);
  }
}

std::optional<uint16_t> LegacyTableLength(std::span<const uint8_t> header) {
  if (StartsWith(header, kSmAnchor) && StartsWith(header, kDmiAnchor, kDmiPartOffset) &&
      header.size() >= kDmiPartOffset + kDmiRecordSize) {
    return base::GetLe16(header, kDmiPartOffset + kDmiTableLength);
  }
  if (StartsWith(header, kDmiAnchor) && header.size() >= kDmiRecordSize) {
    return base::GetLe16(header, kDmiTableLength);
  }
  return std::nullopt;
}

}  // namespace mgmt::smbios
