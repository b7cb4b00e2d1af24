// End to end: cimserver loads libStorInvProvider.so and wbemcli asks it over
// CIM-XML, on both fixture roots and on this machine's own disks, compared with
// what lsblk and df report.
#include <Pegasus/Client/CIMClient.h>
#include <Pegasus/Common/Exception.h>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "support/cim_server.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/wbemcli.h"

namespace {

using mgmt::test::CimServer;
using mgmt::test::KeyValue;
using mgmt::test::NonEmptyLines;
using mgmt::test::ParseWbemcliInstances;
using mgmt::test::RunResult;
using mgmt::test::SourcePath;
using mgmt::test::Wbemcli;
using mgmt::test::WbemInstance;

constexpr const char* kClasses[] = {"SM_DiskDrive", "SM_CDROMDrive", "SM_DVDDrive",
                                    "SM_FloppyDrive", "SM_LogicalDisk"};

std::string Fixture(const std::string& name) {
  return SourcePath("tests/providers/storage/fixtures/" + name).string();
}

/// A cimserver with every class, the storage registrations and module, over a
/// root made of `links`, or over the machine's own root when there are none.
std::unique_ptr<CimServer> StorageServer(
    const std::vector<std::pair<std::string, std::filesystem::path>>& links) {
  mgmt::test::CimServerOptions options;
  options.registrations = {SourcePath("mof/registrations/StorInvProvider.reg")};
  options.modules = {STORAGE_MODULE_PATH};
  options.links = links;
  options.serveFromRoot = !links.empty();
  return std::make_unique<CimServer>(options);
}

std::unique_ptr<CimServer> Linux24Server() {
  const std::string tree = Fixture("linux24");
  return StorageServer({{"proc", tree + "/proc"},
                        {"var", tree + "/var"},
                        {"etc", tree + "/etc"},
                        {"sbin", tree + "/sbin"},
                        {"bin", tree + "/bin"}});
}

/// A string property's value without wbemcli's quotes.
std::string Unquoted(const std::string& value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::string Prop(const WbemInstance& i, const std::string& name) {
  const auto it = i.properties.find(name);
  return it == i.properties.end() ? std::string("<absent>") : Unquoted(it->second);
}

std::vector<WbemInstance> Instances(const CimServer& server, const std::string& cls) {
  const RunResult ei = Wbemcli({"-nl", "ei", server.Target(cls)});
  EXPECT_EQ(ei.status, 0) << cls << ": " << ei.err;
  return ParseWbemcliInstances(ei.out);
}

/// `wbemcli` target text of an instance path: the path as ein prints it
/// (host:port/namespace:Class.keys), after the namespace.
std::string KeysOf(const std::string& einLine) {
  return einLine.substr(einLine.find(':', einLine.find('/')) + 1);
}

/// A keyed path of `cls` on no real device (for refusals of empty classes).
std::string MadeUpPath(const std::string& cls, const std::string& system) {
  return cls + ".CreationClassName=\"" + cls + "\",DeviceID=\"/dev/none0\"," +
         "SystemCreationClassName=\"CIM_ComputerSystem\",SystemName=\"" + system + "\"";
}

void ExpectRefused(const RunResult& r, const std::string& message) {
  EXPECT_NE(r.status, 0) << message;
  EXPECT_NE(r.err.find("CIM_ERR_NOT_SUPPORTED: " + message), std::string::npos) << r.err;
}

// --- the 2.4-era fixture ----------------------------------------------------------

TEST(StorageWbemcli, Linux24AnswersEveryOperation) {
  const auto server = Linux24Server();
  const std::map<std::string, std::size_t> counts = {{"SM_DiskDrive", 4},
                                                     {"SM_CDROMDrive", 1},
                                                     {"SM_DVDDrive", 0},
                                                     {"SM_FloppyDrive", 0},
                                                     {"SM_LogicalDisk", 10}};
  std::map<std::string, std::vector<std::string>> names;
  for (const char* cls : kClasses) {
    EXPECT_EQ(Instances(*server, cls).size(), counts.at(cls)) << cls;
    const RunResult ein = Wbemcli({"ein", server->Target(cls)});
    EXPECT_EQ(ein.status, 0) << cls << ": " << ein.err;
    names[cls] = NonEmptyLines(ein.out);
    EXPECT_EQ(names[cls].size(), counts.at(cls)) << ein.out;
  }
  // Deep enumeration of a CIM superclass reaches the disks and the CD-ROM drive.
  const RunResult media = Wbemcli({"ein", server->Target("CIM_MediaAccessDevice")});
  EXPECT_EQ(NonEmptyLines(media.out).size(), 5u) << media.err;

  const auto disks = Instances(*server, "SM_DiskDrive");
  ASSERT_EQ(disks.size(), 4u);
  EXPECT_EQ(Prop(disks[0], "Manufacturer"), "WDC ");
  EXPECT_EQ(Prop(disks[0], "Model"), " WD800JB-00JJC0");
  EXPECT_EQ(Prop(disks[0], "TotalSectors"), "156296385");
  EXPECT_EQ(Prop(disks[3], "Model"), "ST336607LC    FN");
  EXPECT_EQ(Prop(disks[3], "SCSIBus"), "1");
  EXPECT_EQ(Prop(disks[3], "Size"), "36703934464");
  const auto logical = Instances(*server, "SM_LogicalDisk");
  ASSERT_EQ(logical.size(), 10u);
  EXPECT_EQ(Prop(logical[3], "DeviceID"), "hda5");
  EXPECT_EQ(Prop(logical[3], "FreeSpace"), std::to_string(14418488ull * 1024));
  EXPECT_EQ(Prop(logical[1], "FreeSpace"), "<absent>");  // swap: never mounted
  EXPECT_EQ(Prop(logical[4], "FileSystem"), "Win95 FAT32 (LBA)");

  // GetInstance on a keyed path as ein printed it, and on one of no device.
  const std::string sda = names["SM_DiskDrive"][2];
  EXPECT_EQ(KeyValue(sda, "DeviceID"), "/dev/sda");
  const std::string system = KeyValue(sda, "SystemName");
  EXPECT_FALSE(system.empty());
  const auto got = ParseWbemcliInstances(Wbemcli({"-nl", "gi", server->Target(KeysOf(sda))}).out);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(Prop(got[0], "Model"), "ST318406LC");
  EXPECT_EQ(Prop(got[0], "SCSITargetId"), "1");
  const RunResult unknown = Wbemcli({"gi", server->Target(MadeUpPath("SM_DiskDrive", system))});
  EXPECT_NE(unknown.status, 0);
  EXPECT_NE(unknown.err.find("CIM_ERR_NOT_FOUND"), std::string::npos) << unknown.err;

  // The fifteen refusals: delete and create through wbemcli for every class,
  // modify through wbemcli where an instance exists to be read first (wbemcli
  // reads before it writes) and through a CIM client for the two empty classes.
  int refused = 0;
  for (const char* c : kClasses) {
    const std::string cls = c;
    const std::string path = names[cls].empty() ? MadeUpPath(cls, system) : KeysOf(names[cls][0]);
    ExpectRefused(Wbemcli({"di", server->Target(path)}), cls + "::deleteInstance");
    ExpectRefused(
        Wbemcli({"ci", server->Target(MadeUpPath(cls, system)), "DeviceID=\"/dev/none0\""}),
        cls + "::createInstance");
    refused += 2;
    if (!names[cls].empty()) {
      ExpectRefused(Wbemcli({"mi", server->Target(path), "Caption=\"changed\""}),
                    cls + "::modifyInstance");
      ++refused;
      continue;
    }
    Pegasus::CIMClient client;
    client.connect("127.0.0.1", server->Port(), "", "");
    Pegasus::CIMInstance changed{Pegasus::CIMName(c)};
    changed.addProperty(Pegasus::CIMProperty(Pegasus::CIMName("DeviceID"),
                                             Pegasus::CIMValue(Pegasus::String("/dev/none0"))));
    changed.setPath(Pegasus::CIMObjectPath(Pegasus::String(MadeUpPath(cls, system).c_str())));
    try {
      client.modifyInstance(Pegasus::CIMNamespaceName("root/cimv2"), changed);
      ADD_FAILURE() << cls << " modified";
    } catch (const Pegasus::CIMException& e) {
      EXPECT_EQ(e.getCode(), Pegasus::CIM_ERR_NOT_SUPPORTED);
      EXPECT_EQ(std::string(e.getMessage().getCString()), cls + "::modifyInstance");
      ++refused;
    }
  }
  EXPECT_EQ(refused, 15);
}

// --- the /sys/block fixture -------------------------------------------------------

TEST(StorageWbemcli, CurrentFixtureServesNvmeSataSasVirtioAndMmc) {
  const std::string tree = Fixture("current");
  const auto server = StorageServer({{"sys", tree + "/sys"},
                                     {"proc", tree + "/proc"},
                                     {"dev", tree + "/dev"},
                                     {"sbin", tree + "/sbin"}});
  std::vector<std::string> disks;
  for (const auto& i : Instances(*server, "SM_DiskDrive")) {
    disks.push_back(Prop(i, "DeviceID") + " " + Prop(i, "InterfaceType") + " " + Prop(i, "Model") +
                    " " + Prop(i, "Size"));
  }
  EXPECT_EQ(disks, (std::vector<std::string>{
                       "/dev/mmcblk0 MMC SC32G 31914983424",
                       "/dev/nvme0n1 NVMe Samsung SSD 970 EVO Plus 1TB 1000204886016",
                       "/dev/sda SCSI Samsung SSD 860 500107862016",
                       "/dev/sdaa SCSI ST4000NM0023 4000787030016",
                       "/dev/vda VirtIO  21474836480",
                   }));
  const auto cdroms = Instances(*server, "SM_CDROMDrive");
  ASSERT_EQ(cdroms.size(), 1u);
  EXPECT_EQ(Prop(cdroms[0], "DeviceID"), "/dev/sr0");
  // Free space is known where the mount point exists in the root: only "/".
  std::vector<std::string> logical;
  for (const auto& i : Instances(*server, "SM_LogicalDisk")) {
    logical.push_back(Prop(i, "DeviceID") + " " + Prop(i, "FileSystem") +
                      (Prop(i, "FreeSpace") == "<absent>" ? "" : " (free space)"));
  }
  EXPECT_EQ(logical, (std::vector<std::string>{"mmcblk0p1 W95 FAT32 (LBA)", "nvme0n1p1 EFI System",
                                               "nvme0n1p2 Linux filesystem (free space)",
                                               "sda1 W95 FAT32 (LBA)", "sda2 Linux",
                                               "sdaa1 Linux filesystem", "vda "}));
  EXPECT_TRUE(Instances(*server, "SM_DVDDrive").empty());
}

// --- this machine -------------------------------------------------------------------

/// What lsblk says of one drive.
struct LsblkDrive {
  std::uint64_t size = 0;
  std::uint64_t sectorSize = 0;
  std::vector<std::string> partitions;
  bool mounted = false;
};

std::string JsonText(const nlohmann::json& v) { return v.is_string() ? v.get<std::string>() : ""; }

TEST(StorageWbemcli, ThisMachineMatchesLsblkAndDf) {
  const RunResult lsblk =
      mgmt::test::RunProgram({"lsblk", "-b", "-J", "-o", "NAME,TYPE,SIZE,LOG-SEC,MOUNTPOINT"});
  ASSERT_EQ(lsblk.status, 0) << lsblk.err;
  const auto server = StorageServer({});
  const RunResult df = mgmt::test::RunProgram({"df", "-B1", "-l", "-P"});
  ASSERT_EQ(df.status, 0) << df.err;

  // lsblk's disks but the RAM-backed ones, its optical drives and partitions.
  std::map<std::string, LsblkDrive> disks;
  std::map<std::string, std::uint64_t> roms;
  const nlohmann::json tree = nlohmann::json::parse(lsblk.out);
  for (const auto& d : tree.at("blockdevices")) {
    const std::string name = JsonText(d.at("name"));
    const std::string type = JsonText(d.at("type"));
    if (type == "rom") roms[name] = d.at("size").get<std::uint64_t>();
    if (type != "disk" || name.rfind("zram", 0) == 0 || name.rfind("ram", 0) == 0) continue;
    LsblkDrive& drive = disks[name];
    drive.size = d.at("size").get<std::uint64_t>();
    drive.sectorSize = d.at("log-sec").get<std::uint64_t>();
    drive.mounted = d.at("mountpoint").is_string();
    if (d.contains("children")) {
      for (const auto& c : d.at("children")) {
        if (JsonText(c.at("type")) == "part") drive.partitions.push_back(JsonText(c.at("name")));
      }
    }
  }
  ASSERT_FALSE(disks.empty()) << lsblk.out;

  std::map<std::string, LsblkDrive> published;
  for (const auto& i : Instances(*server, "SM_DiskDrive")) {
    const std::string id = Prop(i, "DeviceID");
    ASSERT_EQ(id.rfind("/dev/", 0), 0u) << id;
    LsblkDrive& drive = published[id.substr(5)];
    drive.size = std::stoull(Prop(i, "Size"));
    drive.sectorSize = std::stoull(Prop(i, "BytesPerSector"));
    drive.partitions.resize(std::stoul(Prop(i, "Partitions")));
  }
  std::set<std::string> logicalExpected;
  for (auto& [name, drive] : disks) {
    ASSERT_EQ(published.count(name), 1u) << name << " not published";
    EXPECT_EQ(published[name].size, drive.size) << name;
    EXPECT_EQ(published[name].sectorSize, drive.sectorSize) << name;
    EXPECT_EQ(published[name].partitions.size(), drive.partitions.size()) << name;
    logicalExpected.insert(drive.partitions.begin(), drive.partitions.end());
    if (drive.partitions.empty() && drive.mounted) logicalExpected.insert(name);
  }
  EXPECT_EQ(published.size(), disks.size());

  std::map<std::string, std::uint64_t> publishedRoms;
  for (const auto& i : Instances(*server, "SM_CDROMDrive")) {
    publishedRoms[Prop(i, "DeviceID").substr(5)] = std::stoull(Prop(i, "Size")) * 1024;
  }
  EXPECT_EQ(publishedRoms, roms);

  // Free space: df's Available column of the same device, within 1 %.
  std::map<std::string, std::uint64_t> available;
  for (const std::string& line : NonEmptyLines(df.out)) {
    std::istringstream fields(line);
    std::string device, blocks, used, avail;
    fields >> device >> blocks >> used >> avail;
    if (device.rfind("/dev/", 0) == 0) available.emplace(device.substr(5), std::stoull(avail));
  }
  std::set<std::string> logical;
  for (const auto& i : Instances(*server, "SM_LogicalDisk")) {
    const std::string name = Prop(i, "DeviceID");
    logical.insert(name);
    const std::string free = Prop(i, "FreeSpace");
    const auto it = available.find(name);
    if (it == available.end()) {
      EXPECT_EQ(free, "<absent>") << name << " is not mounted";
      continue;
    }
    ASSERT_NE(free, "<absent>") << name << " is mounted";
    const double ours = std::stod(free);
    const double theirs = static_cast<double>(it->second);
    std::printf("%s: FreeSpace %s, df Available %llu\n", name.c_str(), free.c_str(),
                static_cast<unsigned long long>(it->second));
    EXPECT_LE(std::fabs(ours - theirs), 0.01 * theirs + 1) << name;
  }
  EXPECT_EQ(logical, logicalExpected);
}

}  // namespace
