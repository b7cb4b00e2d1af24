// The skeleton the nine inventory providers share: the two lists built once in
// initialize (every instance and its keyed path), the read operations served from
// them, and the refused writes. SmbiosProvider adds the table-based initialize
// and terminate of the eight classes made from the SMBIOS table.
#ifndef MGMT_PROVIDERS_DMI_DMIPROVIDER_H
#define MGMT_PROVIDERS_DMI_DMIPROVIDER_H

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMOMHandle.h>

#include <initializer_list>

namespace Pegasus {

class DmiProvider : public CIMInstanceProvider {
 public:
  DmiProvider() = default;
  ~DmiProvider() override = default;

  /// Delivers the first instance whose path equals the request's path with an
  /// empty host and namespace; nothing (and no error) when none does.
  void getInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                   const Boolean includeQualifiers, const Boolean includeClassOrigin,
                   const CIMPropertyList& propertyList, InstanceResponseHandler& handler) override;
  /// Every instance, in list order, unfiltered.
  void enumerateInstances(const OperationContext& context, const CIMObjectPath& classReference,
                          const Boolean includeQualifiers, const Boolean includeClassOrigin,
                          const CIMPropertyList& propertyList,
                          InstanceResponseHandler& handler) override;
  void enumerateInstanceNames(const OperationContext& context, const CIMObjectPath& classReference,
                              ObjectPathResponseHandler& handler) override;
  /// The three writes throw CIMNotSupportedException with an empty message.
  void modifyInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      const CIMInstance& instanceObject, const Boolean includeQualifiers,
                      const CIMPropertyList& propertyList, ResponseHandler& handler) override;
  void createInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      const CIMInstance& instanceObject,
                      ObjectPathResponseHandler& handler) override;
  void deleteInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      ResponseHandler& handler) override;

 protected:
  /// Sets the instance's path from its `keys` properties and appends both.
  void Append(CIMInstance instance, std::initializer_list<const char*> keys);

  Array<CIMObjectPath> instanceNames;
  Array<CIMInstance> instances;
};

/// A provider built from the SMBIOS table: initialize counts it as a user of the
/// module's table and parses the table under the table's lock (so no terminate
/// frees it meanwhile); terminate releases its share, and the last user frees it.
class SmbiosProvider : public DmiProvider {
 public:
  void initialize(CIMOMHandle& cimom) override;
  void terminate() override;

 protected:
  /// The class name for the "no mgmtdrv buffer" message.
  virtual const char* ClassName() const = 0;
  /// Calls the class's parseDmiV2.
  virtual void Parse(unsigned char* table, unsigned long length) = 0;

 private:
  bool initialized_ = false;
};

}  // namespace Pegasus

#endif
