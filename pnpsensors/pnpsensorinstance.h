// CIM sensor instances built from fetched firmware structures: HM_VoltageSensor
// from a voltage probe (SMBIOS type 26), HM_Tachometer from a fan (type 27) and
// HM_TemperatureSensor from a temperature probe (type 28).
//
// Values keep the firmware's units, which the unit properties name: millivolts,
// revolutions per minute, tenths of a degree Celsius. A field is read only when it
// lies inside the structure's formatted area; a field the structure lacks, or that
// holds 0x8000 ("unknown"), gives no property.
#ifndef MGMT_PNPSENSORS_PNPSENSORINSTANCE_H
#define MGMT_PNPSENSORS_PNPSENSORINSTANCE_H

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/String.h>

#include <cstdint>
#include <span>

#include "pnpbios.h"

namespace Pegasus {

/// The host name of every instance path and SystemName.
extern char g_hostName[128];

/// Fills an empty instance from the structure at the start of `fetched` (the
/// fetch buffer) and sets its path. Above 0 when the instance is complete; -1 when
/// the structure is not one of the worker's kind (or a fan has no name), and the
/// instance is then to be dropped.
using SensorWorker = int (*)(CIMInstance& instance, std::span<const uint8_t> fetched,
                             const _sensorIndex& entry);

int parseSensor_Voltage_(CIMInstance& instance, std::span<const uint8_t> fetched,
                         const _sensorIndex& entry);
int parseSensor_Fan_(CIMInstance& instance, std::span<const uint8_t> fetched,
                     const _sensorIndex& entry);
int parseSensor_Temperature_(CIMInstance& instance, std::span<const uint8_t> fetched,
                             const _sensorIndex& entry);

/// Adds BaseUnits, RateUnits, SensorType (uint16) and UnitModifier (sint32).
void fillDefaultNumericSensorUnits(CIMInstance& instance, Uint16 baseUnits, Uint16 rateUnits,
                                   Uint16 sensorType, Sint32 unitModifier);

/// The bindings of CreationClassName, DeviceID, SystemCreationClassName and
/// SystemName from the instance's properties of those names.
Array<CIMKeyBinding> formKeyBindings_LogicalDevice(const CIMInstance& instance);

/// Appends a binding of `name` with the value of the instance's property of that
/// name; nothing when the instance has no such property.
void formKeyBindingFromProperty(const CIMInstance& instance, Array<CIMKeyBinding>& keyBindings,
                                const char* name);

/// Sets the path: host g_hostName, namespace "root/cimv2", the class and the keys.
void SetInstancePath(CIMInstance& instance, const String& className,
                     const Array<CIMKeyBinding>& keyBindings);

}  // namespace Pegasus

namespace mgmt::pnp {

/// The namespace of every instance.
inline constexpr const char* kSensorNamespace = "root/cimv2";

}  // namespace mgmt::pnp

#endif
