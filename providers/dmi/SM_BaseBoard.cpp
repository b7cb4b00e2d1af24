#include "SM_BaseBoard.h"

#include <string>

#include "BiosDeviceProvider.h"
#include "DmiText.h"

namespace Pegasus {
namespace {

using mgmt::dmi::AddString;
using mgmt::dmi::BufferText;
using mgmt::dmi::DmiStructure;

constexpr std::uint8_t kBaseBoardType = 2;
constexpr std::size_t kText = 1024;

}  // namespace

void SM_BaseBoard::parseDmiV2(unsigned char* table, unsigned long length) {
  int boards = 0;
  mgmt::dmi::ForEachDmiStructure(table, length, [&](const DmiStructure& s) {
    if (s.Type() != kBaseBoardType) return;
    ++boards;
    CIMInstance instance(CIMName("SM_BaseBoard"));
    AddString(instance, "CreationClassName", "SM_BaseBoard");
    AddString(instance, "Tag", boards == 1 ? "Base Board" : "Base Board " + std::to_string(boards));
    AddString(instance, "Caption", "Base Board");
    AddString(instance, "Description", "Base Board");
    AddString(instance, "Name", "Base Board");
    const char* names[] = {"Manufacturer", "Model", "Version", "SerialNumber"};
    for (std::size_t i = 0; i < 4; ++i) {
      if (const char* text = s.StringAt(4 + i))
        AddString(instance, names[i], BufferText(text, kText));
    }
    Append(instance, {"CreationClassName", "Tag"});
  });
}

}  // namespace Pegasus
