// Readers of the texts the storage collector learns from: /proc/scsi/scsi, the
// kernel boot log, /proc/partitions, mount tables, and the listings of fdisk and
// df in their old and current layouts. Pure functions over text, so every odd
// line can be tested without a machine that prints it.
#ifndef MGMT_PROVIDERS_STORAGE_STORAGETEXT_H
#define MGMT_PROVIDERS_STORAGE_STORAGETEXT_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mgmt::storage {

/// `text` without blanks, tabs and line ends at either end.
std::string_view Trim(std::string_view text);

/// `text` without the line end (and any other trailing control character) that
/// a file read whole leaves behind; leading text and inner blanks are kept.
std::string_view TrimLineEnd(std::string_view text);

/// A whole decimal number (leading blanks and one trailing line end allowed);
/// nothing for junk, a sign or an overflow.
std::optional<std::uint64_t> ParseUnsigned(std::string_view text);

/// Whether `partition` names a partition of the whole drive `drive`: the drive's
/// name followed by one or more digits and nothing else (hda1 and sdb12 of hda and
/// sdb; sdaa1 is not one of sda).
bool IsPartitionOf(std::string_view partition, std::string_view drive);

/// A SCSI device's place: host adapter, channel, target id, logical unit.
struct ScsiAddress {
  unsigned host = 0;
  unsigned channel = 0;
  unsigned target = 0;
  unsigned lun = 0;
  bool operator==(const ScsiAddress&) const = default;
};

/// "H:C:T:L" as the kernel names a SCSI device (the last part of a disk's
/// device link).
std::optional<ScsiAddress> ParseScsiAddress(std::string_view text);

/// One entry of /proc/scsi/scsi.
struct ScsiDevice {
  ScsiAddress address;
  std::string vendor;  ///< between "Vendor:" and "Model:", trimmed
  std::string model;   ///< between "Model:" and "Rev:", trimmed (inner blanks kept)
  std::string type;    ///< "Direct-Access", "CD-ROM", ...
};

/// The entries of /proc/scsi/scsi in their order.
std::vector<ScsiDevice> ParseScsiDevices(std::string_view text);

/// The address a 2.4 kernel's boot log gives a SCSI disk in its line
/// "Attached scsi disk sda at scsi0, channel 0, id 1, lun 0".
std::optional<ScsiAddress> FindAttachedScsiDisk(std::string_view bootLog, std::string_view name);

/// What the boot log line "SCSI device sda: 35566480 512-byte hdwr sectors
/// (18210 MB)" says of a disk. Numbers it does not carry stay 0.
struct BootLogDisk {
  std::uint64_t size = 0;  ///< bytes
  std::uint32_t bytesPerSector = 0;
};

/// The first such line for `name`, or nothing when the log has none. The size is
/// the sector count times the sector size; the rounded megabyte figure (taken as
/// MiB) is used only when the line carries no sector count.
std::optional<BootLogDisk> FindBootLogDisk(std::string_view bootLog, std::string_view name);

/// One data line of /proc/partitions.
struct PartitionLine {
  std::uint64_t blocks = 0;  ///< 1 KiB blocks
  std::string name;
};
std::vector<PartitionLine> ParseProcPartitions(std::string_view text);

/// One line of a mount table (/etc/mtab, /proc/self/mounts), with the octal
/// escapes (\040 for a blank, ...) of its first two fields undone.
struct MountEntry {
  std::string source;
  std::string mountPoint;
  std::string type;
};
std::vector<MountEntry> ParseMounts(std::string_view text);

/// The kernel device name a mount source stands for ("sda1" for "/dev/sda1"),
/// or "" when the source is not a device file path.
std::string MountedDeviceName(std::string_view source);

/// Drive geometry as old fdisk listings print it: "255 heads, 63 sectors/track,
/// 4427 cylinders" on the line after the drive's "Disk /dev/sda: ..." line.
struct Geometry {
  std::uint32_t heads = 0;
  std::uint32_t sectorsPerTrack = 0;
  std::uint64_t cylinders = 0;
};

/// What `fdisk -l` says: the geometry of each drive that has a geometry line, and
/// the system text of each partition ("Linux", "Linux swap", "W95 FAT32 (LBA)",
/// "EFI System"), both keyed by the device path ("/dev/sda", "/dev/sda1").
struct FdiskListing {
  std::map<std::string, Geometry> geometry;
  std::map<std::string, std::string> systems;
};

/// Reads both layouts: the old one ("Device Boot Start End Blocks Id System") and
/// the current ones, which add a sector count and a size column ("Device Boot
/// Start End Sectors Size Id Type", or without Boot and Id for GPT). The system
/// text is located by its column in the table's header line, counted in fields
/// after the device and an optional boot flag.
FdiskListing ParseFdiskListing(std::string_view text);

/// The available space (bytes) of each "/dev..." file system in a `df -k`
/// listing, keyed by its device, from the Available column. Takes the old layout
/// in which a long device name stands on a line of its own.
std::map<std::string, std::uint64_t> ParseDfAvailable(std::string_view text);

}  // namespace mgmt::storage

#endif
