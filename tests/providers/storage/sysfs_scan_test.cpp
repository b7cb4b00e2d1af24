// The /sys/block scan: what it finds on the current fixture machine (NVMe,
// SATA behind an optical drive, SAS with a LUN and 4096-byte sectors, virtio,
// MMC, loop and zram), and the rules that decide it, on small trees of their own.
#include "SysfsScan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "StorageCommand.h"
#include "support/temp_dir.h"

namespace {

using mgmt::storage::ScanSysBlock;
using mgmt::storage::ScanTables;
using mgmt::storage::SysfsScanHooks;
using mgmt::test::ScopedEnv;
using mgmt::test::SourcePath;
using mgmt::test::TempRoot;

std::string Fixture(const char* name) {
  return SourcePath(std::string("tests/providers/storage/fixtures/") + name).string();
}

/// Hooks answering from the test: free space per mount point, fdisk output, and
/// a count of the fdisk runs asked for.
struct FakeHooks {
  std::map<std::string, std::uint64_t> free;
  std::optional<std::string> fdisk;
  int fdiskRuns = 0;
  std::vector<std::string> freeAsked;

  SysfsScanHooks Hooks() {
    SysfsScanHooks hooks;
    hooks.fdiskListing = [this] {
      ++fdiskRuns;
      return fdisk;
    };
    hooks.freeSpace = [this](const std::string& mountPoint) -> std::optional<std::uint64_t> {
      freeAsked.push_back(mountPoint);
      const auto it = free.find(mountPoint);
      if (it == free.end()) return std::nullopt;
      return it->second;
    };
    return hooks;
  }
};

struct DiskView {
  std::string id, interface, maker, model;
  int loaded;
  unsigned bus, target, lun;
  unsigned bytesPerSector, partitions, index;
  std::uint64_t sectors, size;
  bool operator==(const DiskView&) const = default;
};

std::ostream& operator<<(std::ostream& os, const DiskView& d) {
  return os << d.id << " " << d.interface << " [" << d.maker << "] [" << d.model << "] loaded "
            << d.loaded << " " << d.bus << ":" << d.target << ":" << d.lun << " bps "
            << d.bytesPerSector << " parts " << d.partitions << " index " << d.index << " sectors "
            << d.sectors << " size " << d.size;
}

std::vector<DiskView> Disks(const ScanTables& t) {
  std::vector<DiskView> out;
  for (const auto& d : t.disks) {
    EXPECT_EQ(d.name, d.deviceId);
    EXPECT_EQ(d.totalHeads + d.sectorsPerTrack + d.totalCylinders + d.totalTracks, 0u);
    out.push_back({d.deviceId, d.interfaceType, d.manufacturer, d.model, d.mediaLoaded, d.scsiBus,
                   d.scsiTargetId, d.scsiLogicalUnit, d.bytesPerSector, d.partitions, d.index,
                   d.totalSectors, d.size});
  }
  return out;
}

/// "name size fs [free]" per logical disk.
std::vector<std::string> LogicalDisks(const ScanTables& t) {
  std::vector<std::string> out;
  for (const auto& l : t.logicalDisks) {
    std::string line = l.name + " " + std::to_string(l.size) + " [" + l.fileSystem + "]";
    if (l.freeSpaceUnknown == 0) line += " free " + std::to_string(l.freeSpace);
    out.push_back(line);
  }
  return out;
}

TEST(SysfsScan, CurrentMachineFindsEveryDriveAndPartition) {
  ScopedEnv root("MGMTAGENT_ROOT", Fixture("current"));
  FakeHooks fake;
  fake.fdisk = mgmt::storage::RunCommandOutput("/sbin/fdisk", {"-l"});
  ASSERT_TRUE(fake.fdisk);
  fake.free = {
      {"/", 400000000000}, {"/boot/efi", 500000000}, {"/mnt/data store", 123456789}, {"/srv", 777}};
  ScanTables t;
  ScanSysBlock(t, fake.Hooks());

  const std::vector<DiskView> disks = {
      {"/dev/mmcblk0", "MMC", "", "SC32G", 0, 0, 0, 0, 512, 1, 0, 62333952, 62333952ull * 512},
      {"/dev/nvme0n1", "NVMe", "", "Samsung SSD 970 EVO Plus 1TB", 1, 0, 0, 0, 512, 2, 1,
       1953525168, 1953525168ull * 512},
      // Its own /proc/scsi/scsi entry (the optical drive's comes first), whole model.
      {"/dev/sda", "SCSI", "ATA", "Samsung SSD 860", 0, 1, 0, 0, 512, 2, 2, 976773168,
       976773168ull * 512},
      // Mounted through a /dev/disk/by-uuid link; sda's count is not sdaa's.
      {"/dev/sdaa", "SCSI", "SEAGATE", "ST4000NM0023", 1, 6, 3, 2, 4096, 1, 3, 976754646,
       7814037168ull * 512},
      // The virtio vendor file holds a numeric id, which names no maker.
      {"/dev/vda", "VirtIO", "", "", 1, 0, 0, 0, 512, 0, 4, 41943040, 41943040ull * 512},
  };
  EXPECT_EQ(Disks(t), disks);

  ASSERT_EQ(t.opticals.size(), 1u);
  const auto& sr0 = t.opticals[0];
  EXPECT_EQ(sr0.deviceId, "/dev/sr0");
  EXPECT_EQ(sr0.name, "/dev/sr0");
  EXPECT_EQ(sr0.mediaType, "CD-ROM");
  EXPECT_EQ(sr0.manufacturer, "HL-DT-ST");
  EXPECT_EQ(sr0.size, 1427456u / 2);  // KiB
  EXPECT_EQ(sr0.mediaLoaded, 1);
  EXPECT_EQ(sr0.scsiBus + sr0.scsiTargetId + sr0.scsiLogicalUnit, 0u);

  const std::vector<std::string> logical = {
      "mmcblk0p1 31910789120 [W95 FAT32 (LBA)]",
      "nvme0n1p1 536870912 [EFI System] free 500000000",
      "nvme0n1p2 999666745344 [Linux filesystem] free 400000000000",
      "sda1 536870912 [W95 FAT32 (LBA)]",
      "sda2 499569917952 [Linux]",
      "sdaa1 4000784932864 [Linux filesystem] free 123456789",
      // A whole disk holding a mounted file system is a logical disk of its own.
      "vda 21474836480 [] free 777",
  };
  EXPECT_EQ(LogicalDisks(t), logical);
  EXPECT_EQ(fake.fdiskRuns, 1);
}

/// A /sys/block disk of a temporary root.
void MakeDisk(const TempRoot& root, const std::string& name, std::uint64_t sectors,
              const std::string& deviceLink = "../../devices/virtio0",
              const std::vector<std::pair<std::string, int>>& partitions = {}) {
  const std::string dir = "/sys/block/" + name;
  root.Write(dir + "/size", std::to_string(sectors) + "\n");
  if (!deviceLink.empty()) {
    std::filesystem::create_directories(root / (dir));
    std::filesystem::create_symlink(deviceLink, root / (dir + "/device"));
  }
  for (const auto& [part, number] : partitions) {
    root.Write(dir + "/" + part + "/partition", std::to_string(number) + "\n");
    root.Write(dir + "/" + part + "/size", "8\n");
  }
}

TEST(SysfsScan, PartitionsInNumberOrderAndFdiskOnlyWhenThereAreAny) {
  TempRoot root;
  root.Write("/sys/devices/virtio0/vendor", "0x1af4\n");
  MakeDisk(root, "vdb", 100);
  FakeHooks fake;
  ScanTables t;
  ScanSysBlock(t, fake.Hooks());
  EXPECT_EQ(t.disks.size(), 1u);
  EXPECT_TRUE(t.logicalDisks.empty());  // not mounted: no logical disk of its own
  EXPECT_EQ(fake.fdiskRuns, 0);

  MakeDisk(root, "vdc", 100, "../../devices/virtio0",
           {{"vdc10", 10}, {"vdc2", 2}, {"vdc1", 1}, {"holders", 0}});
  std::filesystem::remove(root / "/sys/block/vdc/holders/partition");
  root.Write("/sys/block/vdc/vdc9/size", "8\n");  // no partition file: not one
  ScanTables again;
  ScanSysBlock(again, fake.Hooks());
  ASSERT_EQ(again.logicalDisks.size(), 3u);
  EXPECT_EQ(again.logicalDisks[0].name, "vdc1");
  EXPECT_EQ(again.logicalDisks[1].name, "vdc2");
  EXPECT_EQ(again.logicalDisks[2].name, "vdc10");
  EXPECT_EQ(again.logicalDisks[2].size, 8u * 512);
  EXPECT_EQ(again.disks[1].partitions, 3u);
  EXPECT_EQ(fake.fdiskRuns, 1);
}

TEST(SysfsScan, OnlyHardwareDisksAndOpticalDrivesCount) {
  TempRoot root;
  const std::string scsi = "/sys/devices/host0/target0:0:";
  root.Write(scsi + "0/0:0:0:0/type", "1\n");   // tape
  root.Write(scsi + "1/0:0:1:0/type", "7\n");   // magneto-optical
  root.Write(scsi + "2/0:0:2:0/type", "14\n");  // simplified direct access (some USB disks)
  root.Write(scsi + "3/0:0:3:0/type", "5\n");
  MakeDisk(root, "sda", 10, "../../devices/host0/target0:0:0/0:0:0:0");
  MakeDisk(root, "sdb", 10, "../../devices/host0/target0:0:1/0:0:1:0");
  MakeDisk(root, "sdc", 10, "../../devices/host0/target0:0:2/0:0:2:0");
  MakeDisk(root, "sr0", 0, "../../devices/host0/target0:0:3/0:0:3:0");
  root.Write("/sys/devices/ide0/0.0/media", "disk\n");
  root.Write("/sys/devices/ide0/0.1/media", "cdrom\n");
  root.Write("/sys/devices/ide0/1.0/media", "floppy\n");
  MakeDisk(root, "hda", 10, "../../devices/ide0/0.0");
  MakeDisk(root, "hdb", 0, "../../devices/ide0/0.1");
  MakeDisk(root, "hdc", 10, "../../devices/ide0/1.0");
  MakeDisk(root, "nvme0n1", 10, "../../devices/nvme0");
  MakeDisk(root, "nvme0c0n1", 10, "../../devices/nvme0");
  root.Write("/sys/block/nvme0n1/hidden", "0\n");
  root.Write("/sys/block/nvme0c0n1/hidden", "1\n");
  MakeDisk(root, "md0", 10, "");
  MakeDisk(root, "dm-0", 10, "");
  // Even with a device link a loop, zram or ram device is no drive.
  MakeDisk(root, "loop1", 10);
  MakeDisk(root, "zram1", 10);
  MakeDisk(root, "ram0", 10);
  FakeHooks fake;
  ScanTables t;
  ScanSysBlock(t, fake.Hooks());
  std::vector<std::string> disks;
  for (const auto& d : t.disks) disks.push_back(d.deviceId);
  std::vector<std::string> opticals;
  for (const auto& o : t.opticals) opticals.push_back(o.deviceId);
  EXPECT_EQ(disks, (std::vector<std::string>{"/dev/hda", "/dev/nvme0n1", "/dev/sdc"}));
  EXPECT_EQ(opticals, (std::vector<std::string>{"/dev/hdb", "/dev/sr0"}));
}

TEST(SysfsScan, FullTablesDropTheRestQuietly) {
  TempRoot root;
  for (int i = 0; i < 34; ++i) {
    const std::string name = "vd" + std::string(1, static_cast<char>('a' + i / 26)) +
                             std::string(1, static_cast<char>('a' + i % 26));
    MakeDisk(root, name, 10, "../../devices/virtio0", {{name + "1", 1}, {name + "2", 2}});
  }
  FakeHooks fake;
  ScanTables t;
  ScanSysBlock(t, fake.Hooks());
  EXPECT_EQ(t.disks.size(), 32u);
  EXPECT_EQ(t.disks.back().index, 31u);
  EXPECT_EQ(t.logicalDisks.size(), 64u);
}

}  // namespace
