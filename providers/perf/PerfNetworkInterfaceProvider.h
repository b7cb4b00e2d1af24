// PerfNetworkInterfaceProvider: SM_PerfCounters_NetworkInterface, one instance per interface.
#ifndef MGMT_PERF_PERFNETWORKINTERFACEPROVIDER_H
#define MGMT_PERF_PERFNETWORKINTERFACEPROVIDER_H

#include "PerfProviderSupport.h"

namespace Pegasus {

/// Read-only; builds every instance afresh from /proc on each request and keeps
/// no state but the object manager's handle.
class PerfNetworkInterfaceProvider
    : public perfsupport::KeyedProvider<PerfNetworkInterfaceProvider> {
 public:
  static constexpr const char* kProviderName = "PerfNetworkInterfaceProvider";
  /// How the instances are listed and built.
  static const perfsupport::KeyedClass& Keyed();
};

}  // namespace Pegasus

#endif
