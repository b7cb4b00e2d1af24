// The operations the CIM-XML front end dispatches to. The object manager's
// provider host implements them (HostOperations adapts it); tests substitute a
// scripted implementation to reach every error path without provider modules.
#ifndef MGMT_CIMOM_CIMOPERATIONS_H
#define MGMT_CIMOM_CIMOPERATIONS_H

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/OperationContext.h>

namespace mgmt::cimom {

/// Result of an extrinsic method.
struct MethodOutcome {
  Pegasus::CIMValue returnValue;  ///< null when the provider returned none
  Pegasus::Array<Pegasus::CIMParamValue> outParameters;
};

/// Every member may throw Pegasus::CIMException (the code reaches the client);
/// anything else thrown becomes CIM_ERR_FAILED.
class CimOperations {
 public:
  virtual ~CimOperations() = default;
  using Ctx = Pegasus::OperationContext;
  using Ns = Pegasus::CIMNamespaceName;

  virtual Pegasus::Array<Pegasus::CIMInstance> EnumerateInstances(
      const Ctx&, const Ns&, const Pegasus::CIMName& className, bool deepInheritance,
      bool localOnly, bool includeQualifiers, bool includeClassOrigin,
      const Pegasus::CIMPropertyList&) = 0;
  virtual Pegasus::Array<Pegasus::CIMObjectPath> EnumerateInstanceNames(
      const Ctx&, const Ns&, const Pegasus::CIMName& className) = 0;
  virtual Pegasus::CIMInstance GetInstance(const Ctx&, const Ns&,
                                           const Pegasus::CIMObjectPath& name, bool localOnly,
                                           bool includeQualifiers, bool includeClassOrigin,
                                           const Pegasus::CIMPropertyList&) = 0;
  virtual void ModifyInstance(const Ctx&, const Ns&, const Pegasus::CIMInstance& modified,
                              bool includeQualifiers, const Pegasus::CIMPropertyList&) = 0;
  virtual Pegasus::CIMObjectPath CreateInstance(const Ctx&, const Ns&,
                                                const Pegasus::CIMInstance& instance) = 0;
  virtual void DeleteInstance(const Ctx&, const Ns&, const Pegasus::CIMObjectPath& name) = 0;
  virtual MethodOutcome InvokeMethod(const Ctx&, const Ns&, const Pegasus::CIMObjectPath& object,
                                     const Pegasus::CIMName& method,
                                     const Pegasus::Array<Pegasus::CIMParamValue>& in) = 0;
  virtual Pegasus::CIMClass GetClass(const Ctx&, const Ns&, const Pegasus::CIMName& className,
                                     bool localOnly, bool includeQualifiers,
                                     bool includeClassOrigin, const Pegasus::CIMPropertyList&) = 0;
  virtual Pegasus::Array<Pegasus::CIMName> EnumerateClassNames(const Ctx&, const Ns&,
                                                               const Pegasus::CIMName& className,
                                                               bool deepInheritance) = 0;
  virtual Pegasus::Array<Pegasus::CIMClass> EnumerateClasses(const Ctx&, const Ns&,
                                                             const Pegasus::CIMName& className,
                                                             bool deepInheritance, bool localOnly,
                                                             bool includeQualifiers,
                                                             bool includeClassOrigin) = 0;
};

}  // namespace mgmt::cimom

#endif
