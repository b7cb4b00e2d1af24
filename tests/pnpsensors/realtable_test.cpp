// The sensor library on the real firmware tables that carry probes, through the
// emulated /dev/hmpdrv and /dev/smbdrv: every voltage probe, fan and temperature
// probe that dmidecode decodes from the same table is published, with the
// handle, texts, status and values dmidecode shows (in the firmware's units).
#include <gtest/gtest.h>

#include <unistd.h>

#include <map>
#include <string>

#include "pnpbiossensor.h"
#include "pnpoemfan.h"
#include "probe_oracle.h"
#include "sensor_test_util.h"

namespace mgmt::test {
namespace {

class RealTableTest : public SensorLibraryTest,
                      public ::testing::WithParamInterface<const char*> {};

TEST_P(RealTableTest, PublishesWhatDmidecodeDecodes) {
  MGMT_REQUIRE_SMBIOS_DATA();
  const SmbiosDump dump = LoadSmbiosDump(GetParam());
  const auto root = FirmwareRoot(dump);
  ASSERT_NE(intializeHM(), nullptr);
  // None of these machines is a model with its own fan names.
  EXPECT_EQ(Pegasus::g_poemParser, nullptr) << pnp::OemProductName();
  EXPECT_FALSE(pnp::OemProductName().empty());

  const auto records = DmidecodeRecords(
      DmidecodeFromDump(SmbiosDataDir() / (dump.name + ".bin"), {"-t", "26,27,28"}));
  ASSERT_FALSE(records.empty());
  const std::map<int, const char*> classes = {
      {26, "HM_VoltageSensor"}, {27, "HM_Tachometer"}, {28, "HM_TemperatureSensor"}};
  for (const auto& [type, className] : classes) {
    const auto published = InstancesById(className);
    size_t expected = 0;
    for (const DmiRecord& record : records) {
      if (record.type != type || (type == 27 && !IsFanRecord(record))) continue;
      ++expected;
      const std::string id = std::to_string(record.handle);
      const auto it = published.find(id);
      if (it == published.end()) {
        ADD_FAILURE() << className << " " << id << " is missing";
        continue;
      }
      EXPECT_EQ(PublishedProperties(it->second), ExpectedProperties(record, Pegasus::g_hostName))
          << className << " " << id;
    }
    EXPECT_EQ(published.size(), expected) << className;
  }
}

// 07 and 11 begin with OEM structures: their handle chain starts at handle 0 in
// the middle of the table and wraps around.
INSTANTIATE_TEST_SUITE_P(TablesWithProbes, RealTableTest,
                         ::testing::Values("01-supermicro-x9dbl", "03-supermicro-x10dal-i",
                                           "07-dell-poweredge-1300", "11-dell-precision-t7600",
                                           "12-beelink-eq12"),
                         [](const auto& param) {
                           std::string name = param.param;
                           for (char& c : name) {
                             if (c == '-') c = '_';
                           }
                           return name;
                         });

TEST_F(SensorLibraryTest, InstancesAreNamedAfterThisHost) {
  MGMT_REQUIRE_SMBIOS_DATA();
  const auto root = FirmwareRoot(LoadSmbiosDump("07-dell-poweredge-1300"));
  ASSERT_NE(intializeHM(), nullptr);
  char host[128] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  const auto voltages = InstancesById("HM_VoltageSensor");
  ASSERT_EQ(voltages.size(), 6u);
  const auto& first = voltages.at("6656");  // 0x1A00
  EXPECT_EQ(Value(first, "SystemName"), host);
  EXPECT_EQ(std::string(first.getPath().getHost().getCString()), host);
  EXPECT_EQ(std::string(first.getPath().getNameSpace().getString().getCString()), "root/cimv2");
  EXPECT_EQ(Value(first, "Caption"), "Voltage Probe on Motherboard");
  EXPECT_EQ(Value(first, "MaxReadable"), "4080");
}

}  // namespace
}  // namespace mgmt::test
