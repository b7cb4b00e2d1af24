#include "sensor_test_util.h"

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>

#include "hmclass.h"
#include "pnpbiossensor.h"
#include "pnpoemfan.h"
#include "support/provider_driver.h"

namespace mgmt::test {

namespace {

void Le16(Bytes& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Le32(Bytes& out, uint32_t v) {
  Le16(out, static_cast<uint16_t>(v));
  Le16(out, static_cast<uint16_t>(v >> 16));
}

// The fields after the header, cut so the formatted area is `length` long.
Bytes Cut(Bytes fields, uint8_t length) {
  fields.resize(length - 4u, 0);
  return fields;
}

}  // namespace

std::unique_ptr<TempRoot> FirmwareRoot(const Bytes& table) {
  auto root = std::make_unique<TempRoot>("sensors");
  WriteFirmwareTables(root->Path(), MakeSmEntryPoint(static_cast<uint16_t>(table.size()), 0),
                      table);
  return root;
}

std::unique_ptr<TempRoot> FirmwareRoot(const SmbiosDump& dump) {
  auto root = std::make_unique<TempRoot>("sensors");
  WriteFirmwareTables(root->Path(), dump.entryPoint, dump.table);
  return root;
}

Bytes ProbeStructure(uint8_t type, uint16_t handle, const Probe& p,
                     std::initializer_list<std::string_view> strings) {
  Bytes fields = {p.description, static_cast<uint8_t>(p.status << 5 | p.location)};
  for (uint16_t v : {p.maximum, p.minimum, p.resolution, p.tolerance, p.accuracy}) Le16(fields, v);
  Le32(fields, p.oem);
  Le16(fields, p.nominal);
  Bytes s = MakeStructure(type, handle, Cut(fields, p.length), strings);
  return s;
}

Bytes CoolingStructure(uint16_t handle, const Cooling& c) {
  Bytes fields = {0xFF, 0xFF, static_cast<uint8_t>(c.status << 5 | c.deviceType), 0};
  Le32(fields, c.oem);
  Le16(fields, c.nominalSpeed);
  fields.push_back(0);  // no description string
  return MakeStructure(27, handle, Cut(fields, c.length));
}

Bytes SystemStructure(uint16_t handle, std::string_view product, uint8_t length) {
  Bytes fields = {1, 2, 0, 0};
  for (uint8_t i = 0; i < 16; ++i) fields.push_back(static_cast<uint8_t>(0x10 + i));
  fields.insert(fields.end(), {6, 0, 0});
  return MakeStructure(1, handle, Cut(fields, length), {"Maker", product});
}

Bytes EndStructure(uint16_t handle) { return MakeStructure(127, handle, {}); }

std::map<std::string, Pegasus::CIMInstance> InstancesById(const char* className) {
  std::map<std::string, Pegasus::CIMInstance> byId;
  if (g_allSensors == nullptr) return byId;
  const auto* instances = g_allSensors->getInstances(Pegasus::CIMObjectPath(className));
  if (instances == nullptr) return byId;
  for (const Pegasus::CIMInstance& instance : *instances)
    byId[Value(instance, "DeviceID")] = instance;
  return byId;
}

std::string Value(const Pegasus::CIMInstance& instance, const char* name) {
  return ValueOf(instance, name);
}

bool Has(const Pegasus::CIMInstance& instance, const char* name) {
  using Pegasus::Uint32;
  return instance.findProperty(Pegasus::CIMName(name)) != PEG_NOT_FOUND;
}

void SensorLibraryTest::TearDown() {
  uninitializeHM();
  Pegasus::g_poemParser = nullptr;
  pnp::UseClock(nullptr);
}

}  // namespace mgmt::test
