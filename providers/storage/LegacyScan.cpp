// The /proc layout of 2.4 kernels: StorageData's add_* members and the scan
// that calls them.
#include "LegacyScan.h"

#include <algorithm>
#include <string_view>

#include "StorageCommand.h"
#include "StorageData.h"
#include "StorageFiles.h"
#include "provutil.h"

namespace mgmt::storage {

namespace {

/// Buffer size of the utility calls on small /proc/ide files.
constexpr int kLineSize = 128;

/// Whether the device `drive`, or one of its partitions, is a mount source.
bool DriveMounted(const std::vector<MountEntry>& mounts, std::string_view drive) {
  return std::any_of(mounts.begin(), mounts.end(), [&](const MountEntry& m) {
    const std::string name = MountedDeviceName(m.source);
    return name == drive || IsPartitionOf(name, drive);
  });
}

std::uint32_t CountPartitions(LegacyScanInputs& inputs, std::string_view drive) {
  const auto& lines = inputs.Partitions();
  if (!lines) return 0;
  return static_cast<std::uint32_t>(std::count_if(
      lines->begin(), lines->end(), [&](const auto& p) { return IsPartitionOf(p.name, drive); }));
}

/// "logical      9729/255/63" of /proc/ide/hdX/geometry: cylinders/heads/sectors.
bool ParseLogicalGeometry(std::string_view line, Pegasus::DiskDriveEntry& disk) {
  constexpr std::string_view kKey = "logical";
  const std::size_t at = line.find(kKey);
  if (at == std::string_view::npos) return false;
  std::string_view rest = Trim(line.substr(at + kKey.size()));
  const std::size_t slash1 = rest.find('/');
  const std::size_t slash2 = slash1 == std::string_view::npos ? slash1 : rest.find('/', slash1 + 1);
  if (slash2 == std::string_view::npos) return false;
  const auto cylinders = ParseUnsigned(rest.substr(0, slash1));
  const auto heads = ParseUnsigned(rest.substr(slash1 + 1, slash2 - slash1 - 1));
  const auto sectors = ParseUnsigned(rest.substr(slash2 + 1));
  if (!cylinders || !heads || !sectors || *heads > UINT32_MAX || *sectors > UINT32_MAX) {
    return false;
  }
  disk.totalCylinders = *cylinders;
  disk.totalHeads = static_cast<std::uint32_t>(*heads);
  disk.sectorsPerTrack = static_cast<std::uint32_t>(*sectors);
  return true;
}

/// A small /proc/ide file through the utility library, without its line end.
std::optional<std::string> CatIdeFile(const std::string& name, const char* file) {
  char buf[kLineSize];
  const std::string path = "/proc/ide/" + name + "/" + file;
  if (s_cat(path.c_str(), buf, sizeof buf) == 0) return std::nullopt;
  return std::string(TrimLineEnd(buf));
}

void FillIdeDisk(Pegasus::DiskDriveEntry& disk, const std::string& name) {
  if (const auto model = CatIdeFile(name, "model")) {
    // The maker is the first word with the blank after it; the model keeps the
    // blank in front. Clients have always seen the two this way.
    const std::size_t space = model->find(' ');
    if (space != std::string::npos) {
      disk.manufacturer = model->substr(0, space + 1);
      disk.model = model->substr(space);
    } else {
      disk.model = *model;
    }
  }
  disk.interfaceType = "IDE";
  if (const auto capacity = CatIdeFile(name, "capacity")) {
    if (const auto sectors = ParseUnsigned(*capacity)) disk.size = *sectors * 512;
  }
  char line[kLineSize];
  const std::string geometry = "/proc/ide/" + name + "/geometry";
  if (s_grep(geometry.c_str(), "logical", 0, line, sizeof line) == nullptr) return;
  if (!ParseLogicalGeometry(line, disk)) return;
  DeriveGeometry(disk);
  if (disk.totalSectors != 0) {
    disk.bytesPerSector = static_cast<std::uint32_t>(disk.size / disk.totalSectors);
  }
}

/// The /proc/scsi/scsi entry of a disk: the one at the address the boot log
/// attached it to, else (no such line) the n-th disk entry, as disks are
/// lettered in the order they are found.
const ScsiDevice* FindScsiEntry(LegacyScanInputs& inputs, const std::string& name) {
  const auto& devices = inputs.ScsiDevices();
  if (const auto address = FindAttachedScsiDisk(inputs.BootLog(), name)) {
    for (const ScsiDevice& d : devices) {
      if (d.address == *address) return &d;
    }
    return nullptr;
  }
  const int n = name[2] - 'a' + 1;
  int seen = 0;
  for (const ScsiDevice& d : devices) {
    if (d.type == "Direct-Access" && ++seen == n) return &d;
  }
  return nullptr;
}

void FillScsiDisk(Pegasus::DiskDriveEntry& disk, const std::string& name) {
  LegacyScanInputs& inputs = ModuleScanInputs();
  if (const ScsiDevice* entry = FindScsiEntry(inputs, name)) {
    disk.scsiTargetId = static_cast<std::uint16_t>(entry->address.target);
    disk.model = entry->model;
    disk.manufacturer = entry->vendor;
    disk.scsiLogicalUnit = static_cast<std::uint16_t>(entry->address.lun);
    disk.scsiBus = entry->address.host;
  }
  disk.interfaceType = "SCSI";
  if (const auto logged = FindBootLogDisk(inputs.BootLog(), name)) {
    disk.size = logged->size;
    disk.bytesPerSector = logged->bytesPerSector;
  }
  const auto& geometry = inputs.Fdisk().geometry;
  if (const auto it = geometry.find(disk.deviceId); it != geometry.end()) {
    disk.totalHeads = it->second.heads;
    disk.sectorsPerTrack = it->second.sectorsPerTrack;
    disk.totalCylinders = it->second.cylinders;
    DeriveGeometry(disk);
  }
}

bool ValidScsiName(const char* name) {
  return std::string_view(name).size() >= 3 && name[2] >= 'a' && name[2] <= 'z';
}

}  // namespace

void ScanProcLayout() {
  if (n_ls_grep("/proc/ide", "hd", 0) > 0) {
    for (const std::string& name : ListFolder("/proc/ide")) {
      if (name.find("hd") == std::string::npos) continue;
      Pegasus::StorageData::add_Storage(1, name.c_str());
      Pegasus::StorageData::add_LogicalDisk(name.c_str());
    }
  }
  // The first letter the boot log does not mention ends the SCSI disks.
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    const std::string name = std::string("sd") + letter;
    if (n_grep("/var/log/dmesg", name.c_str(), 0) <= 0) break;
    Pegasus::StorageData::add_Storage(2, name.c_str());
    Pegasus::StorageData::add_LogicalDisk(name.c_str());
  }
}

