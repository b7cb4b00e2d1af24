// Module-wide names of libPerfCounters: the CIM classes it serves and their key.
#ifndef MGMT_PERF_PERFCOUNTERSMAIN_H
#define MGMT_PERF_PERFCOUNTERSMAIN_H

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Provider/CIMProvider.h>

namespace Pegasus {

extern const String CLASS_PERFMEMORY;            ///< "SM_PerfCounters_Memory"
extern const String CLASS_PERFPROCESSOR;         ///< "SM_PerfCounters_Processor"
extern const String CLASS_PERFLOGICALDISK;       ///< "SM_PerfCounters_LogicalDisk"
extern const String CLASS_PERFNETWORKINTERFACE;  ///< "SM_PerfCounters_NetworkInterface"
extern const String PROPERTY_NAME;               ///< "Name", the key of the three keyed classes

}  // namespace Pegasus

/// The module's entry point: a new provider object for "PerfMemoryProvider",
/// "PerfProcessorProvider", "PerfLogicalDiskProvider" or
/// "PerfNetworkInterfaceProvider" (compared without regard to case), owned by the
/// caller; null for any other name.
extern "C" PEGASUS_EXPORT Pegasus::CIMProvider* PegasusCreateProvider(
    const Pegasus::String& providerName);

#endif
