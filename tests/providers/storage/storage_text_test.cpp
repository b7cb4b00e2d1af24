// The readers of the collector's texts on the lines real systems print, old and
// current, including the ones that broke naive readers.
#include "StorageText.h"

#include <gtest/gtest.h>

namespace {

using namespace mgmt::storage;

TEST(StorageText, PartitionsBelongToTheirDriveByWholeName) {
  EXPECT_TRUE(IsPartitionOf("hda1", "hda"));
  EXPECT_TRUE(IsPartitionOf("sdb12", "sdb"));
  EXPECT_FALSE(IsPartitionOf("hda", "hda"));
  EXPECT_FALSE(IsPartitionOf("sdaa1", "sda"));
  EXPECT_FALSE(IsPartitionOf("hda1x", "hda"));
  EXPECT_FALSE(IsPartitionOf("xhda1", "hda"));
  EXPECT_FALSE(IsPartitionOf("hda1", ""));
}

TEST(StorageText, NumbersAreWholeAndUnsigned) {
  EXPECT_EQ(ParseUnsigned("156301488\n"), 156301488u);
  EXPECT_EQ(ParseUnsigned(" 42 "), 42u);
  EXPECT_FALSE(ParseUnsigned("12abc"));
  EXPECT_FALSE(ParseUnsigned("-1"));
  EXPECT_FALSE(ParseUnsigned(""));
  EXPECT_FALSE(ParseUnsigned("99999999999999999999"));
  EXPECT_EQ(TrimLineEnd("WDC WD800JB-00JJC0\r\n"), "WDC WD800JB-00JJC0");
  EXPECT_EQ(TrimLineEnd(" LITEON \n"), " LITEON ");
}

TEST(StorageText, ScsiListGivesEachEntryItsAddressAndWholeModel) {
  const auto devices = ParseScsiDevices(
      "Attached devices: \n"
      "Host: scsi0 Channel: 00 Id: 00 Lun: 00\n"
      "  Vendor: TOSHIBA  Model: CD-ROM XM-6201TA Rev: 1037\n"
      "  Type:   CD-ROM                           ANSI SCSI revision: 02\n"
      "Host: scsi1 Channel: 02 Id: 15 Lun: 07\n"
      "  Vendor: IBM-ESXS Model: ST336607LC    FN Rev: B26N\n"
      "  Type:   Direct-Access                    ANSI  SCSI revision: 03\n"
      "Host: scsiX Channel: 00 Id: 00 Lun: 00\n"
      "  Vendor: BROKEN   Model: ENTRY            Rev: 0000\n");
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].address, (ScsiAddress{0, 0, 0, 0}));
  EXPECT_EQ(devices[0].model, "CD-ROM XM-6201TA");
  EXPECT_EQ(devices[0].type, "CD-ROM");
  // The unparsable entry's lines must not be taken for the one before it.
  EXPECT_EQ(devices[1].address, (ScsiAddress{1, 2, 15, 7}));
  EXPECT_EQ(devices[1].vendor, "IBM-ESXS");
  EXPECT_EQ(devices[1].model, "ST336607LC    FN");
  EXPECT_EQ(devices[1].type, "Direct-Access");

  EXPECT_EQ(ParseScsiAddress("6:0:3:2"), (ScsiAddress{6, 0, 3, 2}));
  EXPECT_FALSE(ParseScsiAddress("nvme0"));
  EXPECT_FALSE(ParseScsiAddress("1:0:0"));
  EXPECT_FALSE(ParseScsiAddress("1:0:0:0:0"));
}

