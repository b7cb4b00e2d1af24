// PerfProcessorProvider: SM_PerfCounters_Processor, one instance per processor and one for all.
#ifndef MGMT_PERF_PERFPROCESSORPROVIDER_H
#define MGMT_PERF_PERFPROCESSORPROVIDER_H

#include "PerfProviderSupport.h"

namespace Pegasus {

/// Read-only; builds every instance afresh from /proc on each request and keeps
/// no state but the object manager's handle.
class PerfProcessorProvider : public perfsupport::KeyedProvider<PerfProcessorProvider> {
 public:
  static constexpr const char* kProviderName = "PerfProcessorProvider";
  /// How the instances are listed and built.
  static const perfsupport::KeyedClass& Keyed();
};

}  // namespace Pegasus

#endif
