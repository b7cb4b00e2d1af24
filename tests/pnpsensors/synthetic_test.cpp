// The sensor library on synthetic firmware tables served by the emulated
// /dev/hmpdrv and /dev/smbdrv: fan names by machine model, which structures
// count as sensors, fields at the edge of a structure's formatted area, captions
// and states, string numbers, a handle chain that starts in the middle of the
// table, and lookups by path.
#include <gtest/gtest.h>

#include <Pegasus/Common/CIMObjectPath.h>

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pnpbiossensor.h"
#include "pnpoemfan.h"
#include "sensor_test_util.h"

namespace mgmt::test {
namespace {

using Pegasus::CIMObjectPath;

TEST_F(SensorLibraryTest, FansAreNamedByTheMachineModel) {
  struct Case {
    const char* product;
    std::vector<std::pair<uint32_t, std::optional<std::string>>> fans;
  };
  const Case cases[] = {
      {"Corvid Elm 4000", {{0x00000105, "System FAN 1"}, {0x00000001, "CPU 1 FAN"}}},
      {"Corvid Fir R2",
       {{0x13, "Front FAN 3"}, {0x52, "Power Supply FAN 2"}, {0x6A, "FAN 10"}, {0x07, "FAN 7"}}},
      {"Corvid Ash", {{0x00000102, "System FAN 1(Front FAN)"}}},
      {"CORVID BIRCH 2", {{0x03, "System FAN 2(Rear FAN)"}, {0x09, std::nullopt}}},
      // The key is the upper half of the 32-bit value read little-endian.
      {"Corvid Cedar", {{0x583A1234, "Front Fan"}, {0x58381234, "CPU 1 Fan"}, {0x12345678, {}}}},
      {"Acme Server", {{0x583A1234, "Fan"}}},
      {"Corvid", {{0x583A1234, "Fan"}}},  // shorter than every model's prefix
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.product);
    Bytes table = SystemStructure(0, c.product);
    uint16_t handle = 0x1B00;
    for (const auto& [oem, name] : c.fans) {
      table = Concat({table, CoolingStructure(handle++, {.oem = oem})});
    }
    table = Concat({table, EndStructure(0xFEFF)});
    const auto root = FirmwareRoot(table);
    Pegasus::g_poemParser = nullptr;
    ASSERT_NE(intializeHM(), nullptr);
    EXPECT_EQ(pnp::OemProductName(), c.product);

    const auto fans = InstancesById("HM_Tachometer");
    size_t named = 0;
    handle = 0x1B00;
    for (const auto& [oem, name] : c.fans) {
      const auto it = fans.find(std::to_string(handle++));
      if (!name) {
        EXPECT_EQ(it, fans.end()) << "a fan without a name is not published";
        continue;
      }
      ++named;
      ASSERT_NE(it, fans.end()) << *name;
      EXPECT_EQ(Value(it->second, "Caption"), *name);
      EXPECT_EQ(Value(it->second, "Description"), *name);
      EXPECT_EQ(Value(it->second, "Name"), *name);
    }
    EXPECT_EQ(fans.size(), named);
    uninitializeHM();
  }
}

TEST_F(SensorLibraryTest, OnlyFansAmongTheCoolingDevicesAreSensors) {
  Bytes table;
  // other, unknown, fan, centrifugal blower, chip fan, cabinet fan, power-supply
  // fan, heat pipe, active cooling; the status bits do not change the type.
  const uint8_t types[] = {1, 2, 3, 4, 5, 6, 7, 8, 16};
  uint16_t handle = 0x1B00;
  for (uint8_t type : types) {
    table = Concat({table, CoolingStructure(handle++, {.deviceType = type, .status = 7})});
  }
  const auto root = FirmwareRoot(Concat({table, EndStructure(0xFEFF)}));
  ASSERT_NE(intializeHM(), nullptr);
  EXPECT_EQ(Pegasus::g_nNumCoolingDevice, 4u);
  const auto fans = InstancesById("HM_Tachometer");
  std::vector<std::string> ids;
  for (const auto& [id, instance] : fans) ids.push_back(id);
  EXPECT_EQ(ids, (std::vector<std::string>{"6914", "6916", "6917", "6918"}));
}

TEST_F(SensorLibraryTest, FieldsAreReadOnlyInsideTheFormattedArea) {
  const auto voltage = [](uint16_t handle, uint8_t length) {
    return ProbeStructure(26, handle, {.accuracy = 100, .nominal = 3300, .length = length});
  };
  const Bytes table = Concat({
      voltage(0x1A00, 20),
      voltage(0x1A01, 21),
      voltage(0x1A02, 22),
      // Only description, location and status.
      ProbeStructure(28, 0x1C00, {.location = 3, .maximum = 1270, .length = 6}),
      CoolingStructure(0x1B00, {.nominalSpeed = 2500, .length = 12}),
      CoolingStructure(0x1B01, {.nominalSpeed = 2500, .length = 13}),
      CoolingStructure(0x1B02, {.nominalSpeed = 2500, .length = 14}),
      // The OEM value is not there: no model is chosen, so the fan is "Fan".
      CoolingStructure(0x1B03, {.nominalSpeed = 2500, .length = 9}),
      SystemStructure(0, "Acme", 0x10),
      EndStructure(0xFEFF),
  });
  const auto root = FirmwareRoot(table);
  ASSERT_NE(intializeHM(), nullptr);

  const auto volts = InstancesById("HM_VoltageSensor");
  ASSERT_EQ(volts.size(), 3u);
  for (const char* id : {"6656", "6657"}) {
    EXPECT_FALSE(Has(volts.at(id), "NominalReading")) << id;
    EXPECT_FALSE(Has(volts.at(id), "CurrentReading")) << id;
    EXPECT_EQ(Value(volts.at(id), "Accuracy"), "100") << id;
  }
  EXPECT_EQ(Value(volts.at("6658"), "NominalReading"), "3300");
  EXPECT_EQ(Value(volts.at("6658"), "CurrentReading"), "3300");

  const auto temps = InstancesById("HM_TemperatureSensor");
  ASSERT_EQ(temps.size(), 1u);
  const auto& shortProbe = temps.begin()->second;
  EXPECT_EQ(Value(shortProbe, "Caption"), "Temperature Sensor on Processor");
  for (const char* reading : {"MaxReadable", "MinReadable", "Resolution", "Tolerance", "Accuracy",
                              "NominalReading", "CurrentReading"}) {
    EXPECT_FALSE(Has(shortProbe, reading)) << reading;
  }

  const auto fans = InstancesById("HM_Tachometer");
  ASSERT_EQ(fans.size(), 4u);
  EXPECT_FALSE(Has(fans.at("6912"), "NominalReading"));
  EXPECT_FALSE(Has(fans.at("6913"), "NominalReading"));
  EXPECT_EQ(Value(fans.at("6914"), "NominalReading"), "2500");
  EXPECT_EQ(Value(fans.at("6914"), "CurrentReading"), "2500");
  EXPECT_EQ(Value(fans.at("6915"), "Caption"), "Fan");

  // A system information structure too short for the UUID leaves it zero.
  const uint8_t zero[16] = {};
  EXPECT_EQ(std::memcmp(Pegasus::siUUID, zero, sizeof zero), 0);
}

TEST_F(SensorLibraryTest, TheUuidComesFromASystemStructureLongEnoughForIt) {
  const auto root = FirmwareRoot(Concat({SystemStructure(0, "Acme", 0x19), EndStructure(1)}));
  ASSERT_NE(intializeHM(), nullptr);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(Pegasus::siUUID[i], 0x10 + i) << i;
}

TEST_F(SensorLibraryTest, CaptionsStatesAndUnknownValues) {
  const Bytes table = Concat({
      ProbeStructure(26, 0x1A00,
                     {.location = 12, .status = 3, .maximum = 0x8000, .minimum = 0xFF9C}),
      ProbeStructure(26, 0x1A01, {.location = 11, .status = 5, .resolution = 0xFFFF}),
      ProbeStructure(26, 0x1A02, {.location = 2, .status = 0}),
      ProbeStructure(28, 0x1C00, {.location = 12, .status = 4}),
      ProbeStructure(28, 0x1C01, {.location = 15, .status = 6}),
      ProbeStructure(28, 0x1C02, {.location = 16, .status = 7}),
      EndStructure(0xFEFF),
  });
  const auto root = FirmwareRoot(table);
  ASSERT_NE(intializeHM(), nullptr);
  const auto volts = InstancesById("HM_VoltageSensor");
  const auto temps = InstancesById("HM_TemperatureSensor");
  ASSERT_EQ(volts.size(), 3u);
  ASSERT_EQ(temps.size(), 3u);

  struct Expected {
    const Pegasus::CIMInstance& instance;
    const char* caption;
    const char* status;
    const char* state;
  };
  const Expected expected[] = {
      {volts.at("6656"), "Voltage Probe", "OK", "OK"},
      {volts.at("6657"), "Voltage Probe on Add-in Card", "Error", "Critical"},
      {volts.at("6658"), "Voltage Probe", "Error", ""},
      {temps.at("7168"), "Temperature Sensor on Front Panel Board", "Error", "Non-critical"},
      {temps.at("7169"), "Temperature Sensor on Drive Back Plane", "Error", "Non-recoverable"},
      {temps.at("7170"), "Temperature Sensor", "Error", ""},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(Value(e.instance, "DeviceID"));
    EXPECT_EQ(Value(e.instance, "Caption"), e.caption);
    EXPECT_EQ(Value(e.instance, "Status"), e.status);
    EXPECT_EQ(Value(e.instance, "CurrentState"), e.state);
  }
  EXPECT_FALSE(Has(volts.at("6656"), "MaxReadable"));
  EXPECT_EQ(Value(volts.at("6656"), "MinReadable"), "-100");
  // Resolution is published unsigned, the firmware's word sign-extended.
  EXPECT_EQ(Value(volts.at("6657"), "Resolution"), "4294967295");
}

TEST_F(SensorLibraryTest, StringNumbersOutsideTheSetSelectTheErrorText) {
  const Bytes table = Concat({
      ProbeStructure(26, 0x1A00, {.description = 2}, {"Only one"}),
      ProbeStructure(26, 0x1A01, {.description = 1}, {}),  // empty set: "\0\0"
      ProbeStructure(26, 0x1A02, {.description = 0}, {"Unused"}),
      ProbeStructure(26, 0x1A03, {.description = 2}, {"First", "Second"}),
      EndStructure(0xFEFF),
  });
  const auto root = FirmwareRoot(table);
  ASSERT_NE(intializeHM(), nullptr);
  const auto volts = InstancesById("HM_VoltageSensor");
  ASSERT_EQ(volts.size(), 4u);
  EXPECT_EQ(Value(volts.at("6656"), "Description"), "** Error ** Bad string number");
  EXPECT_EQ(Value(volts.at("6657"), "Description"), "** Error ** Bad string number");
  EXPECT_EQ(Value(volts.at("6658"), "Description"), "");
  EXPECT_EQ(Value(volts.at("6659"), "Description"), "Second");
  EXPECT_EQ(Value(volts.at("6659"), "Name"), "Second");
}

TEST_F(SensorLibraryTest, AStringThatIsNotUtf8KeepsItsSensor) {
  const auto root = FirmwareRoot(Concat({ProbeStructure(28, 0x1C00, {},
                                                        {"CPU \xB0"
                                                         "C"}),
                                         EndStructure(0xFEFF)}));
  ASSERT_NE(intializeHM(), nullptr);
  const auto temps = InstancesById("HM_TemperatureSensor");
  ASSERT_EQ(temps.size(), 1u);
  EXPECT_EQ(Value(temps.begin()->second, "Description"), "CPU \u00B0C");
}

TEST_F(SensorLibraryTest, AChainStartingMidTableWrapsToTheStructuresBeforeIt) {
  // Handle 0 is the third structure: the chain runs from it to the end and wraps
  // to the two probes before it, which keep their own handles.
  const Bytes table = Concat({
      ProbeStructure(26, 0x0100, {.maximum = 1000}),
      ProbeStructure(28, 0x0200, {.maximum = 900}),
      SystemStructure(0, "Acme"),
      ProbeStructure(26, 0x0300, {.maximum = 1100}),
      EndStructure(0xFEFF),
  });
  const auto root = FirmwareRoot(table);
  ASSERT_NE(intializeHM(), nullptr);
  const auto volts = InstancesById("HM_VoltageSensor");
  ASSERT_EQ(volts.size(), 2u);
  EXPECT_EQ(Value(volts.at("256"), "MaxReadable"), "1000");
  EXPECT_EQ(Value(volts.at("768"), "MaxReadable"), "1100");
  const auto temps = InstancesById("HM_TemperatureSensor");
  ASSERT_EQ(temps.size(), 1u);
  EXPECT_EQ(Value(temps.at("512"), "MaxReadable"), "900");
  // Instances come in chain order: from handle 0 on, then the wrapped ones.
  const auto* instances = g_allSensors->getInstances(CIMObjectPath("HM_VoltageSensor"));
  ASSERT_NE(instances, nullptr);
  EXPECT_EQ(Value((*instances)[0], "DeviceID"), "768");
  EXPECT_EQ(Value((*instances)[1], "DeviceID"), "256");
}

TEST_F(SensorLibraryTest, AnInstanceIsFoundByClassAndKeysWhereverThePathComesFrom) {
  const auto root = FirmwareRoot(Concat({ProbeStructure(26, 0x1A00, {.maximum = 4080}),
                                         ProbeStructure(28, 0x1C00, {}), EndStructure(0xFEFF)}));
  ASSERT_NE(intializeHM(), nullptr);
  const auto* names = g_allSensors->getInstanceNames(CIMObjectPath("HM_VoltageSensor"));
  ASSERT_NE(names, nullptr);
  ASSERT_EQ(names->size(), 1u);
  const CIMObjectPath full = (*names)[0];
  EXPECT_EQ(full.getKeyBindings().size(), 4u);

  CIMObjectPath local = full;
  local.setHost(Pegasus::String());
  CIMObjectPath noNamespace = local;
  noNamespace.setNameSpace(Pegasus::CIMNamespaceName());
  CIMObjectPath otherCase = local;
  otherCase.setClassName(Pegasus::CIMName("hm_voltagesensor"));
  for (const CIMObjectPath& path : {full, local, noNamespace, otherCase}) {
    const Pegasus::CIMInstance* found = g_allSensors->getInstance(path);
    ASSERT_NE(found, nullptr) << path.toString();
    EXPECT_EQ(Value(*found, "MaxReadable"), "4080");
  }

  auto keys = local.getKeyBindings();
  for (Pegasus::CIMKeyBinding& key : keys) {
    if (key.getName() == Pegasus::CIMName("DeviceID")) key.setValue("6657");
  }
  CIMObjectPath unknown = local;
  unknown.setKeyBindings(keys);
  EXPECT_EQ(g_allSensors->getInstance(unknown), nullptr);
  CIMObjectPath otherClass = local;
  otherClass.setClassName(Pegasus::CIMName("HM_TemperatureSensor"));
  EXPECT_EQ(g_allSensors->getInstance(otherClass), nullptr);
  EXPECT_EQ(g_allSensors->getInstances(CIMObjectPath("HM_CurrentSensor")), nullptr);
  EXPECT_EQ(g_allSensors->getInstanceNames(CIMObjectPath("HM_CurrentSensor")), nullptr);
}

TEST_F(SensorLibraryTest, WithoutTheDriverThereIsNoCollection) {
  const TempRoot empty("no-firmware");
  g_allSensors = nullptr;
  EXPECT_EQ(intializeHM(), nullptr);
  EXPECT_EQ(g_allSensors, nullptr);
}

TEST_F(SensorLibraryTest, ASecondInitializationRebuildsEverythingOnce) {
  const auto root = FirmwareRoot(Concat({
      SystemStructure(0, "Acme Server"),
      ProbeStructure(26, 0x1A00, {}),
      ProbeStructure(26, 0x1A01, {}),
      CoolingStructure(0x1B00, {}),
      ProbeStructure(28, 0x1C00, {}),
      EndStructure(0xFEFF),
  }));
  Pegasus::HM_CIMAllSensors* first = intializeHM();
  ASSERT_NE(first, nullptr);
  Pegasus::HM_CIMAllSensors* second = intializeHM();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(g_allSensors, second);
  EXPECT_EQ(second->GetSensorSetCount(), 3u);
  EXPECT_EQ(InstancesById("HM_VoltageSensor").size(), 2u);
  EXPECT_EQ(second->getInstanceNames(CIMObjectPath("HM_VoltageSensor"))->size(), 2u);
  EXPECT_EQ(second->getInstanceNames(CIMObjectPath("HM_Tachometer"))->size(), 1u);
  EXPECT_EQ(second->getInstanceNames(CIMObjectPath("HM_TemperatureSensor"))->size(), 1u);
  EXPECT_EQ(pnp::OemProductName(), "Acme Server");
}

}  // namespace
}  // namespace mgmt::test
