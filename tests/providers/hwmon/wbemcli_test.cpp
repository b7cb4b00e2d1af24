// End to end: cimserver loads the hardware-monitor module, which loads
// libPnpSensors, and wbemcli asks for the three sensor classes over CIM-XML, on a
// root whose kernel exports a real firmware table and on this machine itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "smbiosfixture.h"
#include "support/cim_server.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/wbemcli.h"

namespace mgmt::test {
namespace {

constexpr const char* kClasses[] = {"HM_VoltageSensor", "HM_Tachometer", "HM_TemperatureSensor"};

CimServerOptions SensorServerOptions() {
  CimServerOptions options;
  options.registrations = {SourcePath("mof/registrations/HardwareMonitor.reg")};
  options.modules = {HWMON_MODULE_PATH};
  return options;
}

// The part of an instance path wbemcli takes after the URL: "Class.Key=...".
std::string Target(const CimServer& server, const std::string& path) {
  return server.Target(path.substr(path.find("root/cimv2:") + 11));
}

TEST(HardwareMonitorWbemcli, ServesARealTablesSensors) {
  MGMT_REQUIRE_SMBIOS_DATA();
  const TempDir firmware("hwmon-firmware");
  const SmbiosDump dump = LoadSmbiosDump("07-dell-poweredge-1300");
  WriteFirmwareTables(firmware.Path(), dump.entryPoint, dump.table);
  CimServerOptions options = SensorServerOptions();
  options.links = {{"sys", firmware.Path() / "sys"}};
  CimServer server(options);

  const size_t counts[] = {6, 2, 4};
  for (size_t c = 0; c < 3; ++c) {
    SCOPED_TRACE(kClasses[c]);
    const RunResult ei = Wbemcli({"-nl", "ei", server.Target(kClasses[c])});
    ASSERT_EQ(ei.status, 0) << ei.err << server.Log();
    const auto instances = ParseWbemcliInstances(ei.out);
    EXPECT_EQ(instances.size(), counts[c]) << ei.out;
    const RunResult ein = Wbemcli({"ein", server.Target(kClasses[c])});
    ASSERT_EQ(ein.status, 0) << ein.err;
    const auto names = NonEmptyLines(ein.out);
    ASSERT_EQ(names.size(), counts[c]) << ein.out;
    for (const std::string& name : names) {
      const RunResult gi = Wbemcli({"-nl", "gi", Target(server, name)});
      EXPECT_EQ(gi.status, 0) << name << ": " << gi.err;
      const auto got = ParseWbemcliInstances(gi.out);
      ASSERT_EQ(got.size(), 1u) << gi.out;
      EXPECT_EQ(got[0].properties.at("CreationClassName"), "\"" + std::string(kClasses[c]) + "\"");
    }
  }

  const RunResult first = Wbemcli({"-nl", "ei", server.Target("HM_VoltageSensor")});
  const auto voltages = ParseWbemcliInstances(first.out);
  ASSERT_FALSE(voltages.empty());
  const auto& v = voltages[0].properties;
  EXPECT_EQ(v.at("DeviceID"), "\"6656\"");
  EXPECT_EQ(v.at("Description"), "\"3.3V Voltage\"");
  EXPECT_EQ(v.at("Caption"), "\"Voltage Probe on Motherboard\"");
  EXPECT_EQ(v.at("Status"), "\"OK\"");
  EXPECT_EQ(v.at("MaxReadable"), "4080");
  EXPECT_EQ(v.at("Resolution"), "160");
  EXPECT_EQ(v.at("UnitModifier"), "-3");
  EXPECT_EQ(v.count("NominalReading"), 0u) << "a 20-byte probe has no nominal value";

  const auto fans =
      ParseWbemcliInstances(Wbemcli({"-nl", "ei", server.Target("HM_Tachometer")}).out);
  ASSERT_EQ(fans.size(), 2u);
  EXPECT_EQ(fans[0].properties.at("Caption"), "\"Fan\"");
  EXPECT_EQ(fans[0].properties.at("BaseUnits"), "38");

  // The CIM superclass finds the sensors of all three classes.
  const RunResult numeric = Wbemcli({"ein", server.Target("CIM_NumericSensor")});
  EXPECT_EQ(NonEmptyLines(numeric.out).size(), 12u) << numeric.out << numeric.err;

  std::string unknown = NonEmptyLines(Wbemcli({"ein", server.Target("HM_Tachometer")}).out)[0];
  unknown.replace(unknown.find("DeviceID=\"") + 10, 4, "1");
  const RunResult missing = Wbemcli({"gi", Target(server, unknown)});
  EXPECT_NE(missing.status, 0);
  EXPECT_NE(missing.err.find("CIM_ERR_NOT_FOUND"), std::string::npos) << missing.err;

  const RunResult removed = Wbemcli({"di", Target(server, unknown)});
  EXPECT_NE(removed.status, 0);
  EXPECT_NE(removed.err.find("CIM_ERR_NOT_SUPPORTED"), std::string::npos) << removed.err;
}

// Counts of sensors dmidecode finds on this machine: none without readable
// firmware tables (this machine has none; a CI machine with tables has what
// they hold).
std::vector<size_t> ThisMachinesSensors() {
  if (!std::filesystem::exists("/sys/firmware/dmi/tables/DMI")) return {0, 0, 0};
  const RunResult r = RunProgram({"dmidecode", "-q", "-t", "26,27,28"});
  if (!r.Ok()) return {0, 0, 0};
  std::vector<size_t> counts(3, 0);
  for (const std::string& line : NonEmptyLines(r.out)) {
    if (line == "Voltage Probe") ++counts[0];
    if (line == "Temperature Probe") ++counts[2];
    for (const char* fan : {"Fan", "Chip Fan", "Cabinet Fan", "Power Supply Fan"}) {
      if (line == std::string("\tType: ") + fan) ++counts[1];
    }
  }
  return counts;
}

TEST(HardwareMonitorWbemcli, ThisMachinesOwnSensors) {
  CimServerOptions options = SensorServerOptions();
  options.serveFromRoot = false;
  CimServer server(options);
  const std::vector<size_t> expected = ThisMachinesSensors();
  for (size_t c = 0; c < 3; ++c) {
    const RunResult ei = Wbemcli({"-nl", "ei", server.Target(kClasses[c])});
    EXPECT_EQ(ei.status, 0) << kClasses[c] << ": " << ei.err << server.Log();
    EXPECT_EQ(ParseWbemcliInstances(ei.out).size(), expected[c]) << kClasses[c] << ei.out;
  }
}

}  // namespace
}  // namespace mgmt::test
