// libPnpSensors: the firmware's voltage probes, fans and temperature probes as CIM
// sensor instances of HM_VoltageSensor, HM_Tachometer and HM_TemperatureSensor in
// root/cimv2.
//
// The library is loaded by a hardware-monitor component, which calls intializeHM
// once, asks the returned collection (also in g_allSensors) for instance names,
// instances or one instance by path, and calls uninitializeHM at the end. Instances
// are built at intializeHM and then kept; an instance handed out more than 4
// seconds after its last reading is read again from its structure first.
//
// Nothing here locks: the caller makes every call into the library, the
// collection's lookups included, from one thread at a time.
#ifndef MGMT_PNPSENSORS_PNPBIOSSENSOR_H
#define MGMT_PNPSENSORS_PNPBIOSSENSOR_H

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/String.h>

#include "hmclass.h"
#include "pnpbios.h"
#include "pnpsensorinstance.h"

extern "C" {

/// The collection of the last successful intializeHM; null before one.
extern PEGASUS_EXPORT Pegasus::HM_CIMAllSensors* g_allSensors;

/// Indexes the firmware's sensor structures and builds the three sensor sets into
/// a new collection, which replaces (and frees) the one an earlier call made.
/// Returns the collection, or null when /dev/hmpdrv cannot be opened (then
/// g_allSensors stays as it was).
PEGASUS_EXPORT Pegasus::HM_CIMAllSensors* intializeHM();

/// Frees the structure indexes and closes /dev/hmpdrv. The collection keeps its
/// instances, which are no longer re-read. Returns 0.
PEGASUS_EXPORT int uninitializeHM();
}

namespace Pegasus {

/// Builds the three sets into g_allSensors (which must be set).
void InitPGSensors();

/// Fills one set: what forms a set from its index.
using FormSensorSetFunc = void (*)(HM_CIMSensorSet& set);

/// Empties the set of `className` and fills it with `pfnFormSensorSet`; nothing
/// when g_allSensors has no such set.
void updateSensorSet(const String& className, FormSensorSetFunc pfnFormSensorSet);

void formSensorSet_Voltage(HM_CIMSensorSet& set);
void formSensorSet_Fan(HM_CIMSensorSet& set);
void formSensorSet_Temperature(HM_CIMSensorSet& set);

/// Build an instance of their class from a fetched structure and add it to the set
/// when the worker completes it.
int parseSensor_Voltage(HM_CIMSensorSet& set, std::span<const uint8_t> fetched,
                        const _sensorIndex& entry);
int parseSensor_Fan(HM_CIMSensorSet& set, std::span<const uint8_t> fetched,
                    const _sensorIndex& entry);
int parseSensor_Temperature(HM_CIMSensorSet& set, std::span<const uint8_t> fetched,
                            const _sensorIndex& entry);

/// Reads `instance` again from the structure whose handle its DeviceID names,
/// searched in `index`. A structure that cannot be fetched or read again leaves
/// the instance with its last reading.
void UpdateSensorFunc_(CIMInstance& instance, const _sensorIndex* index, uint32_t count,
                       SensorWorker worker);
void UpdateSensorFunc_Voltage(CIMInstance& instance);
void UpdateSensorFunc_Fan(CIMInstance& instance);
void UpdateSensorFunc_Temperature(CIMInstance& instance);

}  // namespace Pegasus

namespace mgmt::pnp {

/// The host name used when the machine's own cannot be read or cannot stand in an
/// object path.
inline constexpr const char* kFallbackHostName = "localhost";

}  // namespace mgmt::pnp

#endif