const std::vector<ScsiDevice>& LegacyScanInputs::ScsiDevices() {
  if (!scsi_) {
    const auto text = ReadTextFile("/proc/scsi/scsi");
    scsi_ = text ? ParseScsiDevices(*text) : std::vector<ScsiDevice>{};
  }
  return *scsi_;
}

const std::string& LegacyScanInputs::BootLog() {
  if (!bootLog_) bootLog_ = ReadTextFile("/var/log/dmesg").value_or("");
  return *bootLog_;
}

const std::optional<std::vector<PartitionLine>>& LegacyScanInputs::Partitions() {
  if (!partitionsRead_) {
    partitionsRead_ = true;
    if (const auto text = ReadTextFile("/proc/partitions"))
      partitions_ = ParseProcPartitions(*text);
  }
  return partitions_;
}

const std::vector<MountEntry>& LegacyScanInputs::Mtab() {
  if (!mtab_) {
    const auto text = ReadTextFile("/etc/mtab");
    mtab_ = text ? ParseMounts(*text) : std::vector<MountEntry>{};
  }
  return *mtab_;
}

const FdiskListing& LegacyScanInputs::Fdisk() {
  if (!fdisk_) {
    const auto text = RunCommandOutput("/sbin/fdisk", {"-l"});
    fdisk_ = text ? ParseFdiskListing(*text) : FdiskListing{};
  }
  return *fdisk_;
}

const std::map<std::string, std::uint64_t>& LegacyScanInputs::DfAvailable() {
  if (!df_) {
    const auto text = RunCommandOutput("/bin/df", {"-k", "-l", "-P"});
    df_ = text ? ParseDfAvailable(*text) : std::map<std::string, std::uint64_t>{};
  }
  return *df_;
}

void LegacyScanInputs::Reset() {
  scsi_.reset();
  bootLog_.reset();
  partitionsRead_ = false;
  partitions_.reset();
  mtab_.reset();
  fdisk_.reset();
  df_.reset();
}

LegacyScanInputs& ModuleScanInputs() {
  static LegacyScanInputs inputs;
  return inputs;
}

}  // namespace mgmt::storage

