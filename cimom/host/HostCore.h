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

  void Start();
  void Shutdown();

  Pegasus::Array<Pegasus::CIMInstance> EnumerateInstances(
      const Pegasus::OperationContext& context, const Pegasus::CIMNamespaceName& nameSpace,
      const Pegasus::CIMName& className, bool deepInheritance, bool includeQualifiers,
      bool includeClassOrigin, const Pegasus::CIMPropertyList& propertyList);
  Pegasus::Array<Pegasus::CIMObjectPath> EnumerateInstanceNames(
      const Pegasus::OperationContext& context, const Pegasus::CIMNamespaceName& nameSpace,
      const Pegasus::CIMName& className);
  Pegasus::CIMInstance GetInstance(const Pegasus::OperationContext& context,
                                   const Pegasus::CIMNamespaceName& nameSpace,
                                   const Pegasus::CIMObjectPath& instanceName,
                                   bool includeQualifiers, bool includeClassOrigin,
                                   const Pegasus::CIMPropertyList& propertyList);
  void ModifyInstance(const Pegasus::OperationContext& context,
                      const Pegasus::CIMNamespaceName& nameSpace,
                      const Pegasus::CIMInstance& modifiedInstance, bool includeQualifiers,
                      const Pegasus::CIMPropertyList& propertyList);
  Pegasus::CIMObjectPath CreateInstance(const Pegasus::OperationContext& context,
                                        const Pegasus::CIMNamespaceName& nameSpace,
                                        const Pegasus::CIMInstance& newInstance);
  void DeleteInstance(const Pegasus::OperationContext& context,
                      const Pegasus::CIMNamespaceName& nameSpace,
                      const Pegasus::CIMObjectPath& instanceName);
  MethodResult InvokeMethod(const Pegasus::OperationContext& context,
                            const Pegasus::CIMNamespaceName& nameSpace,
                            const Pegasus::CIMObjectPath& objectName,
                            const Pegasus::CIMName& methodName,
                            const Pegasus::Array<Pegasus::CIMParamValue>& inParameters);
  Pegasus::CIMClass GetClass(const Pegasus::CIMNamespaceName& nameSpace,
                             const Pegasus::CIMName& className, bool localOnly,
                             bool includeQualifiers, bool includeClassOrigin,
                             const Pegasus::CIMPropertyList& propertyList);
  Pegasus::Array<Pegasus::CIMName> EnumerateClassNames(const Pegasus::CIMNamespaceName& nameSpace,
                                                       const Pegasus::CIMName& className,
                                                       bool deepInheritance);
  Pegasus::Array<Pegasus::CIMClass> EnumerateClasses(const Pegasus::CIMNamespaceName& nameSpace,
                                                     const Pegasus::CIMName& className,
                                                     bool deepInheritance, bool localOnly,
                                                     bool includeQualifiers,
                                                     bool includeClassOrigin);

  void Log(int priority, const std::string& message) const;

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

  std::string CheckNamespace(const Pegasus::CIMNamespaceName& nameSpace) const;
  const ClassInfo& CheckClass(const Pegasus::CIMName& className) const;
  /// The path a provider receives: no host, the request namespace.
  static Pegasus::CIMObjectPath ProviderPath(const Pegasus::CIMNamespaceName& nameSpace,
                                             const Pegasus::CIMName& className,
                                             const Pegasus::CIMObjectPath& from);
  void BuildRoutes();
  /// Runs one provider's part of an enumeration of `requested`; failures of a
  /// subclass's provider are logged and skipped (returns false), the requested
  /// class's own are thrown.
  template <class Op>
  bool FromSubclass(const ClassInfo& cls, const ClassInfo& requested, Op&& op);

  HostConfig config_;
  std::optional<ClassRepository> classes_;
  RoutingTable routes_;
  ModuleCache modules_;
  std::shared_ptr<UpcallBackend> upcalls_;

  std::mutex stateLock_;
  std::condition_variable idle_;
  enum class State { kCreated, kRunning, kStopping, kStopped } state_ = State::kCreated;
  int active_ = 0;
};

}  // namespace mgmt::cimom

#endif
