#include "StorageProvider.h"

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Provider/ProviderException.h>

namespace Pegasus {

namespace {

/// The collector's mutex from processing() to complete(), also when a handler
/// throws halfway through a walk.
class Walk {
 public:
  Walk() { StorageData::processing(); }
  ~Walk() { StorageData::complete(); }
  Walk(const Walk&) = delete;
  Walk& operator=(const Walk&) = delete;
};

}  // namespace

StorageProvider::StorageProvider(int type, const String& className)
    : type_(type), className_(className) {}

StorageProvider::~StorageProvider() = default;

void StorageProvider::initialize(CIMOMHandle&) {
  auto storage = std::make_unique<StorageData>();
  storage->initialize();
  storage_ = std::move(storage);
}

void StorageProvider::terminate() {
  if (!storage_) return;
  storage_->terminate();
  storage_.reset();
}

void StorageProvider::getInstance(const OperationContext&, const CIMObjectPath& instanceReference,
                                  const Boolean, const Boolean, const CIMPropertyList&,
                                  InstanceResponseHandler& handler) {
  // Instance paths are local (no host, no namespace); the request's is made so.
  const CIMObjectPath local(String(), CIMNamespaceName(), instanceReference.getClassName(),
                            instanceReference.getKeyBindings());
  handler.processing();
  getStorInv();
  {
    Walk walk;
    if (const CIMInstance* instance = StorageData::GetStorageData(local, type_)) {
      handler.deliver(*instance);
    }
  }
  handler.complete();
}

void StorageProvider::enumerateInstances(const OperationContext&, const CIMObjectPath&,
                                         const Boolean, const Boolean, const CIMPropertyList&,
                                         InstanceResponseHandler& handler) {
  handler.processing();
  getStorInv();
  {
    Walk walk;
    for (const CIMInstance* i = StorageData::GetFirstStorageData(type_); i != nullptr;
         i = StorageData::GetNextStorageData(type_)) {
      handler.deliver(*i);
    }
  }
  handler.complete();
}

void StorageProvider::enumerateInstanceNames(const OperationContext&, const CIMObjectPath&,
                                             ObjectPathResponseHandler& handler) {
  handler.processing();
  getStorInv();
  {
    Walk walk;
    for (const CIMInstance* i = StorageData::GetFirstStorageData(type_); i != nullptr;
         i = StorageData::GetNextStorageData(type_)) {
      handler.deliver(i->getPath());
    }
  }
  handler.complete();
}

void StorageProvider::modifyInstance(const OperationContext&, const CIMObjectPath&,
                                     const CIMInstance&, const Boolean, const CIMPropertyList&,
                                     ResponseHandler&) {
  refuse("modifyInstance");
}

void StorageProvider::createInstance(const OperationContext&, const CIMObjectPath&,
                                     const CIMInstance&, ObjectPathResponseHandler&) {
  refuse("createInstance");
}

void StorageProvider::deleteInstance(const OperationContext&, const CIMObjectPath&,
                                     ResponseHandler&) {
  refuse("deleteInstance");
}

void StorageProvider::refuse(const char* operation) const {
  String message(className_);
  message.append("::");
  message.append(operation);
  throw CIMNotSupportedException(message);
}

}  // namespace Pegasus
