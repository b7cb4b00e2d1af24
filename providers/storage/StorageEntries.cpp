#include "StorageEntries.h"

#include <utility>

namespace mgmt::storage {

bool ScanTables::AddDisk(Pegasus::DiskDriveEntry entry) {
  if (DisksFull()) return false;
  entry.index = static_cast<std::uint32_t>(disks.size());
  disks.push_back(std::move(entry));
  return true;
}

bool ScanTables::AddOptical(Pegasus::xDROMDriveEntry entry) {
  if (OpticalsFull()) return false;
  opticals.push_back(std::move(entry));
  return true;
}

bool ScanTables::AddLogicalDisk(Pegasus::LogicalDiskEntry entry) {
  if (LogicalDisksFull()) return false;
  logicalDisks.push_back(std::move(entry));
  return true;
}

void ScanTables::Clear() {
  disks.clear();
  opticals.clear();
  logicalDisks.clear();
}

ScanTables& ModuleTables() {
  static ScanTables tables;
  return tables;
}

void DeriveGeometry(Pegasus::DiskDriveEntry& disk) {
  disk.totalTracks = static_cast<std::uint64_t>(disk.totalHeads) * disk.totalCylinders;
  disk.tracksPerCylinder = disk.totalCylinders != 0
                               ? static_cast<std::uint32_t>(disk.totalTracks / disk.totalCylinders)
                               : 0;
  disk.totalSectors = static_cast<std::uint64_t>(disk.sectorsPerTrack) * disk.totalTracks;
}

}  // namespace mgmt::storage
