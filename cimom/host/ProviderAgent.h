// The narrow interface between operation routing and one provider.
//
// The router only ever talks to providers through this interface, with plain
// values in and out (no response handlers, no provider pointers), so that a
// provider can later run in a separate agent process behind the same interface.
// Implementations report every failure as a Pegasus::CIMException, and return
// instances that are private copies, shared with no provider.
#ifndef MGMT_CIMOM_HOST_PROVIDERAGENT_H
#define MGMT_CIMOM_HOST_PROVIDERAGENT_H

#include "ProviderHost.h"

#include <optional>
#include <string>

namespace mgmt::cimom {

class ProviderAgent {
 public:
  virtual ~ProviderAgent() = default;

  /// "<provider name> (<module>)", for log lines and error messages.
  virtual const std::string& Describe() const = 0;

  virtual Pegasus::Array<Pegasus::CIMInstance> EnumerateInstances(
      const Pegasus::OperationContext& context, const Pegasus::CIMObjectPath& classPath,
      Pegasus::Boolean includeQualifiers, Pegasus::Boolean includeClassOrigin,
      const Pegasus::CIMPropertyList& propertyList) = 0;

  virtual Pegasus::Array<Pegasus::CIMObjectPath> EnumerateInstanceNames(
      const Pegasus::OperationContext& context, const Pegasus::CIMObjectPath& classPath) = 0;

  /// Nothing when the provider completed without delivering an instance.
  virtual std::optional<Pegasus::CIMInstance> GetInstance(
      const Pegasus::OperationContext& context, const Pegasus::CIMObjectPath& instancePath,
      Pegasus::Boolean includeQualifiers, Pegasus::Boolean includeClassOrigin,
      const Pegasus::CIMPropertyList& propertyList) = 0;

  virtual void ModifyInstance(const Pegasus::OperationContext& context,
                              const Pegasus::CIMObjectPath& instancePath,
                              const Pegasus::CIMInstance& modifiedInstance,
                              Pegasus::Boolean includeQualifiers,
                              const Pegasus::CIMPropertyList& propertyList) = 0;

  virtual Pegasus::CIMObjectPath CreateInstance(const Pegasus::OperationContext& context,
                                                const Pegasus::CIMObjectPath& instancePath,
                                                const Pegasus::CIMInstance& newInstance) = 0;

  virtual void DeleteInstance(const Pegasus::OperationContext& context,
                              const Pegasus::CIMObjectPath& instancePath) = 0;

  virtual MethodResult InvokeMethod(const Pegasus::OperationContext& context,
                                    const Pegasus::CIMObjectPath& objectPath,
                                    const Pegasus::CIMName& methodName,
                                    const Pegasus::Array<Pegasus::CIMParamValue>& inParameters) = 0;

  /// Terminates and releases the provider if it was loaded. Operations after
  /// Stop() fail with CIM_ERR_FAILED. Never throws.
  virtual void Stop() noexcept = 0;
};

}  // namespace mgmt::cimom

#endif
