// What the sensor library must publish for a firmware table, read from
// dmidecode's decoding of the same table: the probe and cooling-device records of
// `dmidecode --from-dump FILE -t 26,27,28`, and the instance each one becomes.
#ifndef MGMT_TESTS_PNPSENSORS_PROBE_ORACLE_H
#define MGMT_TESTS_PNPSENSORS_PROBE_ORACLE_H

#include <Pegasus/Common/CIMInstance.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace mgmt::test {

/// One record of dmidecode's output: "Handle 0x1A00, DMI type 26, 20 bytes" and
/// its "\tKey: Value" lines (values as printed, trailing blanks kept).
struct DmiRecord {
  uint16_t handle = 0;
  int type = 0;
  int length = 0;
  std::map<std::string, std::string> fields;
};

std::vector<DmiRecord> DmidecodeRecords(const std::string& dmidecodeText);

/// The firmware's integer behind a value dmidecode printed scaled to the unit it
/// names ("4.080 V" is 4080 mV, "16.0 mV" is 160 tenths of a mV, "1.00%" is 100
/// hundredths of a percent, "127.0 deg C" is 1270 tenths): dmidecode prints as
/// many decimals as the firmware's unit has, so the digits are the integer.
/// nullopt for "Unknown" and the like.
std::optional<long> RawValue(const std::string& printed);

/// A cooling-device record whose type is one of the fans the library publishes.
bool IsFanRecord(const DmiRecord& record);

/// Every property the library publishes for the record, "Name" -> "type=value"
/// (the form of Describe in support/provider_driver.h); a fan is named `fanName`.
std::map<std::string, std::string> ExpectedProperties(const DmiRecord& record,
                                                      const std::string& hostName,
                                                      const std::string& fanName = "Fan");

/// The same view of an instance the library made.
std::map<std::string, std::string> PublishedProperties(const Pegasus::CIMInstance& instance);

}  // namespace mgmt::test

#endif
