// HardwareMonitorProvider: the hardware-monitor component that serves the sensor
// library libPnpSensors to the object manager. One provider object answers
// HM_VoltageSensor, HM_Tachometer and HM_TemperatureSensor from the library's
// collection (the one intializeHM returned); it is read-only.
#ifndef MGMT_HWMON_HARDWAREMONITORPROVIDER_H
#define MGMT_HWMON_HARDWAREMONITORPROVIDER_H

#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMOMHandle.h>

namespace Pegasus {

/// The library's state is process-wide and unguarded, and handing out an instance
/// may re-read it: every call into the library, from any provider object of the
/// module, runs under one module-wide lock. The library is initialized when the
/// first provider object is and released when the last one terminates.
class HardwareMonitorProvider : public CIMInstanceProvider {
 public:
  HardwareMonitorProvider() = default;
  /// Releases the library if terminate was never called.
  ~HardwareMonitorProvider() override;

  /// Calls intializeHM for the first provider object of the module. A machine
  /// whose firmware describes no sensors (no /dev/hmpdrv) serves every class empty.
  void initialize(CIMOMHandle& cimom) override;
  /// Calls uninitializeHM when the last provider object terminates.
  void terminate() override;

  /// The stored instance with the path's class and keys, re-read when its reading
  /// is stale; none (not found) otherwise.
  void getInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                   const Boolean includeQualifiers, const Boolean includeClassOrigin,
                   const CIMPropertyList& propertyList, InstanceResponseHandler& handler) override;
  /// Every instance of the class, stale readings re-read first.
  void enumerateInstances(const OperationContext& context, const CIMObjectPath& classReference,
                          const Boolean includeQualifiers, const Boolean includeClassOrigin,
                          const CIMPropertyList& propertyList,
                          InstanceResponseHandler& handler) override;
  void enumerateInstanceNames(const OperationContext& context, const CIMObjectPath& classReference,
                              ObjectPathResponseHandler& handler) override;
  /// Throws CIMNotSupportedException "HardwareMonitorProvider does not support modifyInstance".
  void modifyInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      const CIMInstance& instanceObject, const Boolean includeQualifiers,
                      const CIMPropertyList& propertyList, ResponseHandler& handler) override;
  /// Throws CIMNotSupportedException "HardwareMonitorProvider does not support createInstance".
  void createInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      const CIMInstance& instanceObject,
                      ObjectPathResponseHandler& handler) override;
  /// Throws CIMNotSupportedException "HardwareMonitorProvider does not support deleteInstance".
  void deleteInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      ResponseHandler& handler) override;

 private:
  void Release();

  CIMOMHandle cimom_;
  bool initialized_ = false;
};

}  // namespace Pegasus

/// The module's entry point: a new HardwareMonitorProvider for the name
/// "HardwareMonitorProvider" (compared without regard to case), owned by the
/// caller; null for any other name.
extern "C" PEGASUS_EXPORT Pegasus::CIMProvider* PegasusCreateProvider(
    const Pegasus::String& providerName);

#endif
