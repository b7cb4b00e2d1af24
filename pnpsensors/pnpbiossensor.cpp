#include "pnpbiossensor.h"

#include <unistd.h>

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>

#include <cassert>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "BytesText.h"
#include "CimNumber.h"

namespace {

using namespace Pegasus;

constexpr const char* kVoltageClass = "HM_VoltageSensor";
constexpr const char* kTachometerClass = "HM_Tachometer";
constexpr const char* kTemperatureClass = "HM_TemperatureSensor";

// The collection g_allSensors points to; a new intializeHM frees the old one.
std::unique_ptr<HM_CIMAllSensors> g_ownedSensors;

// The three sets, made on the first InitPGSensors and kept until the library is
// unloaded (a later collection holds the same sets).
std::unique_ptr<HM_CIMSensorSet> g_voltageSet;
std::unique_ptr<HM_CIMSensorSet> g_tachometerSet;
std::unique_ptr<HM_CIMSensorSet> g_temperatureSet;

// The machine's host name when it can name a CIM host, else the fallback.
void ReadHostName() {
  char name[sizeof g_hostName] = {};
  if (gethostname(name, sizeof name - 1) == 0 && name[0] != '\0') {
    try {
      // Throws for a name that cannot be the host of an object path.
      const CIMObjectPath path(mgmt::broker::StringFromBytes(name),
                               CIMNamespaceName(mgmt::pnp::kSensorNamespace),
                               CIMName(kVoltageClass));
      std::memcpy(g_hostName, name, sizeof g_hostName);
      return;
    } catch (const Exception&) {
    }
  }
  std::strncpy(g_hostName, mgmt::pnp::kFallbackHostName, sizeof g_hostName - 1);
  g_hostName[sizeof g_hostName - 1] = '\0';
}

// Builds one instance of `className` from a fetched structure into the set.
int AddParsed(HM_CIMSensorSet& set, const char* className, SensorWorker worker,
              std::span<const uint8_t> fetched, const _sensorIndex& entry) {
  CIMInstance instance{CIMName(className)};
  const int result = worker(instance, fetched, entry);
  if (result > 0) set.addInstance(instance);
  return result;
}

}  // namespace

extern "C" {

PEGASUS_EXPORT Pegasus::HM_CIMAllSensors* g_allSensors = nullptr;

PEGASUS_EXPORT Pegasus::HM_CIMAllSensors* intializeHM() {
  // Nothing may leave a C entry point; a failure to build (out of memory) gives
  // no collection.
  try {
    if (PnPInitialize() == 0) return nullptr;
    g_ownedSensors = std::make_unique<HM_CIMAllSensors>();
    g_allSensors = g_ownedSensors.get();
    InitPGSensors();
    return g_allSensors;
  } catch (...) {
    g_allSensors = nullptr;
    g_ownedSensors.reset();
    return nullptr;
  }
}

PEGASUS_EXPORT int uninitializeHM() {
  FreeSensorIndexes();
  ClosePnPBIOSDriver();
  return 0;
}
}

