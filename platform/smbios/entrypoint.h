// SMBIOS entry points: the "_SM_" record (with its "_DMI_" part at offset 16), the
// bare legacy "_DMI_" record and the 64-bit "_SM3_" record, read with explicit
// little-endian byte readers, and the legacy record the SMBIOS table driver hands
// out (64-byte header buffer, table length at byte 6 of its "_DMI_" part).
#ifndef MGMT_PLATFORM_SMBIOS_ENTRYPOINT_H
#define MGMT_PLATFORM_SMBIOS_ENTRYPOINT_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace mgmt::smbios {

/// Size of the buffer the driver's header request fills.
inline constexpr size_t kHeaderBufferSize = 64;
/// An "_SM_" record as the standard lays it out (its length byte says 0x1F).
inline constexpr size_t kSmRecordSize = 0x1F;
/// A bare "_DMI_" record, and the "_DMI_" part of an "_SM_" record.
inline constexpr size_t kDmiRecordSize = 0x0F;
/// Where the "_DMI_" part starts in an "_SM_" record.
inline constexpr size_t kDmiPartOffset = 0x10;
/// An "_SM3_" record (its length byte says 0x18).
inline constexpr size_t kSm3RecordSize = 0x18;

enum class EntryPointKind {
  kSm,   ///< "_SM_" with "_DMI_" at offset 16 (32-bit)
  kDmi,  ///< bare "_DMI_" (legacy DMI 2.0 firmware)
  kSm3,  ///< "_SM3_" (64-bit)
};

/// What an entry point says about its table.
struct EntryPoint {
  EntryPointKind kind;
  uint8_t major;
  uint8_t minor;
  /// The table's length ("_SM_", "_DMI_") or its maximum size ("_SM3_").
  uint32_t tableLength;
  uint64_t tableAddress;
  /// Number of structures ("_SM_", "_DMI_"; 0 for "_SM3_", which does not say).
  uint16_t structureCount;
  /// The record's bytes as read, as many as its kind and length byte cover.
  std::vector<uint8_t> raw;
};

/// Reads an entry point from the bytes of `smbios_entry_point` (or a dump's first
/// bytes). nullopt when no known anchor starts it or it is too short for its kind.
/// Checksums are not required to be right: the kernel checked them when it
/// exported the record, and the records made from it get fresh ones.
std::optional<EntryPoint> ParseEntryPoint(std::span<const uint8_t> bytes);

/// Sets the checksums of a legacy record ("_SM_" over its length byte's count and
/// its "_DMI_" part over 15 bytes, or a bare "_DMI_" over 15 bytes).
void FixLegacyChecksums(std::span<uint8_t> record);

/// Reads the table length from a header record the way the table driver's users
/// do: an "_SM_" record has its "_DMI_" part at offset 16, a "_DMI_" record is its
/// own; the length is the 16-bit word at byte 6 of that part. Anything else, a raw
/// "_SM3_" record included (whose bytes 22 and 23 are part of an address), is
/// refused with nullopt.
std::optional<uint16_t> LegacyTableLength(std::span<const uint8_t> header);

}  // namespace mgmt::smbios

#endif
