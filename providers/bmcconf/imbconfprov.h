// HM_IPMIConfiguration: the instance and method provider of the classes
// HM_IPMIConfiguration (one instance, the BMC-wide settings) and
// HM_BMCChannelConfiguration (one instance per configured LAN channel, at most
// four). Every read rebuilds both classes from the configuration files; a
// modification re-reads the files under the configuration lock, applies the
// client's checked values, writes them back and starts bmcsetup.
#ifndef MGMT_PROVIDERS_BMCCONF_IMBCONFPROV_H
#define MGMT_PROVIDERS_BMCCONF_IMBCONFPROV_H

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMMethodProvider.h>
#include <Pegasus/Provider/CIMOMHandle.h>

#include "imbconfinst.h"
#include "synchcim.h"

namespace Pegasus {

/// Set by the first initialize of an HM_IPMIConfiguration in the process,
/// cleared by terminate.
extern int g_initialized;

class HM_IPMIConfiguration : public CIMInstanceProvider, public CIMMethodProvider {
 public:
  HM_IPMIConfiguration();
  ~HM_IPMIConfiguration() override;

  /// Sets the platform from smbiosinfo's platform type (once per process).
  void initialize(CIMOMHandle& cimom) override;
  void terminate() override;
  /// The built instance whose path equals the request's; nothing (not found)
  /// when none does.
  void getInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                   const Boolean includeQualifiers, const Boolean includeClassOrigin,
                   const CIMPropertyList& propertyList, InstanceResponseHandler& handler) override;
  void enumerateInstances(const OperationContext& context, const CIMObjectPath& classReference,
                          const Boolean includeQualifiers, const Boolean includeClassOrigin,
                          const CIMPropertyList& propertyList,
                          InstanceResponseHandler& handler) override;
  void enumerateInstanceNames(const OperationContext& context, const CIMObjectPath& classReference,
                              ObjectPathResponseHandler& handler) override;
  /// Throws CIMOperationFailedException when the configuration cannot be
  /// locked or written, or bmcsetup cannot be started.
  void modifyInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      const CIMInstance& instanceObject, const Boolean includeQualifiers,
                      const CIMPropertyList& propertyList, ResponseHandler& handler) override;
  /// Both throw CIMNotSupportedException.
  void createInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      const CIMInstance& instanceObject,
                      ObjectPathResponseHandler& handler) override;
  void deleteInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      ResponseHandler& handler) override;
  /// "TestTrap" returns true; any other method delivers nothing.
  void invokeMethod(const OperationContext& context, const CIMObjectPath& objectReference,
                    const CIMName& methodName, const Array<CIMParamValue>& inParameters,
                    MethodResultResponseHandler& handler) override;

  /// The provider's lock (every operation but initialize, terminate and the
  /// two refused ones holds it for its whole run).
  void lock() { synch_.lock(); }
  void unlock() { synch_.unlock(); }

 private:
  /// Rebuilds the instances of both classes when `className` is one of them.
  void formInstances(const CIMName& className);
  void ModifyChannel(const CIMObjectPath& path, const CIMInstance& instance);

  IPMIConf conf_;
  Array<CIMObjectPath> ipmiPaths_;
  Array<CIMInstance> ipmiInstances_;
  Array<CIMObjectPath> channelPaths_;
  Array<CIMInstance> channelInstances_;
  SynchCIMOp synch_;
};

/// Appends a key binding of `propertyName` with the property's value when the
/// instance has the property.
void formKeyBindingFromProperty(const CIMInstance& instance, Array<CIMKeyBinding>& keys,
                                const char* propertyName);

}  // namespace Pegasus

#endif
