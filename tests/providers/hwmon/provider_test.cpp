// The hardware-monitor provider driven in-process as the object manager drives
// it, over firmware roots made from a real table and from none.
#include <gtest/gtest.h>

#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/OperationContext.h>
#include <Pegasus/Common/SimpleResponseHandler.h>
#include <Pegasus/Provider/ProviderException.h>

#include <filesystem>
#include <memory>
#include <string>

#include "HardwareMonitorProvider.h"
#include "pnpbiossensor.h"
#include "smbiosfixture.h"
#include "support/provider_driver.h"
#include "support/temp_dir.h"

namespace mgmt::test {
namespace {

using namespace Pegasus;

constexpr const char* kClasses[] = {"HM_VoltageSensor", "HM_Tachometer", "HM_TemperatureSensor"};

std::unique_ptr<TempRoot> RootOf(const char* dumpName) {
  auto root = std::make_unique<TempRoot>("hwmon");
  const SmbiosDump dump = LoadSmbiosDump(dumpName);
  WriteFirmwareTables(root->Path(), dump.entryPoint, dump.table);
  return root;
}

TEST(HardwareMonitorProvider, OnlyItsOwnNameMakesAProvider) {
  std::unique_ptr<CIMProvider> made(PegasusCreateProvider("hardwaremonitorprovider"));
  EXPECT_NE(dynamic_cast<HardwareMonitorProvider*>(made.get()), nullptr);
  EXPECT_EQ(PegasusCreateProvider("PerfMemoryProvider"), nullptr);
}

TEST(HardwareMonitorProvider, ServesTheThreeClassesFromTheLibrary) {
  MGMT_REQUIRE_SMBIOS_DATA();
  const auto root = RootOf("11-dell-precision-t7600");
  ProviderDriver driver(PegasusCreateProvider("HardwareMonitorProvider"));
  ASSERT_NE(driver.Get(), nullptr);
  ASSERT_NE(g_allSensors, nullptr);

  const size_t counts[] = {0, 9, 14};
  for (size_t c = 0; c < 3; ++c) {
    SCOPED_TRACE(kClasses[c]);
    const auto names = driver.Names(kClasses[c]);
    EXPECT_TRUE(driver.Completed());
    EXPECT_EQ(names.size(), counts[c]);
    const auto instances = driver.Instances(kClasses[c]);
    EXPECT_TRUE(driver.Completed());
    ASSERT_EQ(instances.size(), counts[c]);
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(instances[i].getPath(), names[i]);
      CIMObjectPath local = names[i];
      local.setHost(String());
      const auto got = driver.GetInstance(local);
      EXPECT_TRUE(driver.Completed());
      ASSERT_EQ(got.size(), 1u);
      EXPECT_EQ(Describe(got[0]), Describe(instances[i]));
    }
  }

  // A delivered instance is a copy: changing it leaves the stored one alone.
  auto temps = driver.Instances("HM_TemperatureSensor");
  temps[0].removeProperty(temps[0].findProperty("Caption"));
  EXPECT_EQ(ValueOf(driver.Instances("HM_TemperatureSensor")[0], "Caption"),
            "Temperature Sensor on Processor");

