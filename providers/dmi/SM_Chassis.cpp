#include "SM_Chassis.h"

#include <string>
#include <vector>

#include "BiosDeviceProvider.h"
#include "DmiText.h"

namespace Pegasus {

const char* const ChassisTypeNames[24] = {"Other",
                                          "Unknown",
                                          "Desktop",
                                          "Low Profile Desktop",
                                          "Pizza Box",
                                          "Mini Tower",
                                          "Tower",
                                          "Portable",
                                          "LapTop",
                                          "Notebook",
                                          "Hand Held",
                                          "Docking Station",
                                          "All in One",
                                          "Sub Notebook",
                                          "Space-Saving",
                                          "Lunch Box",
                                          "Main System Chassis",
                                          "Expansion Chassis",
                                          "SubChassis",
                                          "Bus Expansion Chassis",
                                          "Peripheral Chassis",
                                          "Storage Chassis",
                                          "Rack Mount Chassis",
                                          "Sealed-Case PC"};

namespace {

using mgmt::dmi::AddString;
using mgmt::dmi::BufferText;
using mgmt::dmi::DmiStructure;

constexpr std::uint8_t kChassisType = 3;
constexpr std::uint8_t kChassisLock = 0x80;
constexpr std::size_t kText = 1024;

}  // namespace

void SM_Chassis::parseDmiV2(unsigned char* table, unsigned long length) {
  mgmt::dmi::ForEachDmiStructure(table, length, [&](const DmiStructure& s) {
    if (s.Type() != kChassisType) return;
    CIMInstance instance(CIMName("SM_Chassis"));
    AddString(instance, "CreationClassName", "SM_Chassis");
    AddString(instance, "Caption", "System Chassis");
    AddString(instance, "Description", "System Chassis");
    if (const char* maker = s.StringAt(4))
      AddString(instance, "Manufacturer", BufferText(maker, kText));
    if (const auto typeByte = s.Byte(5)) {
      const std::uint16_t type = *typeByte & static_cast<std::uint8_t>(~kChassisLock);
      if (type >= 1 && type <= 24) {
        Array<Uint16> types;
        types.append(type);
        mgmt::dmi::AddUint16Array(instance, "ChassisTypes", types);
        mgmt::dmi::AddStringArray(instance, "TypeDescriptions", {ChassisTypeNames[type - 1]});
      }
    }
    if (const char* version = s.StringAt(6))
      AddString(instance, "Version", BufferText(version, kText));
    if (const char* serial = s.StringAt(7)) {
      AddString(instance, "SerialNumber", BufferText(serial, kText));
    }
    if (const char* tag = s.StringAt(8)) AddString(instance, "Tag", BufferText(tag, kText));
    Append(instance, {"CreationClassName", "Tag"});
  });
}

}  // namespace Pegasus
