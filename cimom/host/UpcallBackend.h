// Provider up-calls (CIMOMHandle) served by the host itself.
#ifndef MGMT_CIMOM_HOST_UPCALLBACKEND_H
#define MGMT_CIMOM_HOST_UPCALLBACKEND_H

#include <Pegasus/Provider/CIMOMHandle.h>

#include <shared_mutex>

namespace mgmt::cimom {

class HostCore;

/// Forwards a provider's CIMOMHandle calls to the host's operations. Detached
/// when the host goes away; a provider that kept its handle then gets CIM_ERR_FAILED.
class UpcallBackend final : public Pegasus::CIMOMHandleBackend {
 public:
  explicit UpcallBackend(HostCore& core) : core_(&core) {}
  void Detach();

  Pegasus::CIMClass getClass(const Pegasus::OperationContext& context,
                             const Pegasus::CIMNamespaceName& nameSpace,
                             const Pegasus::CIMName& className, Pegasus::Boolean localOnly,
                             Pegasus::Boolean includeQualifiers,
                             Pegasus::Boolean includeClassOrigin,
                             const Pegasus::CIMPropertyList& propertyList) override;
  Pegasus::Array<Pegasus::CIMName> enumerateClassNames(const Pegasus::OperationContext& context,
                                                       const Pegasus::CIMNamespaceName& nameSpace,
                                                       const Pegasus::CIMName& className,
                                                       Pegasus::Boolean deepInheritance) override;
  Pegasus::CIMInstance getInstance(const Pegasus::OperationContext& context,
                                   const Pegasus::CIMNamespaceName& nameSpace,
                                   const Pegasus::CIMObjectPath& instanceName,
                                   Pegasus::Boolean localOnly, Pegasus::Boolean includeQualifiers,
                                   Pegasus::Boolean includeClassOrigin,
                                   const Pegasus::CIMPropertyList& propertyList) override;
  Pegasus::Array<Pegasus::CIMInstance> enumerateInstances(
      const Pegasus::OperationContext& context, const Pegasus::CIMNamespaceName& nameSpace,
      const Pegasus::CIMName& className, Pegasus::Boolean deepInheritance,
      Pegasus::Boolean localOnly, Pegasus::Boolean includeQualifiers,
      Pegasus::Boolean includeClassOrigin, const Pegasus::CIMPropertyList& propertyList) override;
  Pegasus::Array<Pegasus::CIMObjectPath> enumerateInstanceNames(
      const Pegasus::OperationContext& context, const Pegasus::CIMNamespaceName& nameSpace,
      const Pegasus::CIMName& className) override;
  Pegasus::CIMObjectPath createInstance(const Pegasus::OperationContext& context,
                                        const Pegasus::CIMNamespaceName& nameSpace,
                                        const Pegasus::CIMInstance& newInstance) override;
  void modifyInstance(const Pegasus::OperationContext& context,
                      const Pegasus::CIMNamespaceName& nameSpace,
                      const Pegasus::CIMInstance& modifiedInstance,
                      Pegasus::Boolean includeQualifiers,
                      const Pegasus::CIMPropertyList& propertyList) override;
  void deleteInstance(const Pegasus::OperationContext& context,
                      const Pegasus::CIMNamespaceName& nameSpace,
                      const Pegasus::CIMObjectPath& instanceName) override;
  Pegasus::CIMValue invokeMethod(const Pegasus::OperationContext& context,
                                 const Pegasus::CIMNamespaceName& nameSpace,
                                 const Pegasus::CIMObjectPath& instanceName,
                                 const Pegasus::CIMName& methodName,
                                 const Pegasus::Array<Pegasus::CIMParamValue>& inParameters,
                                 Pegasus::Array<Pegasus::CIMParamValue>& outParameters) override;

 private:
  template <class Op>
  decltype(auto) Call(Op&& op);

  std::shared_mutex lock_;
  HostCore* core_;
};

}  // namespace mgmt::cimom

#endif
