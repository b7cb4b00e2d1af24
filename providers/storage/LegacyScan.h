// The storage scan of the 2.4 kernel layout, shared by StorageData's add_*
// members: the module's scan tables and what one scan reads at most once
// (/proc/scsi/scsi, the boot log, /proc/partitions, /etc/mtab and the fdisk and
// df listings). Used with the collector's mutex held.
#ifndef MGMT_PROVIDERS_STORAGE_LEGACYSCAN_H
#define MGMT_PROVIDERS_STORAGE_LEGACYSCAN_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "StorageEntries.h"
#include "StorageText.h"

namespace mgmt::storage {

/// Files and listings of one scan, each read or run on first use. Missing ones
/// read as empty.
class LegacyScanInputs {
 public:
  const std::vector<ScsiDevice>& ScsiDevices();
  const std::string& BootLog();
  /// nothing when /proc/partitions can't be read
  const std::optional<std::vector<PartitionLine>>& Partitions();
  const std::vector<MountEntry>& Mtab();
  /// `/sbin/fdisk -l`, run once per scan.
  const FdiskListing& Fdisk();
  /// `/bin/df -k -l -P`: local file systems only, so a dead network mount
  /// cannot hold a request up.
  const std::map<std::string, std::uint64_t>& DfAvailable();

  /// Forgets everything (start and end of a scan).
  void Reset();

 private:
  std::optional<std::vector<ScsiDevice>> scsi_;
  std::optional<std::string> bootLog_;
  bool partitionsRead_ = false;
  std::optional<std::vector<PartitionLine>> partitions_;
  std::optional<std::vector<MountEntry>> mtab_;
  std::optional<FdiskListing> fdisk_;
  std::optional<std::map<std::string, std::uint64_t>> df_;
};

/// The module's scan inputs.
LegacyScanInputs& ModuleScanInputs();

/// Steps 2 and 3 of a scan of the /proc layout: the IDE devices of /proc/ide in
/// name order, then sda, sdb, ... while the boot log names them, each followed
/// by its partitions.
void ScanProcLayout();

}  // namespace mgmt::storage

#endif
