// The storage scan of kernels that list their block devices in /sys/block: every
// kernel since 2.6, where /proc/ide, the old boot-log lines and the old fdisk
// layout are gone and disks may be NVMe, virtio or MMC devices.
#ifndef MGMT_PROVIDERS_STORAGE_SYSFSSCAN_H
#define MGMT_PROVIDERS_STORAGE_SYSFSSCAN_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "StorageEntries.h"

namespace mgmt::storage {

/// What the scan asks of the system beyond reading files, so that tests can
/// answer it.
struct SysfsScanHooks {
  /// `fdisk -l` output, asked for at most once and only when some disk has
  /// partitions; nothing when it could not be had.
  std::function<std::optional<std::string>()> fdiskListing;
  /// Bytes available to unprivileged users on the file system mounted at
  /// `mountPoint` (a path of the system, not yet resolved through the root).
  std::function<std::optional<std::uint64_t>(const std::string& mountPoint)> freeSpace;
};

/// The hooks of a real scan: fdisk run through RunCommandOutput, statvfs on the
/// mount point resolved through the installation root.
SysfsScanHooks RealSysfsScanHooks();

/// Whether the installation root has a /sys/block to scan.
bool HaveSysBlock();

/**
 * Adds to `tables` every disk drive, optical drive and partition /sys/block
 * lists, in the order of the kernel names:
 *  - a device counts when it has a "device" link (hardware: no loop, zram, ram,
 *    device-mapper or md device has one; loop, zram and ram names are passed
 *    over in any case) and is not hidden (the per-path devices of multipath
 *    NVMe are); SCSI devices of type 0 or 14 are disks, of type 5
 *    optical drives, other types are passed over; an IDE device's "media" file
 *    says disk or cdrom; everything else with a device link is a disk;
 *  - sizes from "size" (512-byte units), sector size from
 *    queue/logical_block_size; SCSI host, channel, target and LUN from the name
 *    the device link points to; vendor and model from the /proc/scsi/scsi entry
 *    of that address, else from the device's "vendor" and "model" (or an MMC
 *    card's "name"); a vendor that is a numeric id is not a manufacturer;
 *  - partitions are the subfolders with a "partition" file, in partition-number
 *    order; a disk without partitions that is mounted itself is one logical
 *    disk of its own;
 *  - mounts from /proc/self/mounts, matched by exact device name; free space of
 *    a mounted logical disk from `hooks.freeSpace`; the file-system text from
 *    the fdisk listing.
 */
void ScanSysBlock(ScanTables& tables, const SysfsScanHooks& hooks);

}  // namespace mgmt::storage

#endif
