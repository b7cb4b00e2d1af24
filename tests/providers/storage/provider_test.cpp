// The five providers in-process: exact instances of the 2.4-era fixture with old
// and current fdisk and df output, the /sys/block fixture, keyed names and
// getInstance, the write refusals, one fdisk and df run per scan, exact device
// matching, and concurrent requests.
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/SimpleResponseHandler.h>
#include <Pegasus/Provider/ProviderException.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "StorageData.h"
#include "StorageProviderMain.h"
#include "support/process.h"
#include "support/provider_driver.h"
#include "support/temp_dir.h"

namespace {

using namespace Pegasus;
using mgmt::test::Describe;
using mgmt::test::ProviderDriver;
using mgmt::test::ScopedEnv;
using mgmt::test::SourcePath;
using mgmt::test::TempRoot;
using mgmt::test::Text;
using mgmt::test::ValueOf;
using Lines = std::vector<std::string>;

constexpr const char* kClasses[] = {"SM_DiskDrive", "SM_CDROMDrive", "SM_DVDDrive",
                                    "SM_FloppyDrive", "SM_LogicalDisk"};
constexpr const char* kProviders[] = {"SMDiskDriveProvider", "SMCDROMDriveProvider",
                                      "SMDVDDriveProvider", "SMFloppyDriveProvider",
                                      "SMLogicalDiskProvider"};

std::filesystem::path Fixture(const char* name) {
  return SourcePath(std::string("tests/providers/storage/fixtures/") + name);
}

std::string HostName() {
  String name;
  EXPECT_TRUE(getUtilGetHostName(name));
  return Text(name);
}

/// A provider of the module, made by its factory and driven as cimserver does.
class Storage : public ProviderDriver {
 public:
  explicit Storage(const char* providerName)
      : ProviderDriver(PegasusCreateProvider(String(providerName))) {}
};

/// Every instance of `cls`, each flattened to its properties in order.
std::vector<Lines> Enumerate(const char* provider, const char* cls) {
  Storage p(provider);
  std::vector<Lines> out;
  for (const CIMInstance& i : p.Instances(cls)) out.push_back(Describe(i));
  EXPECT_TRUE(p.Completed());
  return out;
}

/// The properties every storage instance starts with.
Lines Head(const std::string& cls) {
  return {"SystemName:string=" + HostName(), "SystemCreationClassName:string=CIM_ComputerSystem",
          "CreationClassName:string=" + cls};
}

Lines Disk(const std::string& id, const std::string& interface, const std::string& maker,
           const std::string& model, bool loaded, unsigned lun, unsigned target, unsigned bps,
           unsigned partitions, unsigned spt, unsigned heads, unsigned tpc, unsigned index,
           unsigned bus, std::uint64_t sectors, std::uint64_t tracks, std::uint64_t cylinders,
           std::uint64_t size) {
  Lines l = Head("SM_DiskDrive");
  const Lines rest = {"DeviceID:string=" + id,
                      "Caption:string=" + id,
                      "InterfaceType:string=" + interface,
                      "Manufacturer:string=" + maker,
                      "MediaType:string=",
                      "Model:string=" + model,
                      "Name:string=" + id,
                      std::string("MediaLoaded:boolean=") + (loaded ? "TRUE" : "FALSE"),
                      "SCSILogicalUnit:uint16=" + std::to_string(lun),
                      "SCSIPort:uint16=0",
                      "SCSITargetId:uint16=" + std::to_string(target),
                      "BytesPerSector:uint32=" + std::to_string(bps),
                      "Partitions:uint32=" + std::to_string(partitions),
                      "SectorsPerTrack:uint32=" + std::to_string(spt),
                      "TotalHeads:uint32=" + std::to_string(heads),
                      "TracksPerCylinder:uint32=" + std::to_string(tpc),
                      "Index:uint32=" + std::to_string(index),
                      "SCSIBus:uint32=" + std::to_string(bus),
                      "TotalSectors:uint64=" + std::to_string(sectors),
                      "TotalTracks:uint64=" + std::to_string(tracks),
                      "TotalCylinders:uint64=" + std::to_string(cylinders),
                      "Size:uint64=" + std::to_string(size)};
  l.insert(l.end(), rest.begin(), rest.end());
  return l;
}

Lines Logical(const std::string& name, const std::string& fs, std::optional<std::uint64_t> free,
              std::uint64_t size) {
  Lines l = Head("SM_LogicalDisk");
  l.push_back("DeviceID:string=" + name);
  l.push_back("Name:string=" + name);
  l.push_back("Caption:string=" + name);
  l.push_back("FileSystem:string=" + fs);
  if (free) l.push_back("FreeSpace:uint64=" + std::to_string(*free));
  l.push_back("Size:uint64=" + std::to_string(size));
  return l;
}

/// The 2.4-era fixture, its fdisk and df either the old ones or today's.
class Linux24Root {
 public:
  explicit Linux24Root(bool currentTools) {
    namespace fs = std::filesystem;
    const fs::path tree = Fixture("linux24");
    const fs::path tools = currentTools ? Fixture("linux24-current-tools") : tree;
    for (const char* dir : {"proc", "var", "etc"})
      fs::create_directory_symlink(tree / dir, root_ / dir);
    for (const char* dir : {"sbin", "bin"}) fs::create_directory_symlink(tools / dir, root_ / dir);
  }

