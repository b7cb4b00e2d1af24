#include "SysfsScan.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "StorageCommand.h"
#include "StorageFiles.h"
#include "StorageText.h"
#include "installroot.h"

namespace mgmt::storage {

namespace {

using Pegasus::DiskDriveEntry;
using Pegasus::LogicalDiskEntry;
using Pegasus::xDROMDriveEntry;

constexpr const char* kSysBlock = "/sys/block";

enum class Kind { kDisk, kOptical, kOther };

struct Partition {
  std::string name;
  std::uint64_t number = 0;
  std::uint64_t size = 0;  // bytes
};

/// What /sys/block says of one device.
struct BlockDevice {
  std::string name;
  Kind kind = Kind::kOther;
  std::string interfaceType;
  std::optional<ScsiAddress> address;
  std::uint64_t size = 0;  // bytes
  std::uint32_t sectorSize = 512;
  std::string vendor;
  std::string model;
  std::vector<Partition> partitions;
};

std::string ReadTrimmed(const std::string& path) {
  const auto text = ReadTextFile(path);
  return text ? std::string(Trim(*text)) : std::string();
}

std::optional<std::uint64_t> ReadNumber(const std::string& path) {
  const auto text = ReadTextFile(path);
  if (!text) return std::nullopt;
  return ParseUnsigned(*text);
}

std::string_view LastComponent(std::string_view path) {
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

/// RAM-backed and file-backed block devices are not drives.
bool IgnoredName(std::string_view name) {
  return StartsWith(name, "loop") || StartsWith(name, "zram") || StartsWith(name, "ram");
}

std::string InterfaceName(std::string_view subsystem) {
  static const std::map<std::string_view, std::string_view> kNames = {
      {"scsi", "SCSI"}, {"ide", "IDE"}, {"nvme", "NVMe"}, {"virtio", "VirtIO"}, {"mmc", "MMC"}};
  const auto it = kNames.find(subsystem);
  return std::string(it == kNames.end() ? subsystem : it->second);
}

/// A vendor file that holds a numeric id (virtio's "0x1af4") names no maker.
bool IsNumericId(std::string_view text) { return StartsWith(text, "0x"); }

Kind KindOf(const std::string& deviceDir) {
  if (const auto type = ReadNumber(deviceDir + "/type")) {
    if (*type == 0 || *type == 14) return Kind::kDisk;  // direct access, simplified direct access
    if (*type == 5) return Kind::kOptical;
    return Kind::kOther;
  }
  const std::string media = ReadTrimmed(deviceDir + "/media");
  if (media.empty() || media == "disk") return Kind::kDisk;
  if (media == "cdrom") return Kind::kOptical;
  return Kind::kOther;
}

std::vector<Partition> PartitionsOf(const std::string& diskDir) {
  std::vector<Partition> partitions;
  for (const std::string& entry : ListFolder(diskDir)) {
    const std::string dir = diskDir + "/" + entry;
    const auto number = ReadNumber(dir + "/partition");
    if (!number) continue;
    partitions.push_back({entry, *number, ReadNumber(dir + "/size").value_or(0) * 512});
  }
  std::stable_sort(partitions.begin(), partitions.end(),
                   [](const Partition& a, const Partition& b) { return a.number < b.number; });
  return partitions;
}

std::optional<BlockDevice> ReadBlockDevice(const std::string& name,
                                           const std::vector<ScsiDevice>& scsiDevices) {
  const std::string dir = std::string(kSysBlock) + "/" + name;
  const auto deviceLink = ReadLinkText(dir + "/device");
  if (!deviceLink) return std::nullopt;
  // The per-path devices of multipath NVMe (nvme0c0n1) stand behind the one
  // namespace device the system uses; the kernel marks them hidden.
  if (ReadNumber(dir + "/hidden").value_or(0) != 0) return std::nullopt;
  const std::string deviceDir = dir + "/device";

  BlockDevice device;
  device.name = name;
  device.kind = KindOf(deviceDir);
  if (device.kind == Kind::kOther) return std::nullopt;
  if (const auto subsystem = ReadLinkText(deviceDir + "/subsystem")) {
    device.interfaceType = InterfaceName(LastComponent(*subsystem));
  }
  device.address = ParseScsiAddress(LastComponent(*deviceLink));
  device.size = ReadNumber(dir + "/size").value_or(0) * 512;
  if (const auto sector = ReadNumber(dir + "/queue/logical_block_size");
      sector && *sector > 0 && *sector <= UINT32_MAX) {
    device.sectorSize = static_cast<std::uint32_t>(*sector);
  }

  const ScsiDevice* listed = nullptr;
  if (device.address) {
    for (const ScsiDevice& d : scsiDevices) {
      if (d.address == *device.address) {
        listed = &d;
        break;
      }
    }
  }
  if (listed != nullptr) {
    device.vendor = listed->vendor;
    device.model = listed->model;
  } else {
    device.vendor = ReadTrimmed(deviceDir + "/vendor");
    if (IsNumericId(device.vendor)) device.vendor.clear();
    device.model = ReadTrimmed(deviceDir + "/model");
    if (device.model.empty()) device.model = ReadTrimmed(deviceDir + "/name");  // MMC cards
  }
  if (device.kind == Kind::kDisk) device.partitions = PartitionsOf(dir);
  return device;
}

/// Device name → first mount point, from the kernel's mount table. A source
/// given as a link below /dev (/dev/disk/by-uuid/...) counts for the device the
/// link names.
std::map<std::string, std::string> MountedDevices() {
  std::map<std::string, std::string> mounted;
  const auto text = ReadTextFile("/proc/self/mounts");
  if (!text) return mounted;
  for (const MountEntry& m : ParseMounts(*text)) {
    std::string name = MountedDeviceName(m.source);
    if (name.empty() && StartsWith(m.source, "/dev/")) {
      if (const auto target = ReadLinkText(m.source)) name = std::string(LastComponent(*target));
    }
    if (!name.empty()) mounted.emplace(name, m.mountPoint);
  }
  return mounted;
}

/// The scan's lazily fetched fdisk listing.
class FdiskOnce {
 public:
  explicit FdiskOnce(const SysfsScanHooks& hooks) : hooks_(hooks) {}
  const FdiskListing& Get() {
    if (!done_) {
      done_ = true;
      if (hooks_.fdiskListing) {
        if (const auto text = hooks_.fdiskListing()) listing_ = ParseFdiskListing(*text);
      }
    }
    return listing_;
  }

 private:
  const SysfsScanHooks& hooks_;
  bool done_ = false;
  FdiskListing listing_;
};

/// `fdisk` is asked for the system text of a partition; a whole disk has none.
void AddLogicalDisk(ScanTables& tables, const std::string& name, std::uint64_t size,
                    FdiskOnce* fdisk, const std::map<std::string, std::string>& mounted,
                    const SysfsScanHooks& hooks) {
  LogicalDiskEntry entry;
  entry.name = name;
  entry.size = size;
  if (fdisk != nullptr) {
    const auto& systems = fdisk->Get().systems;
    if (const auto it = systems.find("/dev/" + name); it != systems.end()) {
      entry.fileSystem = it->second;
    }
  }
  if (const auto it = mounted.find(name); it != mounted.end() && hooks.freeSpace) {
    if (const auto free = hooks.freeSpace(it->second)) {
      entry.freeSpace = *free;
      entry.freeSpaceUnknown = 0;
    }
  }
  tables.AddLogicalDisk(std::move(entry));
}

void AddDisk(ScanTables& tables, const BlockDevice& device, FdiskOnce& fdisk,
             const std::map<std::string, std::string>& mounted, const SysfsScanHooks& hooks) {
  if (!tables.DisksFull()) {
    DiskDriveEntry disk;
    disk.deviceId = "/dev/" + device.name;
    disk.name = disk.deviceId;
    disk.interfaceType = device.interfaceType;
    disk.manufacturer = device.vendor;
    disk.model = device.model;
    bool loaded = mounted.count(device.name) != 0;
    for (const Partition& p : device.partitions) loaded = loaded || mounted.count(p.name) != 0;
    disk.mediaLoaded = loaded ? 1 : 0;
    if (device.address) {
      disk.scsiBus = device.address->host;
      disk.scsiTargetId = static_cast<std::uint16_t>(device.address->target);
      disk.scsiLogicalUnit = static_cast<std::uint16_t>(device.address->lun);
    }
    disk.bytesPerSector = device.sectorSize;
    disk.totalSectors = device.size / device.sectorSize;
    disk.partitions = static_cast<std::uint32_t>(device.partitions.size());
    disk.size = device.size;
    tables.AddDisk(std::move(disk));
  }
  // The partitions are looked up whether or not the drive itself still fitted,
  // as for the drives of the /proc/ide layout.
  for (const Partition& p : device.partitions) {
    AddLogicalDisk(tables, p.name, p.size, &fdisk, mounted, hooks);
  }
  if (device.partitions.empty() && mounted.count(device.name) != 0) {
    AddLogicalDisk(tables, device.name, device.size, nullptr, mounted, hooks);
  }
}

void AddOptical(ScanTables& tables, const BlockDevice& device,
                const std::map<std::string, std::string>& mounted) {
  xDROMDriveEntry drive;
  drive.deviceId = "/dev/" + device.name;
  drive.name = drive.deviceId;
  drive.mediaType = "CD-ROM";
  drive.manufacturer = device.vendor;
  drive.mediaLoaded = mounted.count(device.name) != 0 ? 1 : 0;
  if (device.address) {
    drive.scsiBus = device.address->host;
    drive.scsiTargetId = static_cast<std::uint16_t>(device.address->target);
    drive.scsiLogicalUnit = static_cast<std::uint16_t>(device.address->lun);
  }
  drive.size = device.size / 1024;  // optical drives report KiB
  tables.AddOptical(std::move(drive));
}

}  // namespace

SysfsScanHooks RealSysfsScanHooks() {
  SysfsScanHooks hooks;
  hooks.fdiskListing = [] { return RunCommandOutput("/sbin/fdisk", {"-l"}); };
  hooks.freeSpace = [](const std::string& mountPoint) -> std::optional<std::uint64_t> {
    struct statvfs st {};
    if (statvfs(RootPath(mountPoint).c_str(), &st) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
  };
  return hooks;
}

bool HaveSysBlock() { return IsFolder(kSysBlock); }

void ScanSysBlock(ScanTables& tables, const SysfsScanHooks& hooks) {
  std::vector<ScsiDevice> scsiDevices;
  if (const auto text = ReadTextFile("/proc/scsi/scsi")) scsiDevices = ParseScsiDevices(*text);
  const std::map<std::string, std::string> mounted = MountedDevices();
  FdiskOnce fdisk(hooks);

  for (const std::string& name : ListFolder(kSysBlock)) {
    if (IgnoredName(name)) continue;
    const auto device = ReadBlockDevice(name, scsiDevices);
    if (!device) continue;
    if (device->kind == Kind::kDisk) {
      AddDisk(tables, *device, fdisk, mounted, hooks);
    } else {
      AddOptical(tables, *device, mounted);
    }
  }
}

}  // namespace mgmt::storage
