// The object manager's own provider of CIM_NetworkAdapter: one instance per
// network interface of the host, read afresh on every request. This is what the
// BMC library's network discovery (connectLocal + enumerateInstances) asks for.
#ifndef MGMT_CIMOM_HOST_NETWORKADAPTERPROVIDER_H
#define MGMT_CIMOM_HOST_NETWORKADAPTERPROVIDER_H

#include "NetInterfaces.h"

#include <Pegasus/Provider/CIMInstanceProvider.h>

namespace mgmt::cimom {

inline constexpr const char* kNetworkAdapterClass = "CIM_NetworkAdapter";
inline constexpr const char* kComputerSystemClass = "CIM_ComputerSystem";

/// Keys: CreationClassName ("CIM_NetworkAdapter"), DeviceID (interface name),
/// SystemCreationClassName ("CIM_ComputerSystem"), SystemName (host name).
/// Also Name, ElementName, MACAddress (twelve hex digits, "" when the interface has
/// no Ethernet address) and NetworkAddresses (its IPv4 addresses). Read-only.
class NetworkAdapterProvider : public Pegasus::CIMInstanceProvider {
 public:
  void initialize(Pegasus::CIMOMHandle& cimom) override;
  void terminate() override;

  void getInstance(const Pegasus::OperationContext& context,
                   const Pegasus::CIMObjectPath& instanceReference,
                   const Pegasus::Boolean includeQualifiers,
                   const Pegasus::Boolean includeClassOrigin,
                   const Pegasus::CIMPropertyList& propertyList,
                   Pegasus::InstanceResponseHandler& handler) override;
  void enumerateInstances(const Pegasus::OperationContext& context,
                          const Pegasus::CIMObjectPath& classReference,
                          const Pegasus::Boolean includeQualifiers,
                          const Pegasus::Boolean includeClassOrigin,
                          const Pegasus::CIMPropertyList& propertyList,
                          Pegasus::InstanceResponseHandler& handler) override;
  void enumerateInstanceNames(const Pegasus::OperationContext& context,
                              const Pegasus::CIMObjectPath& classReference,
                              Pegasus::ObjectPathResponseHandler& handler) override;
  void modifyInstance(const Pegasus::OperationContext& context,
                      const Pegasus::CIMObjectPath& instanceReference,
                      const Pegasus::CIMInstance& instanceObject,
                      const Pegasus::Boolean includeQualifiers,
                      const Pegasus::CIMPropertyList& propertyList,
                      Pegasus::ResponseHandler& handler) override;
  void createInstance(const Pegasus::OperationContext& context,
                      const Pegasus::CIMObjectPath& instanceReference,
                      const Pegasus::CIMInstance& instanceObject,
                      Pegasus::ObjectPathResponseHandler& handler) override;
  void deleteInstance(const Pegasus::OperationContext& context,
                      const Pegasus::CIMObjectPath& instanceReference,
                      Pegasus::ResponseHandler& handler) override;

  /// The instance of one interface (path set, no namespace).
  static Pegasus::CIMInstance BuildInstance(const NetInterface& iface, const std::string& hostName);
};

}  // namespace mgmt::cimom

#endif
