#include "NetworkAdapterProvider.h"

#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Provider/ProviderException.h>

using namespace Pegasus;

namespace mgmt::cimom {
namespace {

String Text(const std::string& s) { return String(s.c_str()); }

/// The path as the provider compares it: class and keys only.
CIMObjectPath LocalPath(const CIMObjectPath& path) {
  return CIMObjectPath(String(), CIMNamespaceName(), path.getClassName(), path.getKeyBindings());
}

}  // namespace

void NetworkAdapterProvider::initialize(CIMOMHandle&) {}
void NetworkAdapterProvider::terminate() {}

CIMInstance NetworkAdapterProvider::BuildInstance(const NetInterface& iface,
                                                  const std::string& hostName) {
  CIMInstance inst{CIMName(kNetworkAdapterClass)};
  inst.addProperty(
      CIMProperty(CIMName("CreationClassName"), CIMValue(String(kNetworkAdapterClass))));
  inst.addProperty(CIMProperty(CIMName("DeviceID"), CIMValue(Text(iface.name))));
  inst.addProperty(
      CIMProperty(CIMName("SystemCreationClassName"), CIMValue(String(kComputerSystemClass))));
  inst.addProperty(CIMProperty(CIMName("SystemName"), CIMValue(Text(hostName))));
  inst.addProperty(CIMProperty(CIMName("Name"), CIMValue(Text(iface.name))));
  inst.addProperty(CIMProperty(CIMName("ElementName"), CIMValue(Text(iface.name))));
  inst.addProperty(CIMProperty(CIMName("MACAddress"), CIMValue(Text(iface.mac))));
  Array<String> addresses;
  for (const std::string& a : iface.ipv4) addresses.append(Text(a));
  inst.addProperty(CIMProperty(CIMName("NetworkAddresses"), CIMValue(addresses)));

  Array<CIMKeyBinding> keys;
  keys.append(CIMKeyBinding(CIMName("CreationClassName"), String(kNetworkAdapterClass),
                            CIMKeyBinding::STRING));
  keys.append(CIMKeyBinding(CIMName("DeviceID"), Text(iface.name), CIMKeyBinding::STRING));
  keys.append(CIMKeyBinding(CIMName("SystemCreationClassName"), String(kComputerSystemClass),
                            CIMKeyBinding::STRING));
  keys.append(CIMKeyBinding(CIMName("SystemName"), Text(hostName), CIMKeyBinding::STRING));
  inst.setPath(CIMObjectPath(String(), CIMNamespaceName(), CIMName(kNetworkAdapterClass), keys));
  return inst;
}

void NetworkAdapterProvider::getInstance(const OperationContext&,
                                         const CIMObjectPath& instanceReference, const Boolean,
                                         const Boolean, const CIMPropertyList&,
                                         InstanceResponseHandler& handler) {
  handler.processing();
  const CIMObjectPath wanted = LocalPath(instanceReference);
  const std::string host = HostNameForCim();
  for (const NetInterface& iface : ReadNetInterfaces()) {
    CIMInstance inst = BuildInstance(iface, host);
    if (inst.getPath() == wanted) {
      handler.deliver(inst);
      break;
    }
  }
  handler.complete();
}

void NetworkAdapterProvider::enumerateInstances(const OperationContext&, const CIMObjectPath&,
                                                const Boolean, const Boolean,
                                                const CIMPropertyList&,
                                                InstanceResponseHandler& handler) {
  handler.processing();
  const std::string host = HostNameForCim();
  for (const NetInterface& iface : ReadNetInterfaces()) handler.deliver(BuildInstance(iface, host));
  handler.complete();
}

void NetworkAdapterProvider::enumerateInstanceNames(const OperationContext&, const CIMObjectPath&,
                                                    ObjectPathResponseHandler& handler) {
  handler.processing();
  const std::string host = HostNameForCim();
  for (const NetInterface& iface : ReadNetInterfaces())
    handler.deliver(BuildInstance(iface, host).getPath());
  handler.complete();
}

void NetworkAdapterProvider::modifyInstance(const OperationContext&, const CIMObjectPath&,
                                            const CIMInstance&, const Boolean,
                                            const CIMPropertyList&, ResponseHandler&) {
  throw CIMNotSupportedException("CIM_NetworkAdapter::modifyInstance");
}

void NetworkAdapterProvider::createInstance(const OperationContext&, const CIMObjectPath&,
                                            const CIMInstance&, ObjectPathResponseHandler&) {
  throw CIMNotSupportedException("CIM_NetworkAdapter::createInstance");
}

void NetworkAdapterProvider::deleteInstance(const OperationContext&, const CIMObjectPath&,
                                            ResponseHandler&) {
  throw CIMNotSupportedException("CIM_NetworkAdapter::deleteInstance");
}

}  // namespace mgmt::cimom
