#include "hmclass.h"

#include <chrono>

#include "base/clock.h"

namespace {

mgmt::base::Clock* g_clock = nullptr;

// Same class and the same keys; where the path came from (host, namespace) does
// not matter. Both key lists are kept sorted by name.
bool SameInstance(const Pegasus::CIMObjectPath& stored, const Pegasus::CIMObjectPath& wanted) {
  if (!(stored.getClassName() == wanted.getClassName())) return false;
  const auto& a = stored.getKeyBindings();
  const auto& b = wanted.getKeyBindings();
  if (a.size() != b.size()) return false;
  for (Pegasus::Uint32 i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

}  // namespace

namespace Pegasus {

HM_CIMSensorSet::HM_CIMSensorSet(const String& className) : className_(className) {}

Array<CIMInstance>& HM_CIMSensorSet::getInstances() {
  for (Uint32 i = 0; i < instances_.size(); ++i) updateSensorData(i);
  return instances_;
}

CIMInstance* HM_CIMSensorSet::getInstance(const CIMObjectPath& path) {
  for (Uint32 i = 0; i < instances_.size(); ++i) {
    if (SameInstance(instanceNames_[i], path)) {
      updateSensorData(i);
      return &instances_[i];
    }
  }
  return nullptr;
}

void HM_CIMSensorSet::updateSensorData(unsigned i) {
  if (update_ == nullptr || i >= instances_.size()) return;
  const uint32_t now = mgmt::pnp::NowSeconds();
  if (static_cast<uint32_t>(now - updateTimes_[i]) <= kRefreshAfterSeconds) return;
  update_(instances_[i]);
  updateTimes_[i] = now;
}

void HM_CIMSensorSet::empty() {
  instances_.clear();
  instanceNames_.clear();
  updateTimes_.clear();
}

void HM_CIMSensorSet::addInstanceName(const CIMObjectPath& name) { instanceNames_.append(name); }

void HM_CIMSensorSet::addInstance(const CIMInstance& instance) {
  instances_.append(instance);
  updateTimes_.push_back(mgmt::pnp::NowSeconds());
  instanceNames_.append(instance.getPath());
}

int HM_CIMAllSensors::addSensorSet(HM_CIMSensorSet& set) {
  sets_.push_back(&set);
  return 0;
}

HM_CIMSensorSet* HM_CIMAllSensors::getSensorSet(const String& className) const {
  for (HM_CIMSensorSet* set : sets_) {
    if (String::equalNoCase(set->getClassName(), className)) return set;
  }
  return nullptr;
}

const Array<CIMObjectPath>* HM_CIMAllSensors::getInstanceNames(const CIMObjectPath& path) const {
  const HM_CIMSensorSet* set = getSensorSet(path.getClassName().getString());
  return set != nullptr ? &set->getInstanceNames() : nullptr;
}

Array<CIMInstance>* HM_CIMAllSensors::getInstances(const CIMObjectPath& path) const {
  HM_CIMSensorSet* set = getSensorSet(path.getClassName().getString());
  return set != nullptr ? &set->getInstances() : nullptr;
}

CIMInstance* HM_CIMAllSensors::getInstance(const CIMObjectPath& path) const {
  HM_CIMSensorSet* set = getSensorSet(path.getClassName().getString());
  return set != nullptr ? set->getInstance(path) : nullptr;
}

}  // namespace Pegasus

namespace mgmt::pnp {

void UseClock(base::Clock* clock) { g_clock = clock; }

uint32_t NowSeconds() {
  const base::Clock& clock = g_clock != nullptr ? *g_clock : base::SystemClock();
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(clock.Now().time_since_epoch());
  return static_cast<uint32_t>(seconds.count());
}

}  // namespace mgmt::pnp
