// libPerfCounters: raw performance counters of memory, processors, logical disks
// and network interfaces, sampled from /proc afresh on every request and served
// through four read-only instance providers. The module has no shared state:
// concurrent requests each build their own samplers and instances.
#include "PerfCountersMain.h"

#include "PerfLogicalDiskProvider.h"
#include "PerfMemoryProvider.h"
#include "PerfNetworkInterfaceProvider.h"
#include "PerfProcessorProvider.h"

#include <Pegasus/Common/Config.h>

#include <memory>

namespace Pegasus {

const String CLASS_PERFMEMORY("SM_PerfCounters_Memory");
const String CLASS_PERFPROCESSOR("SM_PerfCounters_Processor");
const String CLASS_PERFLOGICALDISK("SM_PerfCounters_LogicalDisk");
const String CLASS_PERFNETWORKINTERFACE("SM_PerfCounters_NetworkInterface");
const String PROPERTY_NAME("Name");

}  // namespace Pegasus

extern "C" PEGASUS_EXPORT Pegasus::CIMProvider* PegasusCreateProvider(
    const Pegasus::String& providerName) {
  using namespace Pegasus;
  // Nothing may propagate out of a C entry point: a failure here (out of
  // memory) answers "no provider", which the object manager reports.
  try {
    if (String::equalNoCase(providerName, "PerfMemoryProvider")) {
      return std::make_unique<PerfMemoryProvider>().release();
    }
    if (String::equalNoCase(providerName, "PerfProcessorProvider")) {
      return std::make_unique<PerfProcessorProvider>().release();
    }
    if (String::equalNoCase(providerName, "PerfLogicalDiskProvider")) {
      return std::make_unique<PerfLogicalDiskProvider>().release();
    }
    if (String::equalNoCase(providerName, "PerfNetworkInterfaceProvider")) {
      return std::make_unique<PerfNetworkInterfaceProvider>().release();
    }
  } catch (...) {
  }
  return nullptr;
}
