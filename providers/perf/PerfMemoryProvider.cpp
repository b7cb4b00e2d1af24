#include "PerfMemoryProvider.h"

#include "PerfCountersMain.h"
#include "PerfMemory.h"
#include "PerfProviderSupport.h"
#include "xfile.h"

namespace Pegasus {

namespace {

using perfsupport::AddUint32;
using perfsupport::AddUint64;

CIMInstance BuildMemoryInstance() {
  PerfMemory memory;
  std::uint64_t free = 0, shared = 0, buffers = 0, cached = 0;
  memory.getAvailableBytes(free, shared, buffers, cached);
  std::uint64_t pagesIn = 0, pagesOut = 0;
  memory.getPagesNumber(pagesIn, pagesOut);
  std::uint64_t jiffies = 0, ticks = 0;
  getTimestamp(jiffies, ticks);

  CIMInstance instance{CIMName(CLASS_PERFMEMORY)};
  perfsupport::AddClocks(instance, jiffies, ticks);
  AddUint64(instance, "AvailableBytes", free);
  AddUint64(instance, "AvailableKBytes", free >> 10);
  AddUint64(instance, "AvailableMBytes", free >> 20);
  AddUint64(instance, "KernelBufferBytes", buffers);
  AddUint64(instance, "KernelCachedBytes", cached);
  AddUint32(instance, "PagesInputPersec", pagesIn);
  AddUint32(instance, "PagesOutputPersec", pagesOut);
  // A 32-bit sum of the two 32-bit counters, as a client differencing it expects.
  AddUint32(instance, "PagesPersec",
            static_cast<std::uint32_t>(pagesIn) + static_cast<std::uint32_t>(pagesOut));
  instance.setPath(CIMObjectPath(String(), CIMNamespaceName(), CIMName(CLASS_PERFMEMORY)));
  return instance;
}

}  // namespace

void PerfMemoryProvider::getInstance(const OperationContext&, const CIMObjectPath&, const Boolean,
                                     const Boolean, const CIMPropertyList&,
                                     InstanceResponseHandler& handler) {
  // The class has one instance and no key: any request path names it.
  handler.processing();
  handler.deliver(BuildMemoryInstance());
  handler.complete();
}

void PerfMemoryProvider::enumerateInstances(const OperationContext&, const CIMObjectPath&,
                                            const Boolean, const Boolean, const CIMPropertyList&,
                                            InstanceResponseHandler& handler) {
  const CIMInstance instance = BuildMemoryInstance();
  handler.processing();
  handler.deliver(instance);
  handler.complete();
}

void PerfMemoryProvider::enumerateInstanceNames(const OperationContext&, const CIMObjectPath&,
                                                ObjectPathResponseHandler& handler) {
  handler.processing();
  handler.deliver(CIMObjectPath(CLASS_PERFMEMORY));
  handler.complete();
}

}  // namespace Pegasus