namespace Pegasus {

void InitPGSensors() {
  assert(g_allSensors != nullptr);
  if (!g_voltageSet) {
    g_voltageSet = std::make_unique<HM_CIMSensorSet>(String(kVoltageClass));
    g_tachometerSet = std::make_unique<HM_CIMSensorSet>(String(kTachometerClass));
    g_temperatureSet = std::make_unique<HM_CIMSensorSet>(String(kTemperatureClass));
  }
  g_allSensors->addSensorSet(*g_voltageSet);
  g_allSensors->addSensorSet(*g_tachometerSet);
  g_allSensors->addSensorSet(*g_temperatureSet);
  g_voltageSet->setUpdatesensorFunc(UpdateSensorFunc_Voltage);
  g_tachometerSet->setUpdatesensorFunc(UpdateSensorFunc_Fan);
  g_temperatureSet->setUpdatesensorFunc(UpdateSensorFunc_Temperature);
  ReadHostName();
  updateSensorSet(String(kVoltageClass), formSensorSet_Voltage);
  updateSensorSet(String(kTachometerClass), formSensorSet_Fan);
  updateSensorSet(String(kTemperatureClass), formSensorSet_Temperature);
}

void updateSensorSet(const String& className, FormSensorSetFunc pfnFormSensorSet) {
  assert(pfnFormSensorSet != nullptr);
  HM_CIMSensorSet* set = g_allSensors != nullptr ? g_allSensors->getSensorSet(className) : nullptr;
  if (set == nullptr) return;
  set->empty();
  pfnFormSensorSet(*set);
}

void formSensorSet_Voltage(HM_CIMSensorSet& set) {
  parseSensor(g_phsVoltageProbe, g_nNumVoltageProbe, set, parseSensor_Voltage);
}

void formSensorSet_Fan(HM_CIMSensorSet& set) {
  parseSensor(g_phsCoolingDevice, g_nNumCoolingDevice, set, parseSensor_Fan);
}

void formSensorSet_Temperature(HM_CIMSensorSet& set) {
  parseSensor(g_phsTemperatureProbe, g_nNumTemperatureProbe, set, parseSensor_Temperature);
}

int parseSensor_Voltage(HM_CIMSensorSet& set, std::span<const uint8_t> fetched,
                        const _sensorIndex& entry) {
  return AddParsed(set, kVoltageClass, parseSensor_Voltage_, fetched, entry);
}

int parseSensor_Fan(HM_CIMSensorSet& set, std::span<const uint8_t> fetched,
                    const _sensorIndex& entry) {
  return AddParsed(set, kTachometerClass, parseSensor_Fan_, fetched, entry);
}

int parseSensor_Temperature(HM_CIMSensorSet& set, std::span<const uint8_t> fetched,
                            const _sensorIndex& entry) {
  return AddParsed(set, kTemperatureClass, parseSensor_Temperature_, fetched, entry);
}

void UpdateSensorFunc_(CIMInstance& instance, const _sensorIndex* index, uint32_t count,
                       SensorWorker worker) {
  const Uint32 at = instance.findProperty(CIMName("DeviceID"));
  if (at == PEG_NOT_FOUND) return;
  const CIMValue value = instance.getProperty(at).getValue();
  if (value.isNull() || value.getType() != CIMTYPE_STRING || value.isArray()) return;
  String deviceId;
  value.get(deviceId);
  const CString text = deviceId.getCString();
  Uint16 handle = 0;
  if (mgmt::broker::ParseInteger(std::string_view(text), handle) !=
      mgmt::broker::NumberStatus::kOk) {
    return;
  }

  for (uint32_t i = 0; i < count; ++i) {
    if (index[i].handle != handle) continue;
    std::vector<uint8_t> buffer = mgmt::pnp::AllocateFetchBuffer();
    if (buffer.empty() || PnpGetStructure(index[i], buffer.data()) != 0) continue;
    // The reading is replaced only by a complete new one: a structure that can no
    // longer be read leaves the last reading rather than an empty instance.
    CIMInstance fresh{instance.getClassName()};
    if (worker(fresh, buffer, index[i]) <= 0) continue;
    while (instance.getPropertyCount() > 0) instance.removeProperty(0);
    for (Uint32 p = 0; p < fresh.getPropertyCount(); ++p) {
      instance.addProperty(fresh.getProperty(p));
    }
    instance.setPath(fresh.getPath());
  }
}

void UpdateSensorFunc_Voltage(CIMInstance& instance) {
  UpdateSensorFunc_(instance, g_phsVoltageProbe, g_nNumVoltageProbe, parseSensor_Voltage_);
}

void UpdateSensorFunc_Fan(CIMInstance& instance) {
  UpdateSensorFunc_(instance, g_phsCoolingDevice, g_nNumCoolingDevice, parseSensor_Fan_);
}

void UpdateSensorFunc_Temperature(CIMInstance& instance) {
  UpdateSensorFunc_(instance, g_phsTemperatureProbe, g_nNumTemperatureProbe,
                    parseSensor_Temperature_);
}

}  // namespace Pegasus
