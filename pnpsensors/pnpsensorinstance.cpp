#include "pnpsensorinstance.h"

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Char16.h>
#include <Pegasus/Common/Exception.h>

#include <cstdio>
#include <optional>

#include "BytesText.h"
#include "pnpdmistring.h"
#include "pnpoemfan.h"
#include "smbios/walker.h"

namespace {

using namespace Pegasus;

constexpr uint16_t kUnknownValue = 0x8000;
constexpr uint8_t kStatusOk = 3;

// Offsets of the probe fields (voltage and temperature probes share the layout).
constexpr size_t kProbeDescription = 4;
constexpr size_t kProbeLocationAndStatus = 5;
constexpr size_t kProbeMaximum = 6;
constexpr size_t kProbeMinimum = 8;
constexpr size_t kProbeResolution = 10;
constexpr size_t kProbeTolerance = 12;
constexpr size_t kProbeAccuracy = 14;
constexpr size_t kProbeNominal = 20;
// Offsets of the cooling-device fields.
constexpr size_t kFanTypeAndStatus = 6;
constexpr size_t kFanOemValue = 8;
constexpr size_t kFanNominalSpeed = 12;

// Location names after " on ", by location number; the voltage probe's list ends
// at the add-in card.
constexpr const char* kLocations[] = {
    nullptr,
    nullptr,  // other
    nullptr,  // unknown
    "Processor",
    "Disk",
    "Peripheral Bay",
    "System Management Module",
    "Motherboard",
    "Memory Module",
    "Processor Module",
    "Power Unit",
    "Add-in Card",
    "Front Panel Board",
    "Back Panel Board",
    "Power System Board",
    "Drive Back Plane",
};
constexpr uint8_t kLastVoltageLocation = 11;
constexpr uint8_t kLastTemperatureLocation = 15;

constexpr const char* kStatusNames[] = {
    "", "Other", "Unknown", "OK", "Non-critical", "Critical", "Non-recoverable", ""};

struct ProbeKind {
  uint8_t type;
  const char* className;
  const char* caption;
  uint8_t lastLocation;
  Uint16 baseUnits;
  Uint16 rateUnits;
  Uint16 sensorType;
  Sint32 unitModifier;
};

constexpr ProbeKind kVoltageProbe = {
    26, "HM_VoltageSensor", "Voltage Probe", kLastVoltageLocation, 5, 0, 3, -3};
constexpr ProbeKind kTemperatureProbe = {
    28, "HM_TemperatureSensor", "Temperature Sensor", kLastTemperatureLocation, 2, 0, 2, -1};
constexpr const char* kTachometer = "HM_Tachometer";
constexpr uint8_t kCoolingDevice = 27;

template <class T>
void Add(CIMInstance& instance, const char* name, const T& value) {
  instance.addProperty(CIMProperty(CIMName(name), CIMValue(value)));
}

void AddText(CIMInstance& instance, const char* name, const String& value) {
  Add(instance, name, value);
}

// A signed 16-bit reading as sint32, unless the structure lacks it or it is unknown.
std::optional<Sint32> Reading(const mgmt::smbios::Structure& s, size_t offset) {
  const auto word = s.Word(offset);
  if (!word || *word == kUnknownValue) return std::nullopt;
  return static_cast<Sint32>(static_cast<int16_t>(*word));
}

void AddReading(CIMInstance& instance, const char* name, std::optional<Sint32> value) {
  if (value) Add(instance, name, *value);
}

String DeviceIdText(uint16_t handle) {
  char text[8];
  std::snprintf(text, sizeof text, "%d", handle);
  return String(text);
}

// The properties every sensor starts with: the four keys.
void AddKeys(CIMInstance& instance, const char* className, const _sensorIndex& entry) {
  AddText(instance, "CreationClassName", String(className));
  AddText(instance, "DeviceID", DeviceIdText(entry.handle));
  AddText(instance, "SystemCreationClassName", String(className));
  AddText(instance, "SystemName", mgmt::broker::StringFromBytes(g_hostName));
}

void AddStatus(CIMInstance& instance, uint8_t status) {
  AddText(instance, "Status", String(status == kStatusOk ? "OK" : "Error"));
  AddText(instance, "CurrentState", String(kStatusNames[status & 0x07]));
  Array<String> states;
  for (const char* state :
       {"Other", "Unknown", "OK", "Non-critical", "Critical", "Non-recoverable"})
    states.append(String(state));
  Add(instance, "PossibleStates", states);
}

int ParseProbe(const ProbeKind& kind, CIMInstance& instance, std::span<const uint8_t> fetched,
               const _sensorIndex& entry) {
  const auto s = mgmt::smbios::ReadStructure(fetched, 0);
  if (!s || s->Type() != kind.type) return -1;
  const char* strings[kPnpStringListSize];
  int count = 0;
  PnPGetDmiStrings(fetched, strings, count);
  const String description = mgmt::broker::StringFromBytes(
      PnPSelectString(strings, count, s->Byte(kProbeDescription).value_or(0)));
  const uint8_t locationAndStatus = s->Byte(kProbeLocationAndStatus).value_or(0);
  const uint8_t location = locationAndStatus & 0x1F;

  String caption(kind.caption);
  if (location <= kind.lastLocation && kLocations[location] != nullptr) {
    caption.append(String(" on "));
    caption.append(String(kLocations[location]));
  }

  AddKeys(instance, kind.className, entry);
  AddText(instance, "Description", description);
  AddText(instance, "Name", description);
  AddText(instance, "Caption", caption);
  AddStatus(instance, static_cast<uint8_t>(locationAndStatus >> 5));
  AddReading(instance, "MaxReadable", Reading(*s, kProbeMaximum));
  AddReading(instance, "MinReadable", Reading(*s, kProbeMinimum));
  AddReading(instance, "Tolerance", Reading(*s, kProbeTolerance));
  if (const auto resolution = Reading(*s, kProbeResolution)) {
    Add(instance, "Resolution", static_cast<Uint32>(*resolution));
  }
  AddReading(instance, "Accuracy", Reading(*s, kProbeAccuracy));
  // The nominal value is the reading: the firmware's structures carry no other.
  const auto nominal = Reading(*s, kProbeNominal);
  AddReading(instance, "NominalReading", nominal);
  AddReading(instance, "CurrentReading", nominal);
  fillDefaultNumericSensorUnits(instance, kind.baseUnits, kind.rateUnits, kind.sensorType,
                                kind.unitModifier);
  SetInstancePath(instance, String(kind.className), formKeyBindings_LogicalDevice(instance));
  return 1;
}

}  // namespace