namespace Pegasus {

using mgmt::storage::LegacyScanInputs;
using mgmt::storage::ModuleScanInputs;
using mgmt::storage::ModuleTables;

int StorageData::add_Storage(int type, const char* name) {
  if (name == nullptr) return -1;
  if (type == 1) {
    const std::string media = std::string("/proc/ide/") + name + "/media";
    if (n_grep(media.c_str(), "disk", 0) > 0) return add_HardDisk(1, name);
    if (n_grep(media.c_str(), "cdrom", 0) > 0) return add_xDROM(1, name, 1);
    return -1;
  }
  if (type == 2) return add_HardDisk(2, name);
  return -1;
}

int StorageData::add_HardDisk(int type, const char* name) {
  if (name == nullptr || (type != 1 && type != 2)) return -1;
  if (type == 2 && !mgmt::storage::ValidScsiName(name)) return -1;
  mgmt::storage::ScanTables& tables = ModuleTables();
  if (tables.DisksFull()) return 0;
  LegacyScanInputs& inputs = ModuleScanInputs();

  DiskDriveEntry disk;
  init_DiskDriveEntry(&disk);
  disk.mediaLoaded = mgmt::storage::DriveMounted(inputs.Mtab(), name) ? 1 : 0;
  disk.partitions = mgmt::storage::CountPartitions(inputs, name);
  disk.deviceId = std::string("/dev/") + name;
  disk.name = disk.deviceId;
  if (type == 1) {
    mgmt::storage::FillIdeDisk(disk, name);
  } else {
    mgmt::storage::FillScsiDisk(disk, name);
  }
  tables.AddDisk(std::move(disk));
  return 0;
}

int StorageData::add_xDROM(int type, const char* name, int cdrom) {
  if (name == nullptr || type != 1 || cdrom != 1) return -1;
  mgmt::storage::ScanTables& tables = ModuleTables();
  if (tables.OpticalsFull()) return 0;

  xDROMDriveEntry drive;
  init_xDROMDriveEntry(&drive);
  drive.mediaType = "CD-ROM";
  // Any mounted CD-ROM counts, as mounts name the drive through /dev/cdrom.
  drive.mediaLoaded = n_grep("/etc/mtab", "cdrom", 0) > 0 ||
                              mgmt::storage::DriveMounted(ModuleScanInputs().Mtab(), name)
                          ? 1
                          : 0;
  drive.deviceId = std::string("/dev/") + name;
  drive.name = drive.deviceId;
  if (const auto model = mgmt::storage::CatIdeFile(name, "model")) {
    const std::size_t space = model->find(' ');
    if (space != std::string::npos) drive.manufacturer = model->substr(0, space);
  }
  if (const auto capacity = mgmt::storage::CatIdeFile(name, "capacity")) {
    // 512-byte sectors, published as KiB for optical drives.
    if (const auto sectors = mgmt::storage::ParseUnsigned(*capacity)) drive.size = *sectors / 2;
  }
  tables.AddOptical(std::move(drive));
  return 0;
}

int StorageData::add_LogicalDisk(const char* name) {
  if (name == nullptr) return -1;
  mgmt::storage::ScanTables& tables = ModuleTables();
  if (tables.LogicalDisksFull()) return -1;
  LegacyScanInputs& inputs = ModuleScanInputs();
  const auto& lines = inputs.Partitions();
  if (!lines) return -1;

  const std::size_t first = tables.logicalDisks.size();
  for (const mgmt::storage::PartitionLine& line : *lines) {
    if (!mgmt::storage::IsPartitionOf(line.name, name)) continue;
    LogicalDiskEntry entry;
    init_LogicalDiskEntry(&entry);
    entry.name = line.name;
    entry.size = line.blocks * 1024;
    if (!tables.AddLogicalDisk(std::move(entry))) break;
  }
  if (tables.logicalDisks.size() == first) return 0;

  // Free space and partition types, each device matched by its whole name (a
  // line for /dev/hda10 is not one for hda1).
  const auto& available = inputs.DfAvailable();
  const auto& systems = inputs.Fdisk().systems;
  for (std::size_t i = first; i < tables.logicalDisks.size(); ++i) {
    LogicalDiskEntry& entry = tables.logicalDisks[i];
    const std::string device = "/dev/" + entry.name;
    if (const auto it = available.find(device); it != available.end()) {
      entry.freeSpace = it->second;
      entry.freeSpaceUnknown = 0;
    }
    if (const auto it = systems.find(device); it != systems.end()) entry.fileSystem = it->second;
  }
  return 0;
}

}  // namespace Pegasus
