#include "SM_ComputerSystemProduct.h"

#include <cctype>
#include <cstdio>

#include "BiosDeviceProvider.h"
#include "DmiText.h"

namespace Pegasus {
namespace {

using mgmt::dmi::AddString;
using mgmt::dmi::BufferText;
using mgmt::dmi::DmiStructure;

constexpr std::uint8_t kSystemInformationType = 1;
constexpr std::size_t kText = 1024;
constexpr std::size_t kUuidOffset = 8;
// The UUID came with SMBIOS 2.1, whose structure is 0x19 bytes long.
constexpr std::uint8_t kLengthWithUuid = 0x19;

}  // namespace

std::string SystemUuidText(std::span<const std::uint8_t, 16> b) {
  char text[40];
  std::snprintf(text, sizeof text, "%04x%04x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                b[3] * 256 + b[2], b[1] * 256 + b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10],
                b[11], b[12], b[13], b[14], b[15]);
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

void SM_ComputerSystemProduct::parseDmiV2(unsigned char* table, unsigned long length) {
  mgmt::dmi::ForEachDmiStructure(table, length, [&](const DmiStructure& s) {
    if (s.Type() != kSystemInformationType) return;
    CIMInstance instance(CIMName("SM_ComputerSystemProduct"));
    AddString(instance, "Caption", "Computer System Product");
    AddString(instance, "Description", "Computer System Product");
    const char* names[] = {"Vendor", "Name", "Version", "IdentifyingNumber"};
    for (std::size_t i = 0; i < 4; ++i) {
      if (const char* text = s.StringAt(4 + i))
        AddString(instance, names[i], BufferText(text, kText));
    }
    if (s.Length() >= kLengthWithUuid) {
      const auto bytes = s.Raw().Field(kUuidOffset, 16);
      AddString(instance, "UUID", SystemUuidText(bytes->first<16>()));
    }
    Append(instance, {"IdentifyingNumber", "Name", "Vendor", "Version"});
  });
}

}  // namespace Pegasus
