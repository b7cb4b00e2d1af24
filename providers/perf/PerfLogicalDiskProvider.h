// PerfLogicalDiskProvider: SM_PerfCounters_LogicalDisk, one instance per line of /proc/partitions.
#ifndef MGMT_PERF_PERFLOGICALDISKPROVIDER_H
#define MGMT_PERF_PERFLOGICALDISKPROVIDER_H

#include "PerfProviderSupport.h"

namespace Pegasus {

/// Read-only; builds every instance afresh from /proc on each request and keeps
/// no state but the object manager's handle.
class PerfLogicalDiskProvider : public perfsupport::KeyedProvider<PerfLogicalDiskProvider> {
 public:
  static constexpr const char* kProviderName = "PerfLogicalDiskProvider";
  /// How the instances are listed and built.
  static const perfsupport::KeyedClass& Keyed();
};

}  // namespace Pegasus

#endif
