// CIMOMHandle: forwards up-calls to the backend the object manager installed.
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Provider/CIMOMHandle.h>

namespace Pegasus {

namespace {

[[noreturn]] void notSupported(const char* what) {
  throw CIMException(CIM_ERR_NOT_SUPPORTED, String(what) + " is not offered to providers");
}

CIMOMHandleBackend& unsupportedBackend() {
  static CIMOMHandleBackend backend;
  return backend;
}

}  // namespace

CIMOMHandleBackend::~CIMOMHandleBackend() = default;

CIMClass CIMOMHandleBackend::getClass(const OperationContext&, const CIMNamespaceName&,
                                      const CIMName&, Boolean, Boolean, Boolean,
                                      const CIMPropertyList&) {
  notSupported("getClass");
}

Array<CIMName> CIMOMHandleBackend::enumerateClassNames(const OperationContext&,
                                                       const CIMNamespaceName&, const CIMName&,
                                                       Boolean) {
  notSupported("enumerateClassNames");
}

CIMInstance CIMOMHandleBackend::getInstance(const OperationContext&, const CIMNamespaceName&,
                                            const CIMObjectPath&, Boolean, Boolean, Boolean,
                                            const CIMPropertyList&) {
  notSupported("getInstance");
}

Array<CIMInstance> CIMOMHandleBackend::enumerateInstances(const OperationContext&,
                                                          const CIMNamespaceName&, const CIMName&,
                                                          Boolean, Boolean, Boolean, Boolean,
                                                          const CIMPropertyList&) {
  notSupported("enumerateInstances");
}

Array<CIMObjectPath> CIMOMHandleBackend::enumerateInstanceNames(const OperationContext&,
                                                                const CIMNamespaceName&,
                                                                const CIMName&) {
  notSupported("enumerateInstanceNames");
}

CIMObjectPath CIMOMHandleBackend::createInstance(const OperationContext&, const CIMNamespaceName&,
                                                 const CIMInstance&) {
  notSupported("createInstance");
}

void CIMOMHandleBackend::modifyInstance(const OperationContext&, const CIMNamespaceName&,
                                        const CIMInstance&, Boolean, const CIMPropertyList&) {
  notSupported("modifyInstance");
}

void CIMOMHandleBackend::deleteInstance(const OperationContext&, const CIMNamespaceName&,
                                        const CIMObjectPath&) {
  notSupported("deleteInstance");
}

CIMValue CIMOMHandleBackend::invokeMethod(const OperationContext&, const CIMNamespaceName&,
                                          const CIMObjectPath&, const CIMName&,
                                          const Array<CIMParamValue>&, Array<CIMParamValue>&) {
  notSupported("invokeMethod");
}

CIMOMHandle::CIMOMHandle() = default;
CIMOMHandle::CIMOMHandle(const CIMOMHandle& handle) = default;
CIMOMHandle::~CIMOMHandle() = default;
CIMOMHandle& CIMOMHandle::operator=(const CIMOMHandle& handle) = default;
CIMOMHandle::CIMOMHandle(std::shared_ptr<CIMOMHandleBackend> backend) : _rep(std::move(backend)) {}

CIMOMHandleBackend& CIMOMHandle::_backend() const { return _rep ? *_rep : unsupportedBackend(); }

CIMClass CIMOMHandle::getClass(const OperationContext& context, const CIMNamespaceName& nameSpace,
                               const CIMName& className, Boolean localOnly,
                               Boolean includeQualifiers, Boolean includeClassOrigin,
                               const CIMPropertyList& propertyList) {
  return _backend().getClass(context, nameSpace, className, localOnly, includeQualifiers,
                             includeClassOrigin, propertyList);
}

Array<CIMClass> CIMOMHandle::enumerateClasses(const OperationContext&, const CIMNamespaceName&,
                                              const CIMName&, Boolean, Boolean, Boolean, Boolean) {
  notSupported("enumerateClasses");
}

Array<CIMName> CIMOMHandle::enumerateClassNames(const OperationContext& context,
                                                const CIMNamespaceName& nameSpace,
                                                const CIMName& className, Boolean deepInheritance) {
  return _backend().enumerateClassNames(context, nameSpace, className, deepInheritance);
}

void CIMOMHandle::createClass(const OperationContext&, const CIMNamespaceName&, const CIMClass&) {
  notSupported("createClass");
}

void CIMOMHandle::modifyClass(const OperationContext&, const CIMNamespaceName&, const CIMClass&) {
  notSupported("modifyClass");
}

void CIMOMHandle::deleteClass(const OperationContext&, const CIMNamespaceName&, const CIMName&) {
  notSupported("deleteClass");
}

CIMInstance CIMOMHandle::getInstance(const OperationContext& context,
                                     const CIMNamespaceName& nameSpace,
                                     const CIMObjectPath& instanceName, Boolean localOnly,
                                     Boolean includeQualifiers, Boolean includeClassOrigin,
                                     const CIMPropertyList& propertyList) {
  return _backend().getInstance(context, nameSpace, instanceName, localOnly, includeQualifiers,
                                includeClassOrigin, propertyList);
}

Array<CIMInstance> CIMOMHandle::enumerateInstances(
    const OperationContext& context, const CIMNamespaceName& nameSpace, const CIMName& className,
    Boolean deepInheritance, Boolean localOnly, Boolean includeQualifiers,
    Boolean includeClassOrigin, const CIMPropertyList& propertyList) {
  return _backend().enumerateInstances(context, nameSpace, className, deepInheritance, localOnly,
                                       includeQualifiers, includeClassOrigin, propertyList);
}

Array<CIMObjectPath> CIMOMHandle::enumerateInstanceNames(const OperationContext& context,
                                                         const CIMNamespaceName& nameSpace,
                                                         const CIMName& className) {
  return _backend().enumerateInstanceNames(context, nameSpace, className);
}

CIMObjectPath CIMOMHandle::createInstance(const OperationContext& context,
                                          const CIMNamespaceName& nameSpace,
                                          const CIMInstance& newInstance) {
  return _backend().createInstance(context, nameSpace, newInstance);
}

void CIMOMHandle::modifyInstance(const OperationContext& context, const CIMNamespaceName& nameSpace,
                                 const CIMInstance& modifiedInstance, Boolean includeQualifiers,
                                 const CIMPropertyList& propertyList) {
  _backend().modifyInstance(context, nameSpace, modifiedInstance, includeQualifiers, propertyList);
}

void CIMOMHandle::deleteInstance(const OperationContext& context, const CIMNamespaceName& nameSpace,
                                 const CIMObjectPath& instanceName) {
  _backend().deleteInstance(context, nameSpace, instanceName);
}

CIMValue CIMOMHandle::getProperty(const OperationContext& context,
                                  const CIMNamespaceName& nameSpace,
                                  const CIMObjectPath& instanceName, const CIMName& propertyName) {
  Array<CIMName> names;
  names.append(propertyName);
  CIMInstance inst = _backend().getInstance(context, nameSpace, instanceName, false, false, false,
                                            CIMPropertyList(names));
  Uint32 pos = inst.findProperty(propertyName);
  if (pos == PEG_NOT_FOUND) throw CIMException(CIM_ERR_NO_SUCH_PROPERTY, propertyName.getString());
  return inst.getProperty(pos).getValue();
}

void CIMOMHandle::setProperty(const OperationContext& context, const CIMNamespaceName& nameSpace,
                              const CIMObjectPath& instanceName, const CIMName& propertyName,
                              const CIMValue& newValue) {
  CIMInstance inst(instanceName.getClassName());
  inst.setPath(instanceName);
  inst.addProperty(CIMProperty(propertyName, newValue));
  Array<CIMName> names;
  names.append(propertyName);
  _backend().modifyInstance(context, nameSpace, inst, false, CIMPropertyList(names));
}

CIMValue CIMOMHandle::invokeMethod(const OperationContext& context,
                                   const CIMNamespaceName& nameSpace,
                                   const CIMObjectPath& instanceName, const CIMName& methodName,
                                   const Array<CIMParamValue>& inParameters,
                                   Array<CIMParamValue>& outParameters) {
  return _backend().invokeMethod(context, nameSpace, instanceName, methodName, inParameters,
                                 outParameters);
}

void CIMOMHandle::disallowProviderUnload() {}
void CIMOMHandle::allowProviderUnload() {}

}  // namespace Pegasus
