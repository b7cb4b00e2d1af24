#include "smbios/tableprep.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

#include "base/bytes.h"
#include "base/fd.h"
#include "installroot.h"
#include "smbios/walker.h"

namespace mgmt::smbios {
namespace {

// Fields of the legacy record that the preparation writes.
constexpr size_t kSmLength = 0x05;
constexpr size_t kSmMajor = 0x06;
constexpr size_t kSmMinor = 0x07;
constexpr size_t kSmMaxStructureSize = 0x08;
constexpr size_t kDmiTableLength = 0x06;
constexpr size_t kDmiTableAddress = 0x08;
constexpr size_t kDmiStructureCount = 0x0C;
constexpr size_t kDmiBcdRevision = 0x0E;

// Reading more than this of the exported table is never needed: the usable table
// is at most this long.
constexpr size_t kTableReadLimit = kMaxLegacyTableLength;

// Version as the "_DMI_" part's BCD byte, or 0 when it has no BCD form.
uint8_t BcdRevision(uint8_t major, uint8_t minor) {
  if (major > 9 || minor > 9) return 0;
  return static_cast<uint8_t>(major << 4 | minor);
}

// A 31-byte "_SM_"/"_DMI_" record describing `extent` of an "_SM3_" table.
std::vector<uint8_t> ConvertSm3(const EntryPoint& ep, const TableExtent& extent) {
  std::vector<uint8_t> record(kSmRecordSize, 0);
  const std::span<uint8_t> r(record);
  std::copy_n("_SM_", 4, record.begin());
  r[kSmLength] = static_cast<uint8_t>(kSmRecordSize);
  r[kSmMajor] = ep.major;
  r[kSmMinor] = ep.minor;
  base::PutLe16(r, kSmMaxStructureSize, static_cast<uint16_t>(extent.largestStructure));
  const auto dmi = r.subspan(kDmiPartOffset);
  std::copy_n("_DMI_", 5, dmi.begin());
  base::PutLe16(dmi, kDmiTableLength, static_cast<uint16_t>(extent.length));
  // A table above 4 GiB cannot be described by a 32-bit address; nobody reads it
  // from there anyway, the table request copies it.
  const uint32_t address =
      ep.tableAddress <= 0xFFFFFFFFu ? static_cast<uint32_t>(ep.tableAddress) : 0;
  base::PutLe32(dmi, kDmiTableAddress, address);
  base::PutLe16(dmi, kDmiStructureCount, static_cast<uint16_t>(extent.structureCount));
  dmi[kDmiBcdRevision] = BcdRevision(ep.major, ep.minor);
  FixLegacyChecksums(r);
  return record;
}

// The firmware's own legacy record with the usable length written into it.
std::vector<uint8_t> PatchLegacy(const EntryPoint& ep, const TableExtent& extent) {
  std::vector<uint8_t> record = ep.raw;
  const std::span<uint8_t> r(record);
  if (ep.kind == EntryPointKind::kSm) {
    r[kSmLength] = static_cast<uint8_t>(record.size());
    base::PutLe16(r, kDmiPartOffset + kDmiTableLength, static_cast<uint16_t>(extent.length));
  } else {
    base::PutLe16(r, kDmiTableLength, static_cast<uint16_t>(extent.length));
  }
  FixLegacyChecksums(r);
  return record;
}

enum class ReadResult { kOk, kMissing, kUnreadable };

// Reads at most `limit` bytes of `path` (already resolved).
ReadResult ReadPrefix(const std::string& path, size_t limit, std::vector<uint8_t>& out) {
  base::UniqueFile file = base::OpenFile(path, "rb");
  if (!file)
    return errno == ENOENT || errno == ENOTDIR ? ReadResult::kMissing : ReadResult::kUnreadable;
  out.resize(limit);
  const size_t got = std::fread(out.data(), 1, limit, file.get());
  if (std::ferror(file.get())) {
    const int saved = errno;
    file.reset();
    errno = saved;
    return ReadResult::kUnreadable;
  }
  out.resize(got);
  return ReadResult::kOk;
}

}  // namespace

TableExtent MeasureUsableTable(std::span<const uint8_t> table) {
  TableExtent extent;
  for (const Structure& s : Structures(table)) {
    const size_t end = s.Offset() + s.Size();
    if (end > kMaxLegacyTableLength) break;
    extent.length = end;
    ++extent.structureCount;
    extent.largestStructure = std::max(extent.largestStructure, s.Size());
    if (s.Type() == kEndOfTableType) {
      extent.endOfTableSeen = true;
      break;
    }
  }
  return extent;
}

std::optional<PreparedTable> PrepareTable(std::span<const uint8_t> entryPoint,
                                          std::span<const uint8_t> exportedTable) {
  const auto ep = ParseEntryPoint(entryPoint);
  if (!ep) return std::nullopt;
  const size_t limit = std::min<size_t>(exportedTable.size(), ep->tableLength);
  const TableExtent extent = MeasureUsableTable(exportedTable.first(limit));

  PreparedTable prepared;
  prepared.header =
      ep->kind == EntryPointKind::kSm3 ? ConvertSm3(*ep, extent) : PatchLegacy(*ep, extent);
  prepared.table.assign(exportedTable.begin(),
                        exportedTable.begin() + static_cast<long>(extent.length));
  prepared.structureCount = extent.structureCount;
  prepared.largestStructure = extent.largestStructure;
  prepared.major = ep->major;
  prepared.minor = ep->minor;
  prepared.sourceKind = ep->kind;
  return prepared;
}

std::optional<PreparedTable> LoadFirmwareTable(LoadError* error) {
  LoadError ignored;
  LoadError& why = error != nullptr ? *error : ignored;
  const auto read = [&why](const char* path, size_t limit, std::vector<uint8_t>& bytes) {
    switch (ReadPrefix(RootPath(path), limit, bytes)) {
      case ReadResult::kOk:
        return true;
      case ReadResult::kMissing:
        why = LoadError::kMissing;
        return false;
      case ReadResult::kUnreadable:
        why = LoadError::kUnreadable;
        return false;
    }
    return false;
  };
  // One snapshot: each file is read once, so header and table always agree.
  std::vector<uint8_t> entryPoint;
  std::vector<uint8_t> table;
  if (!read(kSysfsEntryPointPath, kHeaderBufferSize, entryPoint) ||
      !read(kSysfsTablePath, kTableReadLimit, table)) {
    return std::nullopt;
  }
  auto prepared = PrepareTable(entryPoint, table);
  if (!prepared) why = LoadError::kBadEntryPoint;
  return prepared;
}

}  // namespace mgmt::smbios
