// The records one storage scan collects, before they become CIM instances, and
// the module-wide tables that hold them.
#ifndef MGMT_PROVIDERS_STORAGE_STORAGEENTRIES_H
#define MGMT_PROVIDERS_STORAGE_STORAGEENTRIES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Pegasus {

/// One disk drive (SM_DiskDrive). Texts are the bytes the system gave; they are
/// made CIM strings when the instance is built.
struct DiskDriveEntry {
  std::string deviceId;       ///< "/dev/" and the kernel's device name
  std::string interfaceType;  ///< "IDE", "SCSI", "NVMe", "VirtIO", "MMC", ...
  std::string manufacturer;
  std::string mediaType;  ///< never set
  std::string model;
  std::string name;  ///< the device id again
  std::uint8_t mediaLoaded = 0;
  std::uint16_t scsiLogicalUnit = 0;
  std::uint16_t scsiPort = 0;
  std::uint16_t scsiTargetId = 0;
  std::uint32_t bytesPerSector = 0;
  std::uint32_t partitions = 0;
  std::uint32_t sectorsPerTrack = 0;
  std::uint32_t totalHeads = 0;
  std::uint32_t tracksPerCylinder = 0;
  std::uint32_t index = 0;  ///< position in the disk table when it was added
  std::uint32_t scsiBus = 0;
  std::uint64_t totalSectors = 0;
  std::uint64_t totalTracks = 0;
  std::uint64_t totalCylinders = 0;
  std::uint64_t size = 0;  ///< bytes
};

/// One optical drive (SM_CDROMDrive).
struct xDROMDriveEntry {
  std::string deviceId;
  std::string drive;  ///< never set
  std::string id;     ///< never set
  std::string manufacturer;
  std::string mediaType;  ///< "CD-ROM"
  std::string name;
  std::uint16_t scsiLogicalUnit = 0;
  std::uint16_t scsiPort = 0;
  std::uint16_t scsiTargetId = 0;
  std::uint32_t scsiBus = 0;
  std::uint64_t size = 0;  ///< KiB
  std::uint8_t mediaLoaded = 0;
};

/// One partition (SM_LogicalDisk).
struct LogicalDiskEntry {
  std::string name;  ///< as the kernel lists it, without "/dev/"
  std::string fileSystem;
  std::uint64_t freeSpace = 0;  ///< bytes
  std::uint64_t size = 0;       ///< bytes
  std::uint8_t freeSpaceUnknown = 1;
};

}  // namespace Pegasus

namespace mgmt::storage {

constexpr std::size_t kMaxDiskDrives = 32;
constexpr std::size_t kMaxOpticalDrives = 32;
constexpr std::size_t kMaxLogicalDisks = 64;

/// What one scan found, in the order found. Further records beyond the
/// capacities above are ignored without a message.
struct ScanTables {
  std::vector<Pegasus::DiskDriveEntry> disks;
  std::vector<Pegasus::xDROMDriveEntry> opticals;
  std::vector<Pegasus::LogicalDiskEntry> logicalDisks;

  bool DisksFull() const { return disks.size() >= kMaxDiskDrives; }
  bool OpticalsFull() const { return opticals.size() >= kMaxOpticalDrives; }
  bool LogicalDisksFull() const { return logicalDisks.size() >= kMaxLogicalDisks; }

  /// Appends a disk record with its index set; false when the table is full.
  bool AddDisk(Pegasus::DiskDriveEntry entry);
  bool AddOptical(Pegasus::xDROMDriveEntry entry);
  bool AddLogicalDisk(Pegasus::LogicalDiskEntry entry);

  void Clear();
};

/// The module's scan tables, used with the collector's mutex held.
ScanTables& ModuleTables();

/// Total tracks, tracks per cylinder and total sectors from heads, cylinders and
/// sectors per track; a value whose divisor would be 0 stays 0.
void DeriveGeometry(Pegasus::DiskDriveEntry& disk);

}  // namespace mgmt::storage

#endif
