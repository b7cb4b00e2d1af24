// Helpers of the sensor library's tests: firmware roots from real and synthetic
// tables, the structures the library reads, and the library's instances by
// DeviceID. SensorLibraryTest leaves the library's process-wide state as it found
// it after every test.
#ifndef MGMT_TESTS_PNPSENSORS_SENSOR_TEST_UTIL_H
#define MGMT_TESTS_PNPSENSORS_SENSOR_TEST_UTIL_H

#include <gtest/gtest.h>

#include <Pegasus/Common/CIMInstance.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "smbiosfixture.h"
#include "support/temp_dir.h"

namespace mgmt::test {

/// An installation root whose kernel exports `table` (with a matching entry
/// point); MGMTAGENT_ROOT while it lives.
std::unique_ptr<TempRoot> FirmwareRoot(const Bytes& table);
/// The same for a kept real table (tests/data/smbios).
std::unique_ptr<TempRoot> FirmwareRoot(const SmbiosDump& dump);

/// The fields of a probe (voltage, type 26, or temperature, type 28) in structure
/// order; `length` cuts the formatted area (20 has no nominal value, 22 has it).
struct Probe {
  uint8_t description = 1;  // string number
  uint8_t location = 7;     // motherboard
  uint8_t status = 3;       // OK
  uint16_t maximum = 0x8000;
  uint16_t minimum = 0x8000;
  uint16_t resolution = 0x8000;
  uint16_t tolerance = 0x8000;
  uint16_t accuracy = 0x8000;
  uint32_t oem = 0;
  uint16_t nominal = 0x8000;
  uint8_t length = 22;
};
Bytes ProbeStructure(uint8_t type, uint16_t handle, const Probe& probe,
                     std::initializer_list<std::string_view> strings = {"Probe"});

/// A cooling device (type 27); `length` 12 has no nominal speed, 14 has it.
struct Cooling {
  uint8_t deviceType = 3;  // fan
  uint8_t status = 3;
  uint32_t oem = 0;
  uint16_t nominalSpeed = 0x8000;
  uint8_t length = 15;
};
Bytes CoolingStructure(uint16_t handle, const Cooling& cooling);

/// A system information structure (type 1) of `length` bytes naming `product`,
/// with the UUID bytes 0x10, 0x11, ... 0x1F.
Bytes SystemStructure(uint16_t handle, std::string_view product, uint8_t length = 0x1B);
/// The end-of-table structure.
Bytes EndStructure(uint16_t handle);

/// The instances of one class in g_allSensors (handed out, so stale ones are
/// re-read), by DeviceID.
std::map<std::string, Pegasus::CIMInstance> InstancesById(const char* className);

/// One property's value text ("" when absent) and whether the instance has it.
std::string Value(const Pegasus::CIMInstance& instance, const char* name);
bool Has(const Pegasus::CIMInstance& instance, const char* name);

class SensorLibraryTest : public ::testing::Test {
 protected:
  void TearDown() override;
};

}  // namespace mgmt::test

#endif
