// The sensor collection libPnpSensors hands its caller: one sensor set per CIM
// class, each holding the class's instances with their paths and the time of each
// instance's last reading. An instance handed out more than 4 seconds after its
// last reading is read again first, through the set's update function.
//
// Neither class locks: the caller serialises every call, and getInstances and
// getInstance change the stored instances when they refresh them.
#ifndef MGMT_PNPSENSORS_HMCLASS_H
#define MGMT_PNPSENSORS_HMCLASS_H

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/String.h>

#include <cstdint>
#include <vector>

namespace mgmt::base {
class Clock;
}

namespace Pegasus {

/// Reads one instance again from its firmware structure.
using UpdateSensorFunc = void (*)(CIMInstance& instance);

/// The instances of one CIM class.
class PEGASUS_EXPORT HM_CIMSensorSet {
 public:
  /// Readings older than this many seconds are refreshed when handed out.
  static constexpr uint32_t kRefreshAfterSeconds = 4;

  explicit HM_CIMSensorSet(const String& className);

  const String& getClassName() const { return className_; }
  const Array<CIMObjectPath>& getInstanceNames() const { return instanceNames_; }
  /// Refreshes every stale instance in order, then returns them all.
  Array<CIMInstance>& getInstances();
  /// The first instance whose path has the class name and key bindings of `path`
  /// (host and namespace are not compared), refreshed when stale; null when none.
  CIMInstance* getInstance(const CIMObjectPath& path);
  /// Re-reads instance `i` through the update function when one is set and its
  /// reading is more than 4 seconds old (an unsigned 32-bit difference of seconds).
  void updateSensorData(unsigned i);

  /// Forgets every instance, name and reading time.
  void empty();
  /// Appends a name only.
  void addInstanceName(const CIMObjectPath& name);
  /// Appends the instance, now as its reading time and its own path as its name.
  void addInstance(const CIMInstance& instance);
  void setUpdatesensorFunc(UpdateSensorFunc function) { update_ = function; }

 private:
  String className_;
  Array<CIMObjectPath> instanceNames_;
  Array<CIMInstance> instances_;
  std::vector<uint32_t> updateTimes_;
  UpdateSensorFunc update_ = nullptr;
};

/// The collection of sensor sets. It does not own the sets.
class PEGASUS_EXPORT HM_CIMAllSensors {
 public:
  HM_CIMAllSensors() = default;
  HM_CIMAllSensors(const HM_CIMAllSensors&) = delete;
  HM_CIMAllSensors& operator=(const HM_CIMAllSensors&) = delete;

  /// Appends the set; 0.
  int addSensorSet(HM_CIMSensorSet& set);
  /// The first set whose class name equals `className` without regard to case.
  HM_CIMSensorSet* getSensorSet(const String& className) const;
  uint32_t GetSensorSetCount() const { return static_cast<uint32_t>(sets_.size()); }

  /// The names of the set of the path's class, or null.
  const Array<CIMObjectPath>* getInstanceNames(const CIMObjectPath& path) const;
  /// The instances of the set of the path's class, stale ones refreshed; or null.
  Array<CIMInstance>* getInstances(const CIMObjectPath& path) const;
  /// The instance the path names, refreshed when stale; or null.
  CIMInstance* getInstance(const CIMObjectPath& path) const;

  /// Two words kept for the caller; nothing in the library acts on them.
  uint32_t getStatus() const { return status_; }
  int setStatus(uint32_t status) {
    status_ = status;
    return 0;
  }
  uint32_t getPollingInterval() const { return pollingInterval_; }
  int setPollingInterval(uint32_t seconds) {
    pollingInterval_ = seconds;
    return 0;
  }

 private:
  std::vector<HM_CIMSensorSet*> sets_;
  uint32_t status_ = 0;
  uint32_t pollingInterval_ = 5;
};

}  // namespace Pegasus

namespace mgmt::pnp {

/// The clock reading times come from (seconds of its steady time); `clock` is not
/// owned, null goes back to the system's steady clock. For tests.
void UseClock(base::Clock* clock);

/// Now, in whole seconds of that clock, as the 32-bit reading time.
uint32_t NowSeconds();

}  // namespace mgmt::pnp

#endif
