#include "SM_Processor.h"

#include <cstdio>
#include <string>

#include "BiosDeviceProvider.h"
#include "DmiText.h"

namespace Pegasus {
namespace {

using mgmt::dmi::AddSint32;
using mgmt::dmi::AddString;
using mgmt::dmi::AddUint16;
using mgmt::dmi::AddUint8;
using mgmt::dmi::BufferText;
using mgmt::dmi::DmiStructure;

constexpr std::uint8_t kProcessorType = 4;
constexpr std::uint8_t kSocketPopulated = 0x40;
constexpr std::uint8_t kCurrentVoltageFlag = 0x80;
// "See Processor Family 2": the family is the word at offset 0x28.
constexpr std::uint8_t kFamilyInFamily2 = 0xFE;
constexpr std::size_t kText = 1024;
constexpr std::size_t kCaption = 128;

CIMInstance BuildProcessor(const DmiStructure& s, int number, const std::string& hostName) {
  CIMInstance instance(CIMName("SM_Processor"));
  const std::string deviceId = "CPU" + std::to_string(number);
  std::string caption = deviceId;

  AddString(instance, "DeviceID", deviceId);
  AddString(instance, "CreationClassName", "SM_Processor");
  AddString(instance, "SystemCreationClassName", "SM_Processor");
  AddString(instance, "SystemName", hostName);
  if (const char* socket = s.StringAt(4)) {
    AddString(instance, "SocketDesignation", BufferText(socket, kText));
  }
  if (const auto type = s.Byte(5)) AddUint16(instance, "ProcessorType", *type);
  if (auto family = s.Byte(6)) {
    std::uint16_t value = *family;
    if (value == kFamilyInFamily2) value = s.Word(0x28).value_or(value);
    AddUint16(instance, "Family", value);
  }
  if (const char* maker = s.StringAt(7)) {
    AddString(instance, "Manufacturer", BufferText(maker, kText));
  }
  const auto signature = s.Dword(8);
  const auto features = s.Dword(0x0C);
  if (signature && features) {
    char id[24];
    std::snprintf(id, sizeof id, "%x%x", *features, *signature);
    AddString(instance, "ProcessorId", id);
  }
  if (const char* version = s.StringAt(0x10)) {
    const std::string text = BufferText(version, kText);
    AddString(instance, "Version", text);
    caption += " " + text;
  }
  if (const auto voltage = s.Byte(0x11)) {
    if (*voltage & kCurrentVoltageFlag) {
      AddUint16(instance, "CurrentVoltage",
                static_cast<std::uint16_t>(*voltage - kCurrentVoltageFlag));
    } else {
      AddUint16(instance, "VoltageCaps", *voltage);
    }
  }
  if (const auto clock = s.Word(0x12)) AddSint32(instance, "ExtClock", *clock);
  if (const auto maxSpeed = s.Word(0x14)) AddSint32(instance, "MaxClockSpeed", *maxSpeed);
  if (const auto speed = s.Word(0x16)) {
    AddSint32(instance, "CurrentClockSpeed", *speed);
    caption += std::to_string(*speed);
  }
  caption = mgmt::dmi::CutUtf8(caption, kCaption - 1);
  AddString(instance, "Caption", caption);
  AddString(instance, "Description", caption);
  if (const auto status = s.Byte(0x18)) AddUint8(instance, "CPUStatus", *status);
  if (const auto upgrade = s.Byte(0x19)) AddUint8(instance, "UpgradeMethod", *upgrade);
  return instance;
}

}  // namespace

void SM_Processor::parseDmiV2(unsigned char* table, unsigned long length) {
  const std::string hostName = mgmt::dmi::HostName();
  int populated = 0;
  mgmt::dmi::ForEachDmiStructure(table, length, [&](const DmiStructure& s) {
    if (s.Type() != kProcessorType) return;
    const auto status = s.Byte(0x18);
    if (!status || !(*status & kSocketPopulated)) return;
    Append(BuildProcessor(s, populated++, hostName),
           {"CreationClassName", "DeviceID", "SystemCreationClassName", "SystemName"});
  });
}

}  // namespace Pegasus
