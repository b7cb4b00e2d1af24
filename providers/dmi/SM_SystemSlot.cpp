#include "SM_SystemSlot.h"

#include <algorithm>
#include <string>

#include "BiosDeviceProvider.h"
#include "DmiText.h"

namespace Pegasus {
namespace {

using mgmt::dmi::AddString;
using mgmt::dmi::AddUint16;
using mgmt::dmi::AddUint16Array;
using mgmt::dmi::AddUint8;
using mgmt::dmi::BufferText;
using mgmt::dmi::DmiStructure;

constexpr std::uint8_t kSystemSlotType = 9;
constexpr std::size_t kText = 1024;

// A slot type has a CIM connector code, or (code 0 here) only a name.
struct SlotType {
  std::uint8_t smbiosType;
  std::uint16_t code;
  const char* name;
};

constexpr SlotType kSlotTypes[] = {
    {0x01, 0, "Other"},
    {0x02, 0, "Unknown"},
    {0x03, 45, "ISA"},
    {0x04, 102, "MCA"},
    {0x05, 46, "EISA"},
    {0x06, 44, "PCI"},
    {0x07, 48, "PC Card (PCMCIA)"},
    {0x08, 47, "VL-VESA"},
    {0x09, 77, "Proprietary"},
    {0x0A, 78, "Processor Card Slot"},
    {0x0B, 79, "Proprietary Memory Card Slot"},
    {0x0C, 80, "I/O Riser Card Slot"},
    {0x0D, 66, "NuBus"},
    {0x0E, 81, "PCI 66MHz Capable"},
    {0x0F, 74, "AGP"},
    {0x10, 82, "AGP 2X"},
    {0x11, 83, "AGP 4X"},
    {0xA0, 0, "PC-98/C20"},
    {0xA1, 0, "PC-98/C24"},
    {0xA2, 0, "PC-98/E"},
    {0xA3, 0, "PC-98/Local Bus"},
    {0xA4, 0, "PC-98/Card"},
};

// Slot types whose slot id word is a slot number: MCA, EISA, PCI, PC Card, PCI
// 66MHz, AGP, AGP 2X, AGP 4X, PCI-X, AGP 8X.
constexpr std::uint8_t kNumberedSlotTypes[] = {0x04, 0x05, 0x06, 0x07, 0x0E,
                                               0x0F, 0x10, 0x11, 0x12, 0x13};

bool HasSlotNumber(std::uint8_t type) {
  return std::find(std::begin(kNumberedSlotTypes), std::end(kNumberedSlotTypes), type) !=
         std::end(kNumberedSlotTypes);
}

}  // namespace

int SM_SystemSlot::searchProperConnType(unsigned short type, Array<unsigned short>& codes,
                                        char* text, int room) {
  const char* name = "Other";
  for (const auto& entry : kSlotTypes) {
    if (entry.smbiosType != type) continue;
    if (entry.code != 0) {
      codes.append(entry.code);
      return 1;
    }
    name = entry.name;
    break;
  }
  codes.append(1);
  mgmt::dmi::CopyCut(text, room, name);
  return 0;
}

void SM_SystemSlot::parseDmiV2(unsigned char* table, unsigned long length) {
  int number = 0;
  mgmt::dmi::ForEachDmiStructure(table, length, [&](const DmiStructure& s) {
    if (s.Type() != kSystemSlotType) return;
    CIMInstance instance(CIMName("SM_SystemSlot"));
    AddString(instance, "CreationClassName", "SM_SystemSlot");
    AddString(instance, "Tag", "System Slot " + std::to_string(number++));
    if (const char* designation = s.StringAt(4)) {
      AddString(instance, "SlotDesignation", BufferText(designation, kText));
    }
    const auto slotType = s.Byte(5);
    if (slotType) {
      Array<unsigned short> codes;
      char other[kText] = {};
      const int found = searchProperConnType(*slotType, codes, other, kText);
      AddUint16Array(instance, "ConnectorType", codes);
      if (found == 0) AddString(instance, "OtherIdentifyingInfo", other);
    }
    if (const auto width = s.Byte(6)) AddUint8(instance, "MaxDataWidth", *width);
    if (const auto usage = s.Byte(7)) AddUint8(instance, "CurrentUsage", *usage);
    if (slotType && HasSlotNumber(*slotType)) {
      if (const auto id = s.Word(9)) AddUint16(instance, "Number", *id);
    }
    Append(instance, {"CreationClassName", "Tag"});
  });
}

}  // namespace Pegasus
