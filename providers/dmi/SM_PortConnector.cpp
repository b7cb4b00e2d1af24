#include "SM_PortConnector.h"

#include <array>
#include <cstring>
#include <string>

#include "BiosDeviceProvider.h"
#include "DmiText.h"

namespace Pegasus {
namespace {

using mgmt::dmi::AddString;
using mgmt::dmi::AddUint16;
using mgmt::dmi::AddUint16Array;
using mgmt::dmi::BufferText;
using mgmt::dmi::DmiStructure;

constexpr std::uint8_t kPortConnectorType = 8;
constexpr std::size_t kText = 1024;
constexpr std::size_t kCaption = 128;

// CIM connector codes used here: 1 other, 2 male, 3 female, one code per kind.
struct ConnectorCodes {
  std::uint8_t smbiosType;
  std::array<std::uint16_t, 3> codes;
  std::uint8_t count;
};

constexpr ConnectorCodes kConnectorCodes[] = {
    {0x01, {67}, 1},         // Centronics
    {0x02, {68}, 1},         // Mini Centronics
    {0x03, {77}, 1},         // Proprietary
    {0x04, {24, 2}, 2},      // DB-25 pin male
    {0x05, {24, 3}, 2},      // DB-25 pin female
    {0x06, {23, 2}, 2},      // DB-15 pin male
    {0x07, {23, 3}, 2},      // DB-15 pin female
    {0x08, {22, 2}, 2},      // DB-9 pin male
    {0x09, {22, 3}, 2},      // DB-9 pin female
    {0x0A, {39}, 1},         // RJ-11
    {0x0B, {40}, 1},         // RJ-45
    {0x0D, {60}, 1},         // Mini-DIN
    {0x0E, {61}, 1},         // Micro-DIN
    {0x0F, {62}, 1},         // PS/2
    {0x10, {63}, 1},         // Infrared
    {0x11, {64}, 1},         // HP-HIL
    {0x12, {54}, 1},         // Access Bus (USB)
    {0x13, {89}, 1},         // SSA SCSI
    {0x14, {90, 59, 2}, 3},  // Circular DIN-8 male
    {0x15, {90, 59, 3}, 3},  // Circular DIN-8 female
    {0x16, {91}, 1},         // On Board IDE
    {0x17, {92}, 1},         // On Board Floppy
    {0x18, {93}, 1},         // 9 Pin Dual Inline (pin 10 cut)
    {0x19, {94}, 1},         // 25 Pin Dual Inline (pin 26 cut)
    {0x1A, {95}, 1},         // 50 Pin Dual Inline
    {0x1B, {96}, 1},         // 68 Pin Dual Inline
    {0x1C, {97}, 1},         // On Board Sound Input from CD-ROM
    {0x1D, {69}, 1},         // Mini-Centronics Type-14
    {0x1E, {71}, 1},         // Mini-Centronics Type-26
    {0x1F, {98}, 1},         // Mini-jack (headphones)
    {0x20, {38}, 1},         // BNC
    {0x21, {55}, 1},         // 1394
    {0xA0, {84}, 1},         // PC-98
    {0xA1, {85}, 1},         // PC-98Hireso
    {0xA2, {86}, 1},         // PC-H98
    {0xA3, {87}, 1},         // PC-98Note
    {0xA4, {88}, 1},         // PC-98Full
};

constexpr std::uint8_t kMiniScsi50 = 0x0C;

}  // namespace

int SM_PortConnector::searchProperConnType(int side, unsigned short type,
                                           Array<unsigned short>& codes, char* text, int room) {
  for (const auto& entry : kConnectorCodes) {
    if (entry.smbiosType != type) continue;
    for (std::size_t i = 0; i < entry.count; ++i) codes.append(entry.codes[i]);
    return 1;
  }
  codes.append(1);
  const char* mark = side == 1 ? " internal:" : " external:";
  mgmt::dmi::CopyCut(text, room, mark);
  const int markLength = static_cast<int>(std::strlen(mark));
  if (room > markLength) {
    mgmt::dmi::CopyCut(text + markLength, room - markLength,
                       type == kMiniScsi50 ? "50 Pin MiniSCSI" : "Other");
  }
  return 0;
}

void SM_PortConnector::parseDmiV2(unsigned char* table, unsigned long length) {
  int number = 0;
  mgmt::dmi::ForEachDmiStructure(table, length, [&](const DmiStructure& s) {
    if (s.Type() != kPortConnectorType) return;
    CIMInstance instance(CIMName("SM_PortConnector"));
    const std::string tag = "Port Connector " + std::to_string(number++);
    AddString(instance, "CreationClassName", "SM_PortConnector");
    AddString(instance, "Tag", tag);
    std::string caption = tag;
    if (const char* internal = s.StringAt(4)) {
      const std::string designator = BufferText(internal, kText);
      AddString(instance, "InternalReferenceDesignator", designator);
      caption += ": " + designator;
    }
    caption = mgmt::dmi::CutUtf8(caption, kCaption - 1);
    AddString(instance, "Caption", caption);
    AddString(instance, "Description", caption);

    Array<unsigned short> codes;
    char other[kText] = {};
    int state = 0;
    const auto internalType = s.Byte(5).value_or(0);
    const auto externalType = s.Byte(7).value_or(0);
    if (internalType != 0) {
      state += searchProperConnType(1, internalType, codes, other, kText - 1) ? 1 : 10;
    }
    if (externalType != 0) {
      const int used = static_cast<int>(std::strlen(other));
      state +=
          searchProperConnType(2, externalType, codes, other + used, kText - 1 - used) ? 1 : 10;
    }
    if (state != 0) {
      AddUint16Array(instance, "ConnectorType", codes);
    }
    if (state >= 10) AddString(instance, "OtherIdentifyingInfo", other);

    if (const char* external = s.StringAt(6)) {
      AddString(instance, "ExternalReferenceDesignator", BufferText(external, kText));
    }
    if (const auto portType = s.Byte(8)) AddUint16(instance, "PortType", *portType);
    Append(instance, {"CreationClassName", "Tag"});
  });
}

}  // namespace Pegasus
