#include "DmiProvider.h"

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Provider/ProviderException.h>

#include <mutex>
#include <string>

#include "BiosDeviceProvider.h"
#include "DmiLog.h"
#include "DmiText.h"

namespace Pegasus {

void DmiProvider::getInstance(const OperationContext&, const CIMObjectPath& instanceReference,
                              const Boolean, const Boolean, const CIMPropertyList&,
                              InstanceResponseHandler& handler) {
  // The stored paths have no host and no namespace; the request's carries both.
  const CIMObjectPath lookup(String(), CIMNamespaceName(), instanceReference.getClassName(),
                             instanceReference.getKeyBindings());
  handler.processing();
  for (Uint32 i = 0; i < instanceNames.size(); ++i) {
    if (instanceNames[i] == lookup) {
      handler.deliver(instances[i]);
      break;
    }
  }
  handler.complete();
}

void DmiProvider::enumerateInstances(const OperationContext&, const CIMObjectPath&, const Boolean,
                                     const Boolean, const CIMPropertyList&,
                                     InstanceResponseHandler& handler) {
  handler.processing();
  for (const auto& instance : instances) handler.deliver(instance);
  handler.complete();
}

void DmiProvider::enumerateInstanceNames(const OperationContext&, const CIMObjectPath&,
                                         ObjectPathResponseHandler& handler) {
  handler.processing();
  for (const auto& path : instanceNames) handler.deliver(path);
  handler.complete();
}

void DmiProvider::modifyInstance(const OperationContext&, const CIMObjectPath&, const CIMInstance&,
                                 const Boolean, const CIMPropertyList&, ResponseHandler&) {
  throw CIMNotSupportedException(String());
}

void DmiProvider::createInstance(const OperationContext&, const CIMObjectPath&, const CIMInstance&,
                                 ObjectPathResponseHandler&) {
  throw CIMNotSupportedException(String());
}

void DmiProvider::deleteInstance(const OperationContext&, const CIMObjectPath&, ResponseHandler&) {
  throw CIMNotSupportedException(String());
}

void DmiProvider::Append(CIMInstance instance, std::initializer_list<const char*> keys) {
  const CIMObjectPath path = mgmt::dmi::KeyedPath(instance, keys);
  instance.setPath(path);
  instanceNames.append(path);
  instances.append(instance);
}

void SmbiosProvider::initialize(CIMOMHandle&) {
  const std::lock_guard lock(mgmt::dmi::DmiTableMutex());
  if (initialized_) return;
  initialized_ = true;
  ++g_nBIOSBufUsedNum;
  if (g_pBIOSBufContent == nullptr) {
    mgmt::dmi::LogError(std::string("ERROR, ") + ClassName() +
                        "::initialize(): no mgmtdrv buffer\n");
    return;
  }
  Parse(g_pBIOSBufContent, g_nBIOSBufSize);
}

void SmbiosProvider::terminate() {
  const std::lock_guard lock(mgmt::dmi::DmiTableMutex());
  // Only a provider that counted itself in gives its share back, once.
  if (!initialized_) return;
  initialized_ = false;
  if (--g_nBIOSBufUsedNum <= 0) {
    g_nBIOSBufUsedNum = 0;
    mgmt::dmi::DiscardDmiTable();
  }
}

}  // namespace Pegasus
