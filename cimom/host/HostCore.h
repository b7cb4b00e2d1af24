// The provider host behind ProviderHost: lifecycle, request routing and the
// object manager's rules applied to what providers deliver.
#ifndef MGMT_CIMOM_HOST_HOSTCORE_H
#define MGMT_CIMOM_HOST_HOSTCORE_H

#include "ClassRepository.h"
#include "ModuleLibrary.h"
#include "ProviderHost.h"
#include "RoutingTable.h"

#include <Pegasus/Provider/CIMOMHandle.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace mgmt::cimom {

class UpcallBackend;

class HostCore {
 public:
  explicit HostCore(HostConfig config);
  ~HostCore();

  void start();
  void shutdown();

  Pegasus::Array<Pegasus::CIMInstance> enumerateInstances(
      const Pegasus::OperationContext& context, const Pegasus::CIMNamespaceName& nameSpace,
      const Pegasus::CIMName& className, bool deepInheritance, bool includeQualifiers,
      bool includeClassOrigin, const Pegasus::CIMPropertyList& propertyList);
  Pegasus::Array<Pegasus::CIMObjectPath> enumerateInstanceNames(
      const Pegasus::OperationContext& context, const Pegasus::CIMNamespaceName& nameSpace,
      const Pegasus::CIMName& className);
  Pegasus::CIMInstance getInstance(const Pegasus::OperationContext& context,
                                   const Pegasus::CIMNamespaceName& nameSpace,
                                   const Pegasus::CIMObjectPath& instanceName,
                                   bool includeQualifiers, bool includeClassOrigin,
                                   const Pegasus::CIMPropertyList& propertyList);
  void modifyInstance(const Pegasus::OperationContext& context,
                      const Pegasus::CIMNamespaceName& nameSpace,
                      const Pegasus::CIMInstance& modifiedInstance, bool includeQualifiers,
                      const Pegasus::CIMPropertyList& propertyList);
  Pegasus::CIMObjectPath createInstance(const Pegasus::OperationContext& context,
                                        const Pegasus::CIMNamespaceName& nameSpace,
                                        const Pegasus::CIMInstance& newInstance);
  void deleteInstance(const Pegasus::OperationContext& context,
                      const Pegasus::CIMNamespaceName& nameSpace,
                      const Pegasus::CIMObjectPath& instanceName);
  MethodResult invokeMethod(const Pegasus::OperationContext& context,
                            const Pegasus::CIMNamespaceName& nameSpace,
                            const Pegasus::CIMObjectPath& objectName,
                            const Pegasus::CIMName& methodName,
                            const Pegasus::Array<Pegasus::CIMParamValue>& inParameters);
  Pegasus::CIMClass getClass(const Pegasus::CIMNamespaceName& nameSpace,
                             const Pegasus::CIMName& className, bool localOnly,
                             bool includeQualifiers, bool includeClassOrigin,
                             const Pegasus::CIMPropertyList& propertyList);
  Pegasus::Array<Pegasus::CIMName> enumerateClassNames(const Pegasus::CIMNamespaceName& nameSpace,
                                                       const Pegasus::CIMName& className,
                                                       bool deepInheritance);
  Pegasus::Array<Pegasus::CIMClass> enumerateClasses(const Pegasus::CIMNamespaceName& nameSpace,
                                                     const Pegasus::CIMName& className,
                                                     bool deepInheritance, bool localOnly,
                                                     bool includeQualifiers,
                                                     bool includeClassOrigin);

  void log(int priority, const std::string& message) const;

 private:
  /// Counts a running operation; refuses new ones once shutdown has begun.
  class Running {
   public:
    explicit Running(HostCore& core);
    ~Running();
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

   private:
    HostCore& core_;
  };

  std::string checkNamespace(const Pegasus::CIMNamespaceName& nameSpace) const;
  const ClassInfo& checkClass(const Pegasus::CIMName& className) const;
  /// The path a provider receives: no host, the request namespace.
  static Pegasus::CIMObjectPath providerPath(const Pegasus::CIMNamespaceName& nameSpace,
                                             const Pegasus::CIMName& className,
                                             const Pegasus::CIMObjectPath& from);
  void buildRoutes();
  /// Runs one provider's part of an enumeration of `requested`; failures of a
  /// subclass's provider are logged and skipped (returns false), the requested
  /// class's own are thrown.
  template <class Op>
  bool fromSubclass(const ClassInfo& cls, const ClassInfo& requested, Op&& op);

  HostConfig config_;
  std::optional<ClassRepository> classes_;
  RoutingTable routes_;
  ModuleCache modules_;
  std::shared_ptr<UpcallBackend> upcalls_;

  std::mutex stateLock_;
  std::condition_variable idle_;
  enum class State { Created, Running, Stopping, Stopped } state_ = State::Created;
  int active_ = 0;
};

}  // namespace mgmt::cimom

#endif
