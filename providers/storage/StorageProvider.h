// The one skeleton of the five storage providers: a read-only instance provider
// of one class, answering from the collector's instance array of its type after
// a full refresh at the start of every request.
#ifndef MGMT_PROVIDERS_STORAGE_STORAGEPROVIDER_H
#define MGMT_PROVIDERS_STORAGE_STORAGEPROVIDER_H

#include <Pegasus/Common/String.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMOMHandle.h>

#include <memory>

#include "StorageData.h"

namespace Pegasus {

class StorageProvider : public CIMInstanceProvider {
 public:
  ~StorageProvider() override;

  /// Makes the provider's StorageData and resolves the host name; lets the
  /// collector's CIMOperationFailedException through.
  void initialize(CIMOMHandle& cimom) override;
  /// Empties the instance arrays and drops the StorageData.
  void terminate() override;

  /// The instance whose four keys the request path carries; nothing (not found)
  /// when there is none.
  void getInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                   const Boolean includeQualifiers, const Boolean includeClassOrigin,
                   const CIMPropertyList& propertyList, InstanceResponseHandler& handler) override;
  /// Every instance with all its properties (the flags and list are applied by
  /// the object manager).
  void enumerateInstances(const OperationContext& context, const CIMObjectPath& classReference,
                          const Boolean includeQualifiers, const Boolean includeClassOrigin,
                          const CIMPropertyList& propertyList,
                          InstanceResponseHandler& handler) override;
  /// The keyed path of every instance.
  void enumerateInstanceNames(const OperationContext& context, const CIMObjectPath& classReference,
                              ObjectPathResponseHandler& handler) override;
  /// Each throws CIMNotSupportedException "<class>::<operation>".
  void modifyInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      const CIMInstance& instanceObject, const Boolean includeQualifiers,
                      const CIMPropertyList& propertyList, ResponseHandler& handler) override;
  void createInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      const CIMInstance& instanceObject,
                      ObjectPathResponseHandler& handler) override;
  void deleteInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      ResponseHandler& handler) override;

  int type() const { return type_; }
  const String& className() const { return className_; }

 protected:
  /// `type` is the collector's type code, `className` the CIM class served.
  StorageProvider(int type, const String& className);

 private:
  [[noreturn]] void refuse(const char* operation) const;

  std::unique_ptr<StorageData> storage_;
  int type_;
  String className_;
};

}  // namespace Pegasus

#endif
