// The usable SMBIOS table of this machine, made once from the firmware's records.
//
// The kernel exports the entry point and the structure table under
// /sys/firmware/dmi/tables/. The structure table it exports may be longer or
// shorter than the entry point says, may lack the end-of-table structure, and an
// "_SM3_" table may be longer than the 16-bit length legacy readers understand.
// PrepareTable turns both files into what every reader of the system uses (the
// emulated /dev/smbdrv and /dev/hmpdrv, the SMBIOS access functions, the
// inventory provider and the sensor library):
//   - the usable table: the smaller of the exported size and the entry point's
//     length, walked with the bounded walker (walker.h) and ended after the
//     end-of-table structure (type 127) or after the last whole structure, and cut
//     at a structure boundary so that it is at most 65 535 bytes long;
//   - a legacy header record for it: an "_SM_" record as the firmware wrote it,
//     its table length set to the usable length and its checksums made valid; a
//     bare "_DMI_" record likewise; an "_SM3_" record converted into a 31-byte
//     "_SM_"/"_DMI_" record with the usable length, the structure count, the
//     largest structure's size and the "_SM3_" record's version.
#ifndef MGMT_PLATFORM_SMBIOS_TABLEPREP_H
#define MGMT_PLATFORM_SMBIOS_TABLEPREP_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "smbios/entrypoint.h"

namespace mgmt::smbios {

/// Longest table a legacy record can describe.
inline constexpr size_t kMaxLegacyTableLength = 0xFFFF;

/// Where the kernel exports the firmware's records (resolved through the
/// installation root when read).
inline constexpr const char* kSysfsEntryPointPath = "/sys/firmware/dmi/tables/smbios_entry_point";
inline constexpr const char* kSysfsTablePath = "/sys/firmware/dmi/tables/DMI";

/// How much of a table is usable.
struct TableExtent {
  size_t length = 0;            ///< bytes of whole structures, type 127 included
  size_t structureCount = 0;    ///< structures in those bytes
  size_t largestStructure = 0;  ///< largest structure: formatted area, strings, closing NUL
  bool endOfTableSeen = false;  ///< the table ends with a type 127 structure
};

/// Walks `table` (already limited to what the entry point allows) and returns the
/// part of it that is usable, as described above.
TableExtent MeasureUsableTable(std::span<const uint8_t> table);

struct PreparedTable {
  /// The legacy record the header request answers with (at most 64 bytes).
  std::vector<uint8_t> header;
  /// The usable table; the header's table length equals its size.
  std::vector<uint8_t> table;
  size_t structureCount = 0;
  size_t largestStructure = 0;
  uint8_t major = 0;
  uint8_t minor = 0;
  EntryPointKind sourceKind = EntryPointKind::kSm;
};

/// Prepares the table from the entry point's bytes and the exported table's bytes.
/// nullopt when the entry point is not one of the known kinds.
std::optional<PreparedTable> PrepareTable(std::span<const uint8_t> entryPoint,
                                          std::span<const uint8_t> exportedTable);

enum class LoadError {
  kMissing,        ///< one of the two files does not exist
  kUnreadable,     ///< a file exists but cannot be read
  kBadEntryPoint,  ///< the entry point is none of the known kinds
};

/// Reads both exported files under the installation root once and prepares the
/// table from them. On failure returns nullopt and, when `error` is given, why;
/// for kUnreadable errno holds the system's reason.
std::optional<PreparedTable> LoadFirmwareTable(LoadError* error = nullptr);

}  // namespace mgmt::smbios

#endif