namespace Pegasus {

char g_hostName[128] = "";

int parseSensor_Voltage_(CIMInstance& instance, std::span<const uint8_t> fetched,
                         const _sensorIndex& entry) {
  return ParseProbe(kVoltageProbe, instance, fetched, entry);
}

int parseSensor_Temperature_(CIMInstance& instance, std::span<const uint8_t> fetched,
                             const _sensorIndex& entry) {
  return ParseProbe(kTemperatureProbe, instance, fetched, entry);
}

int parseSensor_Fan_(CIMInstance& instance, std::span<const uint8_t> fetched,
                     const _sensorIndex& entry) {
  const auto s = mgmt::smbios::ReadStructure(fetched, 0);
  if (!s || s->Type() != kCoolingDevice) return -1;
  const uint8_t typeAndStatus = s->Byte(kFanTypeAndStatus).value_or(0);
  if (!mgmt::pnp::IsFanDeviceType(typeAndStatus)) return -1;
  const char* fanName = getOEMFanName(s->Dword(kFanOemValue).value_or(0));
  if (fanName == nullptr) return -1;
  // Copied at once: some models build the name in a buffer the next call reuses.
  const String name = mgmt::broker::StringFromBytes(fanName);

  AddKeys(instance, kTachometer, entry);
  AddText(instance, "Description", name);
  AddText(instance, "Name", name);
  AddText(instance, "Caption", name);
  AddStatus(instance, static_cast<uint8_t>(typeAndStatus >> 5));
  const auto speed = Reading(*s, kFanNominalSpeed);
  AddReading(instance, "NominalReading", speed);
  AddReading(instance, "CurrentReading", speed);
  fillDefaultNumericSensorUnits(instance, 38, 4, 5, 0);
  SetInstancePath(instance, String(kTachometer), formKeyBindings_LogicalDevice(instance));
  return 1;
}

void fillDefaultNumericSensorUnits(CIMInstance& instance, Uint16 baseUnits, Uint16 rateUnits,
                                   Uint16 sensorType, Sint32 unitModifier) {
  Add(instance, "BaseUnits", baseUnits);
  Add(instance, "RateUnits", rateUnits);
  Add(instance, "SensorType", sensorType);
  Add(instance, "UnitModifier", unitModifier);
}

Array<CIMKeyBinding> formKeyBindings_LogicalDevice(const CIMInstance& instance) {
  Array<CIMKeyBinding> keys;
  for (const char* name :
       {"CreationClassName", "DeviceID", "SystemCreationClassName", "SystemName"})
    formKeyBindingFromProperty(instance, keys, name);
  return keys;
}

void formKeyBindingFromProperty(const CIMInstance& instance, Array<CIMKeyBinding>& keyBindings,
                                const char* name) {
  const Uint32 index = instance.findProperty(CIMName(name));
  if (index == PEG_NOT_FOUND) return;
  keyBindings.append(CIMKeyBinding(CIMName(name), instance.getProperty(index).getValue()));
}

void SetInstancePath(CIMInstance& instance, const String& className,
                     const Array<CIMKeyBinding>& keyBindings) {
  instance.setPath(CIMObjectPath(mgmt::broker::StringFromBytes(g_hostName),
                                 CIMNamespaceName(mgmt::pnp::kSensorNamespace), CIMName(className),
                                 keyBindings));
}

}  // namespace Pegasus