  CIMObjectPath unknown = driver.Names("HM_Tachometer")[0];
  auto keys = unknown.getKeyBindings();
  for (CIMKeyBinding& key : keys) {
    if (key.getName() == CIMName("DeviceID")) key.setValue("1");
  }
  unknown.setKeyBindings(keys);
  bool processing = false;
  EXPECT_TRUE(driver.GetInstance(unknown, &processing).empty());
  EXPECT_TRUE(processing);
  EXPECT_TRUE(driver.Completed());
}

TEST(HardwareMonitorProvider, RefusesWrites) {
  MGMT_REQUIRE_SMBIOS_DATA();
  const auto root = RootOf("07-dell-poweredge-1300");
  ProviderDriver driver(PegasusCreateProvider("HardwareMonitorProvider"));
  const CIMObjectPath path = driver.Names("HM_VoltageSensor")[0];
  const CIMInstance instance = driver.Instances("HM_VoltageSensor")[0];
  SimpleResponseHandler plain;
  SimpleObjectPathResponseHandler paths;
  const auto message = [](auto&& call) -> std::string {
    try {
      call();
    } catch (const CIMNotSupportedException& e) {
      return Text(e.getMessage());
    }
    return "not refused";
  };
  auto* p = driver.Get();
  EXPECT_EQ(message([&] {
              p->modifyInstance(driver.Context(), path, instance, false, CIMPropertyList(), plain);
            }),
            "HardwareMonitorProvider does not support modifyInstance");
  EXPECT_EQ(message([&] { p->createInstance(driver.Context(), path, instance, paths); }),
            "HardwareMonitorProvider does not support createInstance");
  EXPECT_EQ(message([&] { p->deleteInstance(driver.Context(), path, plain); }),
            "HardwareMonitorProvider does not support deleteInstance");
  EXPECT_EQ(driver.Names("HM_VoltageSensor").size(), 6u);
}

TEST(HardwareMonitorProvider, AMachineWithoutProbesServesEmptyClasses) {
  const TempRoot root("hwmon-none");
  g_allSensors = nullptr;
  ProviderDriver driver(PegasusCreateProvider("HardwareMonitorProvider"));
  for (const char* cls : kClasses) {
    EXPECT_TRUE(driver.Names(cls).empty()) << cls;
    EXPECT_TRUE(driver.Completed());
    EXPECT_TRUE(driver.Instances(cls).empty()) << cls;
    EXPECT_TRUE(driver.Completed());
  }
  EXPECT_TRUE(
      driver
          .GetInstance(CIMObjectPath("HM_VoltageSensor.CreationClassName=\"HM_VoltageSensor\","
                                     "DeviceID=\"6656\",SystemCreationClassName=\"x\","
                                     "SystemName=\"y\""))
          .empty());
  EXPECT_TRUE(driver.Completed());
}

TEST(HardwareMonitorProvider, ARestartWithoutTheDriverServesNoSensorsOfTheEarlierOne) {
  MGMT_REQUIRE_SMBIOS_DATA();
  {
    const auto root = RootOf("07-dell-poweredge-1300");
    ProviderDriver driver(PegasusCreateProvider("HardwareMonitorProvider"));
    ASSERT_EQ(driver.Names("HM_TemperatureSensor").size(), 4u);
  }
  // The library keeps its last collection when a later pass finds no driver;
  // those sensors can no longer be read and must not be served as present.
  const TempRoot root("hwmon-gone");
  ProviderDriver driver(PegasusCreateProvider("HardwareMonitorProvider"));
  for (const char* cls : kClasses) {
    EXPECT_TRUE(driver.Names(cls).empty()) << cls;
    EXPECT_TRUE(driver.Instances(cls).empty()) << cls;
  }
}

// Descriptors of emulated firmware drivers this process holds open (the seam
// hands out an eventfd for each).
size_t OpenFirmwareDrivers() {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink(entry.path(), error);
    if (!error && target.string() == "anon_inode:[eventfd]") ++count;
  }
  return count;
}

TEST(HardwareMonitorProvider, TheLibraryIsReleasedWhenTheLastProviderTerminates) {
  MGMT_REQUIRE_SMBIOS_DATA();
  const auto root = RootOf("07-dell-poweredge-1300");
  const size_t before = OpenFirmwareDrivers();
  auto first = std::make_unique<ProviderDriver>(PegasusCreateProvider("HardwareMonitorProvider"));
  Pegasus::HM_CIMAllSensors* collection = g_allSensors;
  ASSERT_NE(collection, nullptr);
  {
    ProviderDriver second(PegasusCreateProvider("HardwareMonitorProvider"));
    EXPECT_EQ(g_allSensors, collection) << "initialized once for the module";
    EXPECT_EQ(second.Names("HM_TemperatureSensor").size(), 4u);
  }
  EXPECT_EQ(OpenFirmwareDrivers(), before + 1) << "/dev/hmpdrv still open for the first provider";
  EXPECT_EQ(first->Names("HM_TemperatureSensor").size(), 4u);
  first.reset();
  EXPECT_EQ(OpenFirmwareDrivers(), before) << "/dev/hmpdrv closed by uninitializeHM";
}

}  // namespace
}  // namespace mgmt::test
