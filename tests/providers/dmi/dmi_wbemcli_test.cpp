// End to end: cimserver loads libDmiInventoryProvider.so on a fixture root (the
// firmware tables of a shared machine and a /proc/bus) and wbemcli reads the nine
// classes over CIM-XML.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dmi_test_util.h"
#include "smbiosfixture.h"
#include "support/cim_server.h"
#include "support/temp_dir.h"
#include "support/wbemcli.h"

namespace {

using mgmt::test::NonEmptyLines;
using mgmt::test::ParseWbemcliInstances;
using mgmt::test::RunResult;
using mgmt::test::Wbemcli;

// Six base boards, 32 memory devices, SMBIOS 2.4.
constexpr const char* kTable = "10-ibm-x3950-m2";

// One server for the suite: the machine's tables, a /proc/bus and the server.
std::unique_ptr<mgmt::test::TempDir> fixture;
std::unique_ptr<mgmt::test::CimServer> server;
std::string decoded;

class DmiWbemcli : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!mgmt::test::SmbiosDataAvailable()) return;
    fixture = std::make_unique<mgmt::test::TempDir>("dmi-wbemcli");
    const auto dump = mgmt::test::LoadSmbiosDump(kTable);
    mgmt::test::WriteFirmwareTables(fixture->Path(), dump.entryPoint, dump.table);
    for (const char* dir : {"pci/00", "pci/3a", "usb/001"}) {
      fixture->Write(std::string("proc/bus/") + dir + "/.keep", "");
    }
    mgmt::test::CimServerOptions options;
    options.registrations = {mgmt::test::SourcePath("mof/registrations/DmiInventory.reg")};
    options.modules = {DMI_MODULE_PATH};
    options.links = {{"sys", fixture->Path() / "sys"}, {"proc", fixture->Path() / "proc"}};
    server = std::make_unique<mgmt::test::CimServer>(options);
    decoded = dump.dmidecodeText;
  }
  static void TearDownTestSuite() {
    server.reset();
    fixture.reset();
  }
  void SetUp() override { MGMT_REQUIRE_SMBIOS_DATA(); }
  static std::string Target(const std::string& what) { return server->Target(what); }
};

TEST_F(DmiWbemcli, EveryClassEnumerates) {
  std::size_t populated = 0;
  for (const auto& r : dmitest::DmidecodeRecords(decoded, 4)) {
    populated += r.Field("Status").starts_with("Populated");
  }
  const std::map<std::string, std::size_t> counts = {
      {"SM_BIOSElement", 1},
      {"SM_Processor", populated},
      {"SM_PhysicalMemory", dmitest::DmidecodeRecords(decoded, 17).size()},
      {"SM_PortConnector", dmitest::DmidecodeRecords(decoded, 8).size()},
      {"SM_SystemSlot", dmitest::DmidecodeRecords(decoded, 9).size()},
      {"SM_Bus", 3},
      {"SM_ComputerSystemProduct", 1},
      {"SM_BaseBoard", 6},
      {"SM_Chassis", 1}};
  for (const auto& [cls, count] : counts) {
    const RunResult ei = Wbemcli({"-nl", "ei", Target(cls)});
    EXPECT_EQ(ei.status, 0) << cls << ": " << ei.err;
    EXPECT_EQ(ParseWbemcliInstances(ei.out).size(), count) << cls << "\n" << ei.out;
    const RunResult ein = Wbemcli({"ein", Target(cls)});
    EXPECT_EQ(NonEmptyLines(ein.out).size(), count) << cls << "\n" << ein.out;
  }
  // The physical elements reach a client asking for the CIM superclass too.
  const RunResult physical = Wbemcli({"ein", Target("CIM_PhysicalElement")});
  EXPECT_EQ(NonEmptyLines(physical.out).size(),
            counts.at("SM_PhysicalMemory") + counts.at("SM_PortConnector") +
                counts.at("SM_SystemSlot") + counts.at("SM_BaseBoard") + counts.at("SM_Chassis"));
}

TEST_F(DmiWbemcli, KeyedPathsReachOneInstance) {
  const RunResult board = Wbemcli(
      {"-nl", "gi", Target(R"(SM_BaseBoard.CreationClassName="SM_BaseBoard",Tag="Base Board 3")")});
  ASSERT_EQ(board.status, 0) << board.err;
  const auto got = ParseWbemcliInstances(board.out);
  ASSERT_EQ(got.size(), 1u) << board.out;
  EXPECT_EQ(got[0].properties.at("Tag"), "\"Base Board 3\"");

  // Every path an enumeration names leads back to its instance, numeric keys too.
  for (const char* cls : {"SM_BIOSElement", "SM_Processor", "SM_ComputerSystemProduct", "SM_Bus"}) {
    const RunResult names = Wbemcli({"ein", Target(cls)});
    ASSERT_FALSE(NonEmptyLines(names.out).empty()) << cls;
    const std::string path = NonEmptyLines(names.out)[0];
    const std::string local = path.substr(path.find("/root/cimv2:") + 12);
    const RunResult one = Wbemcli({"gi", Target(local)});
    EXPECT_EQ(one.status, 0) << local << ": " << one.err;
  }
}

TEST_F(DmiWbemcli, UnknownPathAndWritesAreRefused) {
  const std::string nowhere = R"(SM_Chassis.CreationClassName="SM_Chassis",Tag="nowhere")";
  const RunResult missing = Wbemcli({"gi", Target(nowhere)});
  EXPECT_NE(missing.status, 0);
  EXPECT_NE(missing.err.find("CIM_ERR_NOT_FOUND"), std::string::npos) << missing.err;

  const std::string board = R"(SM_BaseBoard.CreationClassName="SM_BaseBoard",Tag="Base Board")";
  const RunResult removed = Wbemcli({"di", Target(board)});
  EXPECT_NE(removed.err.find("CIM_ERR_NOT_SUPPORTED"), std::string::npos) << removed.err;
  const RunResult modified = Wbemcli({"mi", Target(board), "Model=other"});
  EXPECT_NE(modified.err.find("CIM_ERR_NOT_SUPPORTED"), std::string::npos) << modified.err;
  const RunResult still = Wbemcli({"gi", Target(board)});
  EXPECT_EQ(still.status, 0) << still.err;
}

}  // namespace
