// PerfMemoryProvider: the single instance of SM_PerfCounters_Memory.
#ifndef MGMT_PERF_PERFMEMORYPROVIDER_H
#define MGMT_PERF_PERFMEMORYPROVIDER_H

#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMOMHandle.h>

namespace Pegasus {

/// Read-only instance provider; builds every instance afresh from /proc on each
/// request and keeps no state but the object manager's handle.
class PerfMemoryProvider : public CIMInstanceProvider {
 public:
  PerfMemoryProvider() = default;
  ~PerfMemoryProvider() override = default;

  void initialize(CIMOMHandle& cimom) override;
  void terminate() override;

  void getInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                   const Boolean includeQualifiers, const Boolean includeClassOrigin,
                   const CIMPropertyList& propertyList, InstanceResponseHandler& handler) override;
  void enumerateInstances(const OperationContext& context, const CIMObjectPath& classReference,
                          const Boolean includeQualifiers, const Boolean includeClassOrigin,
                          const CIMPropertyList& propertyList,
                          InstanceResponseHandler& handler) override;
  void enumerateInstanceNames(const OperationContext& context, const CIMObjectPath& classReference,
                              ObjectPathResponseHandler& handler) override;
  /// Throws CIMNotSupportedException "PerfMemoryProvider does not support modifyInstance".
  void modifyInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      const CIMInstance& instanceObject, const Boolean includeQualifiers,
                      const CIMPropertyList& propertyList, ResponseHandler& handler) override;
  /// Throws CIMNotSupportedException "PerfMemoryProvider does not support createInstance".
  void createInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      const CIMInstance& instanceObject,
                      ObjectPathResponseHandler& handler) override;
  /// Throws CIMNotSupportedException "PerfMemoryProvider does not support deleteInstance".
  void deleteInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      ResponseHandler& handler) override;

 private:
  CIMOMHandle cimom_;
};

}  // namespace Pegasus

#endif