TEST(StorageText, BootLogNamesTheDiskExactly) {
  const std::string log =
      "Attached scsi disk sdaa at scsi2, channel 0, id 9, lun 0\n"
      "Attached scsi disk sda at scsi0, channel 1, id 5, lun 3\n"
      "SCSI device sdaa: 100 512-byte hdwr sectors (1 MB)\n"
      "SCSI device sda: 35566480 512-byte hdwr sectors (18210 MB)\n"
      "SCSI device sdb: 2048 2048-byte hdwr sectors\n"
      "SCSI device sdc: unknown size (4 MB)\n";
  EXPECT_EQ(FindAttachedScsiDisk(log, "sda"), (ScsiAddress{0, 1, 5, 3}));
  EXPECT_FALSE(FindAttachedScsiDisk(log, "sdb"));

  // The size comes from the sector count, not from the rounded decimal megabytes.
  const auto sda = FindBootLogDisk(log, "sda");
  ASSERT_TRUE(sda);
  EXPECT_EQ(sda->size, 35566480ull * 512);
  EXPECT_EQ(sda->bytesPerSector, 512u);
  EXPECT_EQ(FindBootLogDisk(log, "sdb")->size, 2048ull * 2048);
  const auto sdc = FindBootLogDisk(log, "sdc");
  ASSERT_TRUE(sdc);
  EXPECT_EQ(sdc->size, 4ull * 1048576);
  EXPECT_EQ(sdc->bytesPerSector, 0u);
  EXPECT_FALSE(FindBootLogDisk(log, "sdd"));
}

TEST(StorageText, ProcPartitionsOfBothKernelSeries) {
  const auto lines = ParseProcPartitions(
      "major minor  #blocks  name     rio rmerge rsect ruse wio wmerge wsect wuse running use "
      "aveq\n"
      "\n"
      "   3     0   78150744 hda 38125 84263 977432 251890 16812 35702 418640 1011480 0\n"
      "   3     1     104391 hda1 40 82 244 190 6 2 16 30 0 220 220\n"
      " 259        1     524288 nvme0n1p1\n"
      "   8     0   garbage sdz\n");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].name, "hda");
  EXPECT_EQ(lines[1].blocks, 104391u);
  EXPECT_EQ(lines[2].name, "nvme0n1p1");
}

TEST(StorageText, MountTablesUndoTheirEscapes) {
  const auto mounts = ParseMounts(
      "/dev/sdb1 /mnt/data\\040store xfs rw 0 0\n"
      "# comment line\n"
      "/dev/sdc1 /mnt/a\\134b\\011c ext4 rw 0 0\n"
      "/dev/sdd1 /mnt/x\\9 ext4 rw 0 0\n"
      "short line\n");
  ASSERT_EQ(mounts.size(), 3u);
  EXPECT_EQ(mounts[0].mountPoint, "/mnt/data store");
  EXPECT_EQ(mounts[0].type, "xfs");
  EXPECT_EQ(mounts[1].mountPoint, "/mnt/a\\b\tc");
  EXPECT_EQ(mounts[2].mountPoint, "/mnt/x\\9");

  EXPECT_EQ(MountedDeviceName("/dev/sda1"), "sda1");
  EXPECT_EQ(MountedDeviceName("/dev/disk/by-uuid/1234"), "");
  EXPECT_EQ(MountedDeviceName("fileserver:/export"), "");
  EXPECT_EQ(MountedDeviceName("/dev/"), "");
}

TEST(StorageText, OldFdiskGivesGeometryAndSystems) {
  const FdiskListing listing = ParseFdiskListing(
      "\n"
      "Disk /dev/sda: 18.2 GB, 18209997760 bytes\n"
      "255 heads, 63 sectors/track, 2213 cylinders\n"
      "Units = cylinders of 16065 * 512 = 8225280 bytes\n"
      "\n"
      "   Device Boot    Start       End    Blocks   Id  System\n"
      "/dev/sda1   *         1        13    104391   83  Linux\n"
      "/dev/sda2            14       144   1052257+  82  Linux swap\n"
      "/dev/sda3           145      2213  16619242+   f  Win95 Ext'd (LBA)\n"
      "\n"
      "Disk /dev/sdb: 255 heads, 63 sectors, 4427 cylinders\n"
      "Units = cylinders of 16065 * 512 bytes\n"
      "\n"
      "Disk /dev/sdc: 9105 MB, 9105018880 bytes\n"
      "255 heads, 63 sectors/track, 1106 cylinders, total 17783240 sectors\n");
  ASSERT_EQ(listing.geometry.count("/dev/sda"), 1u);
  EXPECT_EQ(listing.geometry.at("/dev/sda").heads, 255u);
  EXPECT_EQ(listing.geometry.at("/dev/sda").sectorsPerTrack, 63u);
  EXPECT_EQ(listing.geometry.at("/dev/sda").cylinders, 2213u);
  // Geometry is only read from the line after the drive's own line.
  EXPECT_EQ(listing.geometry.count("/dev/sdb"), 0u);
  EXPECT_EQ(listing.geometry.at("/dev/sdc").cylinders, 1106u);
  EXPECT_EQ(listing.systems.at("/dev/sda1"), "Linux");
  EXPECT_EQ(listing.systems.at("/dev/sda2"), "Linux swap");
  EXPECT_EQ(listing.systems.at("/dev/sda3"), "Win95 Ext'd (LBA)");
}