 private:
  TempRoot root_;
};

// The disks of the 2.4-era fixture: hda (model split after its first word,
// logical geometry), hdb (one-word model, no logical geometry line), sda and sdb
// behind a SCSI CD-ROM (each with its own /proc/scsi/scsi entry, found by the
// boot log's address, whole model text), no sdd (the boot log has no sdc).
std::vector<Lines> Linux24Disks(bool oldGeometry) {
  const unsigned spt = oldGeometry ? 63 : 0;
  const unsigned heads = oldGeometry ? 255 : 0;
  return {
      Disk("/dev/hda", "IDE", "WDC ", " WD800JB-00JJC0", true, 0, 0, 512, 5, 63, 255, 255, 0, 0,
           156296385, 2480895, 9729, 80026361856),
      Disk("/dev/hdb", "IDE", "", "ST340016A", false, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0,
           40020664320),
      Disk("/dev/sda", "SCSI", "SEAGATE", "ST318406LC", true, 0, 1, 512, 2, spt, heads, heads, 2, 0,
           oldGeometry ? 35551845 : 0, oldGeometry ? 564315 : 0, oldGeometry ? 2213 : 0,
           35566480ull * 512),
      Disk("/dev/sdb", "SCSI", "IBM-ESXS", "ST336607LC    FN", true, 0, 2, 512, 1, spt, heads,
           heads, 3, 1, oldGeometry ? 71682030 : 0, oldGeometry ? 1137810 : 0,
           oldGeometry ? 4462 : 0, 71687372ull * 512),
  };
}

std::vector<Lines> Linux24LogicalDisks(bool oldTexts) {
  return {
      Logical("hda1", "Linux", 80329ull * 1024, 104391ull * 1024),
      Logical("hda2", oldTexts ? "Linux swap" : "Linux swap / Solaris", {}, 1052257ull * 1024),
      Logical("hda3", oldTexts ? "Win95 Ext'd (LBA)" : "W95 Ext'd (LBA)", {}, 1024),
      Logical("hda5", "Linux", 14418488ull * 1024, 20482843ull * 1024),
      Logical("hda6", oldTexts ? "Win95 FAT32 (LBA)" : "W95 FAT32 (LBA)", 24970064ull * 1024,
              56508606ull * 1024),
      Logical("hdb1", "Linux LVM", {}, 39070048ull * 1024),
      // hdd is an IDE floppy, no drive of ours, but its partition is still listed.
      Logical("hdd4", "FAT16", {}, 98288ull * 1024),
      Logical("sda1", "Linux", 5770816ull * 1024, 16787925ull * 1024),
      Logical("sda2", oldTexts ? "Linux swap" : "Linux swap / Solaris", {}, 995281ull * 1024),
      Logical("sdb1", "Linux", 3362008ull * 1024, 35840983ull * 1024),
  };
}

std::vector<Lines> Linux24Cdrom() {
  Lines l = Head("SM_CDROMDrive");
  const Lines rest = {"DeviceID:string=/dev/hdc",
                      "Caption:string=/dev/hdc",
                      "Drive:string=",
                      "Id:string=",
                      "Manufacturer:string=LITEON",
                      "MediaType:string=CD-ROM",
                      "Name:string=/dev/hdc",
                      "SCSILogicalUnit:uint16=0",
                      "SCSIPort:uint16=0",
                      "SCSITargetId:uint16=0",
                      "SCSIBus:uint32=0",
                      "Size:uint64=665600",
                      "MediaLoaded:boolean=TRUE"};
  l.insert(l.end(), rest.begin(), rest.end());
  return {l};
}

// --- module entry and refusals ---------------------------------------------------

TEST(StorageModule, CreatesTheFiveProvidersByNameIgnoringCase) {
  for (const char* name :
       {"SMDiskDriveProvider", "smdiskdriveprovider", "SMCDROMDRIVEPROVIDER", "SMDVDDriveProvider",
        "SMFloppyDriveProvider", "SMLogicalDiskProvider"}) {
    Storage p(name);
    EXPECT_NE(p.Get(), nullptr) << name;
  }
  EXPECT_EQ(PegasusCreateProvider(String("SMDiskDrive")), nullptr);
  EXPECT_EQ(PegasusCreateProvider(String("")), nullptr);
}

TEST(StorageModule, EveryProviderRefusesTheThreeWritesNamingClassAndOperation) {
  int refused = 0;
  for (int i = 0; i < 5; ++i) {
    Storage p(kProviders[i]);
    ASSERT_NE(p.Get(), nullptr);
    const std::string cls = kClasses[i];
    const CIMObjectPath path(String(kClasses[i]));
    const CIMInstance instance{CIMName(kClasses[i])};
    SimpleResponseHandlerImpl plain;
    SimpleObjectPathResponseHandler paths;
    const auto expect = [&](auto call, const std::string& op) {
      try {
        call();
        ADD_FAILURE() << cls << " " << op << " did not refuse";
      } catch (const CIMNotSupportedException& e) {
        EXPECT_EQ(Text(e.getMessage()), cls + "::" + op);
        EXPECT_EQ(e.getCode(), CIM_ERR_NOT_SUPPORTED);
        ++refused;
      }
    };
    expect([&] { p.Get()->modifyInstance(p.Context(), path, instance, false, {}, plain); },
           "modifyInstance");
    expect([&] { p.Get()->createInstance(p.Context(), path, instance, paths); }, "createInstance");
    expect([&] { p.Get()->deleteInstance(p.Context(), path, plain); }, "deleteInstance");
  }
  EXPECT_EQ(refused, 15);
}

// --- the 2.4-era fixture ---------------------------------------------------------

TEST(StorageLinux24, OldToolsGiveTheExactInstances) {
  Linux24Root root(false);
  EXPECT_EQ(Enumerate("SMDiskDriveProvider", "SM_DiskDrive"), Linux24Disks(true));
  EXPECT_EQ(Enumerate("SMCDROMDriveProvider", "SM_CDROMDrive"), Linux24Cdrom());
  EXPECT_EQ(Enumerate("SMLogicalDiskProvider", "SM_LogicalDisk"), Linux24LogicalDisks(true));
  EXPECT_TRUE(Enumerate("SMDVDDriveProvider", "SM_DVDDrive").empty());
  EXPECT_TRUE(Enumerate("SMFloppyDriveProvider", "SM_FloppyDrive").empty());
}

TEST(StorageLinux24, CurrentToolsGiveTheSameFreeSpaceAndTheirOwnPartitionTypes) {
  // Today's fdisk prints no geometry line and a size column before the type.
  Linux24Root root(true);
  EXPECT_EQ(Enumerate("SMDiskDriveProvider", "SM_DiskDrive"), Linux24Disks(false));
  EXPECT_EQ(Enumerate("SMLogicalDiskProvider", "SM_LogicalDisk"), Linux24LogicalDisks(false));
}

TEST(StorageLinux24, NamesCarryTheFourKeysAndGetInstanceFindsThem) {
  Linux24Root root(false);
  Storage p("SMLogicalDiskProvider");
  const std::vector<CIMObjectPath> names = p.Names("SM_LogicalDisk");
  ASSERT_EQ(names.size(), 10u);
  EXPECT_TRUE(p.Completed());
  const CIMObjectPath& hda5 = names[3];
  EXPECT_EQ(Text(hda5.toString()),
            "SM_LogicalDisk.CreationClassName=\"SM_LogicalDisk\",DeviceID=\"hda5\","
            "SystemCreationClassName=\"CIM_ComputerSystem\",SystemName=\"" +
                HostName() + "\"");

  // As the object manager hands it over: with the request's namespace.
  CIMObjectPath request = hda5;
  request.setNameSpace(CIMNamespaceName("root/cimv2"));
  const auto found = p.GetInstance(request);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_TRUE(p.Completed());
  EXPECT_EQ(ValueOf(found[0], "FreeSpace"), std::to_string(14418488ull * 1024));
  EXPECT_EQ(found[0].getPath(), hda5);

  // Another device, another system, a key missing, no keys: nothing, no error.
  const auto with = [&](const char* key, const char* value) {
    Array<CIMKeyBinding> keys = hda5.getKeyBindings();
    Array<CIMKeyBinding> changed;
    for (Uint32 i = 0; i < keys.size(); ++i) {
      if (keys[i].getName().equal(CIMName(key))) {
        if (value != nullptr)
          changed.append(CIMKeyBinding(CIMName(key), value, CIMKeyBinding::STRING));
      } else {
        changed.append(keys[i]);
      }
    }
    return CIMObjectPath(String(), CIMNamespaceName("root/cimv2"), CIMName("SM_LogicalDisk"),
                         changed);
  };
  EXPECT_TRUE(p.GetInstance(with("DeviceID", "hda4")).empty());
  EXPECT_TRUE(p.GetInstance(with("SystemName", "elsewhere")).empty());
  EXPECT_TRUE(p.GetInstance(with("CreationClassName", nullptr)).empty());
  EXPECT_TRUE(p.GetInstance(CIMObjectPath(String("SM_LogicalDisk"))).empty());
  EXPECT_TRUE(p.Completed());

  // A disk's path asked of the disk provider; a disk's path asked of another.
  Storage disks("SMDiskDriveProvider");
  const auto diskNames = disks.Names("SM_DiskDrive");
  ASSERT_EQ(diskNames.size(), 4u);
  EXPECT_EQ(disks.GetInstance(diskNames[2]).size(), 1u);
  Storage cdrom("SMCDROMDriveProvider");
  EXPECT_TRUE(cdrom.GetInstance(diskNames[2]).empty());
}

TEST(StorageLinux24, EachScanRunsFdiskAndDfOnceWithArgumentsAndTheCLocale) {
  TempRoot root;
  namespace fs = std::filesystem;
  const fs::path tree = Fixture("linux24");
  for (const char* dir : {"proc", "var", "etc"})
    fs::create_directory_symlink(tree / dir, root / dir);
  // Recording stand-ins: each call appends its locale and arguments beside itself.
  for (const char* tool : {"/sbin/fdisk", "/bin/df"}) {
    const fs::path file =
        root.Write(tool, "#!/bin/sh\necho \"$LC_ALL $*\" >> \"$0.calls\"\nexec " +
                             (tree / fs::path(tool).relative_path()).string() + "\n");
    fs::permissions(file, fs::perms::owner_all);
  }
  Storage p("SMDiskDriveProvider");
  EXPECT_EQ(p.Instances("SM_DiskDrive").size(), 4u);
  EXPECT_EQ(p.Instances("SM_DiskDrive").size(), 4u);
  EXPECT_EQ(root.Read("/sbin/fdisk.calls"), "C -l\nC -l\n");
  EXPECT_EQ(root.Read("/bin/df.calls"), "C -k -l -P\nC -k -l -P\n");
}

/// A small 2.4-era tree of one IDE disk and the given partitions, df and mtab.
void SmallLinux24(const TempRoot& root, const std::string& partitions, const std::string& df,
                  const std::string& mtab) {
  root.Write("/proc/ide/hda/media", "disk\n");
  root.Write("/proc/ide/hda/model", "QUANTUM FIREBALLlct20 20\n");
  root.Write("/proc/ide/hda/capacity", "39876480\n");
  root.Write("/proc/ide/hdb/media", "disk\n");
  root.Write("/proc/ide/hdb/model", "ST340016A\n");
  root.Write("/proc/partitions", partitions);
  root.Write("/etc/mtab", mtab);
  const auto file = root.Write("/bin/df", "#!/bin/sh\ncat <<'EOF'\n" + df + "EOF\n");
  std::filesystem::permissions(file, std::filesystem::perms::owner_all);
}

TEST(StorageLinux24, DevicesAreMatchedByTheirWholeNames) {
  TempRoot root;
  SmallLinux24(root,
               "   3     0   19938240 hda\n"
               "   3     1     104391 hda1\n"
               "   3     2     104391 hda2\n"
               "   3     3     104391 hda3\n"
               "   3     4     104391 hda4\n"
               "   3     5     104391 hda5\n"
               "   3     6     104391 hda6\n"
               "   3     7     104391 hda7\n"
               "   3     8     104391 hda8\n"
               "   3     9     104391 hda9\n"
               "   3    10     104391 hda10\n"
               "   3    64   39082680 hdb\n",
               "/dev/hda10      101089     15541     80329  17% /home\n",
               "/dev/hda10 /home ext3 rw 0 0\nfileserver:/export /mnt/hdb-backup nfs rw 0 0\n");
  const auto logical = Enumerate("SMLogicalDiskProvider", "SM_LogicalDisk");
  ASSERT_EQ(logical.size(), 10u);
  // The df line of /dev/hda10 is hda10's, not hda1's.
  EXPECT_EQ(logical[0], Logical("hda1", "", {}, 104391ull * 1024));
  EXPECT_EQ(logical[9], Logical("hda10", "", 80329ull * 1024, 104391ull * 1024));
  const auto disks = Enumerate("SMDiskDriveProvider", "SM_DiskDrive");
  ASSERT_EQ(disks.size(), 2u);
  EXPECT_EQ(disks[0][10], "MediaLoaded:boolean=TRUE");
  EXPECT_EQ(disks[0][15], "Partitions:uint32=10");
  // A network mount whose mount point mentions hdb does not load hdb.
  EXPECT_EQ(disks[1][10], "MediaLoaded:boolean=FALSE");
  EXPECT_EQ(disks[1][15], "Partitions:uint32=0");
}

TEST(StorageLinux24, FreeSpaceIsTheAvailableColumnNotAPercentageOfTheSize) {
  TempRoot root;
  // Reserved blocks make Available smaller than Size minus Used.
  SmallLinux24(root, "   3     0   19938240 hda\n   3     1   19938208 hda1\n",
               "/dev/hda1      19625044  9812522  8815458  53% /\n", "/dev/hda1 / ext3 rw 0 0\n");
  const auto logical = Enumerate("SMLogicalDiskProvider", "SM_LogicalDisk");
  ASSERT_EQ(logical.size(), 1u);
  EXPECT_EQ(logical[0], Logical("hda1", "", 8815458ull * 1024, 19938208ull * 1024));
}

TEST(StorageLinux24, MissingToolsAndFilesLeaveTheirFieldsEmpty) {
  TempRoot root;
  root.Write("/proc/ide/hda/media", "disk\n");
  root.Write("/proc/ide/hdc/media", "cdrom\n");
  root.Write("/proc/ide/hdd/media", "tape\n");
  root.Write("/var/log/dmesg", "Attached scsi disk sda at scsi0, channel 0, id 0, lun 0\n");
  const auto disks = Enumerate("SMDiskDriveProvider", "SM_DiskDrive");
  ASSERT_EQ(disks.size(), 2u);
  EXPECT_EQ(disks[0],
            Disk("/dev/hda", "IDE", "", "", false, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_EQ(disks[1],
            Disk("/dev/sda", "SCSI", "", "", false, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0));
  const auto cdroms = Enumerate("SMCDROMDriveProvider", "SM_CDROMDrive");
  ASSERT_EQ(cdroms.size(), 1u);
  EXPECT_EQ(cdroms[0][8], "MediaType:string=CD-ROM");
  EXPECT_EQ(cdroms[0][14], "Size:uint64=0");
  EXPECT_TRUE(Enumerate("SMLogicalDiskProvider", "SM_LogicalDisk").empty());
}

// --- life cycle and concurrency ------------------------------------------------------

TEST(StorageCollector, ConcurrentRequestsEachSeeOneWholeScan) {
  Linux24Root root(false);
  const std::vector<Lines> disks = Linux24Disks(true);
  const std::vector<Lines> logical = Linux24LogicalDisks(true);
  // Provider objects live as long as the server runs; requests come on many threads.
  Storage diskProvider("SMDiskDriveProvider");
  Storage logicalProvider("SMLogicalDiskProvider");
  const auto flatten = [](const std::vector<CIMInstance>& instances) {
    std::vector<Lines> out;
    for (const CIMInstance& i : instances) out.push_back(Describe(i));
    return out;
  };
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 6; ++i) {
        // Each thread its own handler: the drivers' are not shared.
        Storage& p = t % 2 == 0 ? diskProvider : logicalProvider;
        SimpleInstanceResponseHandler handler;
        p.Get()->enumerateInstances(
            p.Context(), CIMObjectPath(String(t % 2 == 0 ? "SM_DiskDrive" : "SM_LogicalDisk")),
            false, false, CIMPropertyList(), handler);
        const auto& got = handler.getObjects();
        const std::vector<Lines> flat = flatten({got.getData(), got.getData() + got.size()});
        if (flat != (t % 2 == 0 ? disks : logical)) ++wrong;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(StorageCollector, HostNameIsTheCanonicalNameFromAnyThread) {
  // hostname -f asks the resolver for the canonical name of gethostname's answer.
  const auto fqdn = mgmt::test::RunProgram({"hostname", "-f"});
  const auto plain = mgmt::test::RunProgram({"hostname"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  // A canonical name beyond the 63 characters kept is not cut: the short one stays.
  const bool useFqdn = fqdn.status == 0 && fqdn.out.size() <= 64;
  const std::string expected = useFqdn ? fqdn.out : plain.out;
  std::vector<std::string> names(4);
  std::vector<std::thread> threads;
  for (std::string& name : names) {
    threads.emplace_back([&name] {
      String found;
      if (getUtilGetHostName(found)) name = Text(found);
    });
  }
  for (auto& t : threads) t.join();
  for (const std::string& name : names) EXPECT_EQ(name + "\n", expected);
}

TEST(StorageCollector, TerminateEmptiesTheArraysAndTheIdleThreadBodyEnds) {
  Linux24Root root(false);
  {
    Storage p("SMDiskDriveProvider");
    EXPECT_EQ(p.Instances("SM_DiskDrive").size(), 4u);
    EXPECT_EQ(StorageData::GetAllStorageDatas(kStorageDiskDrive).size(), 4u);
    EXPECT_EQ(StorageData::GetAllStorageDatas(kStorageLogicalDisk).size(), 10u);
  }
  EXPECT_EQ(StorageData::GetAllStorageDatas(kStorageDiskDrive).size(), 0u);
  EXPECT_EQ(StorageData::GetAllStorageDatas(kStorageLogicalDisk).size(), 0u);
  EXPECT_EQ(StorageData::GetAllStorageDatas(6).size(), 0u);

  storage_thread_running = 0;
  storage_thread_exit = 0;
  EXPECT_EQ(runStorInv(nullptr), nullptr);
  EXPECT_EQ(storage_thread_exit.load(), 1);
}

}  // namespace
