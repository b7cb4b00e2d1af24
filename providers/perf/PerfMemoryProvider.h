// PerfMemoryProvider: the single instance of SM_PerfCounters_Memory.
#ifndef MGMT_PERF_PERFMEMORYPROVIDER_H
#define MGMT_PERF_PERFMEMORYPROVIDER_H

#include "PerfProviderSupport.h"

namespace Pegasus {

/// Read-only; builds the instance afresh from /proc on each request and keeps no
/// state but the object manager's handle.
class PerfMemoryProvider : public perfsupport::ReadOnlyProvider<PerfMemoryProvider> {
 public:
  static constexpr const char* kProviderName = "PerfMemoryProvider";

  void getInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                   const Boolean includeQualifiers, const Boolean includeClassOrigin,
                   const CIMPropertyList& propertyList, InstanceResponseHandler& handler) override;
  void enumerateInstances(const OperationContext& context, const CIMObjectPath& classReference,
                          const Boolean includeQualifiers, const Boolean includeClassOrigin,
                          const CIMPropertyList& propertyList,
                          InstanceResponseHandler& handler) override;
  void enumerateInstanceNames(const OperationContext& context, const CIMObjectPath& classReference,
                              ObjectPathResponseHandler& handler) override;
};

}  // namespace Pegasus

#endif