TEST(StorageText, CurrentFdiskSystemsFollowTheHeaderNotTheSizeColumn) {
  const FdiskListing listing = ParseFdiskListing(
      "Disk /dev/sda: 465.76 GiB, 500107862016 bytes, 976773168 sectors\n"
      "Disk model: Samsung SSD 860\n"
      "Units: sectors of 1 * 512 = 512 bytes\n"
      "\n"
      "Device     Boot   Start       End   Sectors   Size Id Type\n"
      "/dev/sda1  *       2048   1050623   1048576   512M  c W95 FAT32 (LBA)\n"
      "/dev/sda2       1050624 976773119 975722496 465.3G 83 Linux\n"
      "/dev/sda3     976773120 976773167        48    24K 82 Linux swap / Solaris  \n"
      "\n"
      "Disk /dev/nvme0n1: 931.51 GiB, 1000204886016 bytes, 1953525168 sectors\n"
      "Disklabel type: gpt\n"
      "\n"
      "Device           Start        End    Sectors   Size Type\n"
      "/dev/nvme0n1p1    2048    1050623    1048576   512M EFI System\n"
      "/dev/nvme0n1p2 1050624 1953523711 1952473088 931.0G Linux filesystem\n"
      "/dev/nvme0n1p3 1953523712\n");
  EXPECT_TRUE(listing.geometry.empty());
  EXPECT_EQ(listing.systems.at("/dev/sda1"), "W95 FAT32 (LBA)");
  EXPECT_EQ(listing.systems.at("/dev/sda2"), "Linux");
  EXPECT_EQ(listing.systems.at("/dev/sda3"), "Linux swap / Solaris");
  EXPECT_EQ(listing.systems.at("/dev/nvme0n1p1"), "EFI System");
  EXPECT_EQ(listing.systems.at("/dev/nvme0n1p2"), "Linux filesystem");
  EXPECT_EQ(listing.systems.count("/dev/nvme0n1p3"), 0u);
}

TEST(StorageText, FdiskRowsWithoutATableHeaderAreNotRead) {
  const FdiskListing listing = ParseFdiskListing(
      "Disk /dev/sda: 1 GiB, 1073741824 bytes, 2097152 sectors\n"
      "/dev/sda1 2048 4095 2048 1M 83 Linux\n");
  EXPECT_TRUE(listing.systems.empty());
}

TEST(StorageText, DfAvailableColumnOfOldAndCurrentLayouts) {
  const auto old = ParseDfAvailable(
      "Filesystem           1K-blocks      Used Available Use% Mounted on\n"
      "/dev/hda5             20161172   4718536  14418488  25% /\n"
      "none                    256900         0    256900   0% /dev/shm\n"
      "/dev/ida/c0d0p1\n"
      "                      35278552  30124548   3362008  90% /data\n"
      "/dev/lonely\n"
      "/dev/hda1               101089     15541     80329  17% /boot\n"
      "/dev/bad                  junk      junk      junk  1% /bad\n");
  EXPECT_EQ(old.size(), 3u);
  EXPECT_EQ(old.at("/dev/hda5"), 14418488ull * 1024);
  EXPECT_EQ(old.at("/dev/ida/c0d0p1"), 3362008ull * 1024);
  EXPECT_EQ(old.at("/dev/hda1"), 80329ull * 1024);

  const auto current = ParseDfAvailable(
      "Filesystem     1024-blocks     Used Available Capacity Mounted on\n"
      "/dev/nvme0n1p2   479079112 98765432 355910680      22% /\n");
  EXPECT_EQ(current.at("/dev/nvme0n1p2"), 355910680ull * 1024);
}

}  // namespace
