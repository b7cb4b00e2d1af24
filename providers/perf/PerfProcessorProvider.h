// PerfProcessorProvider: SM_PerfCounters_Processor, one instance per processor and one for all.
#ifndef MGMT_PERF_PERFPROCESSORPROVIDER_H
#define MGMT_PERF_PERFPROCESSORPROVIDER_H

#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMOMHandle.h>

namespace Pegasus {

/// Read-only instance provider; builds every instance afresh from /proc on each
/// request and keeps no state but the object manager's handle.
class PerfProcessorProvider : public CIMInstanceProvider {
 public:
  PerfProcessorProvider() = default;
  ~PerfProcessorProvider() override = default;

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
  /// Throws CIMNotSupportedException "PerfProcessorProvider does not support modifyInstance".
  void modifyInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      const CIMInstance& instanceObject, const Boolean includeQualifiers,
                      const CIMPropertyList& propertyList, ResponseHandler& handler) override;
  /// Throws CIMNotSupportedException "PerfProcessorProvider does not support createInstance".
  void createInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      const CIMInstance& instanceObject,
                      ObjectPathResponseHandler& handler) override;
  /// Throws CIMNotSupportedException "PerfProcessorProvider does not support deleteInstance".
  void deleteInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      ResponseHandler& handler) override;

 private:
  CIMOMHandle cimom_;
};

}  // namespace Pegasus

#endif
