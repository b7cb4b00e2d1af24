#include "SM_PhysicalMemory.h"

#include <bit>
#include <string>

#include "BiosDeviceProvider.h"
#include "DmiText.h"

namespace Pegasus {
namespace {

using mgmt::dmi::AddString;
using mgmt::dmi::AddUint16;
using mgmt::dmi::AddUint64;
using mgmt::dmi::BufferText;
using mgmt::dmi::DmiStructure;

constexpr std::uint8_t kMemoryDeviceType = 17;
constexpr std::uint16_t kSizeUnknown = 0xFFFF;
constexpr std::uint16_t kSizeInExtendedField = 0x7FFF;
constexpr std::uint16_t kSizeInKilobytes = 0x8000;
constexpr std::uint32_t kExtendedSizeMask = 0x7FFFFFFF;
constexpr std::size_t kText = 1024;

CIMInstance BuildMemory(const DmiStructure& s, int number) {
  CIMInstance instance(CIMName("SM_PhysicalMemory"));
  const std::string tag = "Physical Memory " + std::to_string(number);
  AddString(instance, "CreationClassName", "SM_PhysicalMemory");
  AddString(instance, "Tag", tag);
  if (const auto width = s.Word(8)) AddUint16(instance, "TotalWidth", *width);
  if (const auto width = s.Word(0x0A)) AddUint16(instance, "DataWidth", *width);
  if (const auto size = s.Word(0x0C)) {
    if (const auto bytes = MemoryCapacity(*size, s.Dword(0x1C))) {
      AddUint64(instance, "Capacity", *bytes);
    }
  }
  AddString(instance, "Caption", tag);
  AddString(instance, "Description", tag);
  if (const auto formFactor = s.Byte(0x0E)) AddUint16(instance, "FormFactor", *formFactor);
  if (const char* locator = s.StringAt(0x10)) {
    AddString(instance, "DeviceLocator", BufferText(locator, kText));
  }
  if (const char* bank = s.StringAt(0x11))
    AddString(instance, "BankLabel", BufferText(bank, kText));
  if (const auto type = s.Byte(0x12)) AddUint16(instance, "MemoryType", *type);
  if (const auto detail = s.Word(0x13))
    AddUint16(instance, "TypeDetail", MemoryTypeDetail(*detail));
  // The speed word came with SMBIOS 2.3 (structure length 0x17); in shorter
  // structures these bytes are already strings.
  if (const auto speed = s.Word(0x15)) AddUint16(instance, "Speed", *speed);
  return instance;
}

}  // namespace

std::optional<std::uint64_t> MemoryCapacity(std::uint16_t size,
                                            std::optional<std::uint32_t> extendedSize) {
  if (size == kSizeUnknown) return std::nullopt;
  if (size == kSizeInExtendedField && extendedSize) {
    return std::uint64_t{*extendedSize & kExtendedSizeMask} << 20;
  }
  if (size & kSizeInKilobytes)
    return (std::uint64_t{size} & ~std::uint64_t{kSizeInKilobytes}) << 10;
  return std::uint64_t{size} << 20;
}

std::uint16_t MemoryTypeDetail(std::uint16_t detail) {
  if (detail & 1) return detail;
  if (detail == 0) return 0;
  return static_cast<std::uint16_t>(std::bit_width(detail) - 1);
}

void SM_PhysicalMemory::parseDmiV2(unsigned char* table, unsigned long length) {
  int number = 0;
  mgmt::dmi::ForEachDmiStructure(table, length, [&](const DmiStructure& s) {
    if (s.Type() != kMemoryDeviceType) return;
    Append(BuildMemory(s, number++), {"CreationClassName", "Tag"});
  });
}

}  // namespace Pegasus
