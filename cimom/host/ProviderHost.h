// ProviderHost: the in-process operation API of cimserver.
//
// Reads the class repository and the provider registrations (layout in
// mof/README.md), loads provider modules on demand, routes every CIM operation to
// the providers registered for the class (and, for enumerations, for its
// subclasses), and turns whatever a provider throws into a Pegasus::CIMException
// with a DMTF status code. The CIM-XML server and CIMClient::connectLocal both call
// this one API; it is safe to call from any number of threads at once.
//
// Depends on the object broker (pegcommon) only; provider modules are loaded with
// dlopen, never linked.
#ifndef MGMT_CIMOM_HOST_PROVIDERHOST_H
#define MGMT_CIMOM_HOST_PROVIDERHOST_H

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/OperationContext.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace mgmt::cimom {

/// Receives the host's log lines; `priority` is a syslog priority (LOG_ERR, ...).
using LogSink = std::function<void(int priority, std::string_view message)>;

/// Where the host finds its inputs. Paths are used as given: the caller resolves
/// them against the installation root (InstalledDefaults() does).
struct HostConfig {
  /// Directory of `*.mof` class definitions.
  std::filesystem::path classDir;
  /// Directory of `*.reg` provider registrations.
  std::filesystem::path registrationDir;
  /// Directories searched, in order, for a registration's module library.
  std::vector<std::filesystem::path> moduleDirs;
  /// Serve CIM_NetworkAdapter from the host's interfaces (namespace root/cimv2).
  bool builtinNetworkAdapter = true;
  /// Log destination; empty means syslog (facility daemon).
  LogSink log;

  /// The installed layout: classes and registrations under the data directory,
  /// modules in the library directory, all resolved through the installation root.
  static HostConfig InstalledDefaults();
};

/// Value returned by an extrinsic method call.
struct MethodResult {
  Pegasus::CIMValue returnValue;  ///< null if the provider delivered none
  Pegasus::Array<Pegasus::CIMParamValue> outParameters;
};

class HostCore;

/// The operation API. Construct, Start(), call operations from any thread, then
/// Shutdown() (also done by the destructor).
///
/// Every operation throws Pegasus::CIMException and nothing else:
///   CIM_ERR_INVALID_NAMESPACE  the namespace is not served;
///   CIM_ERR_INVALID_CLASS      the class is not in the repository;
///   CIM_ERR_NOT_FOUND          GetInstance that no provider answered, GetClass of an unknown
///   class; CIM_ERR_NOT_SUPPORTED      a write or method call on a class no provider serves that
///   way; CIM_ERR_METHOD_NOT_FOUND   a method the class does not declare; CIM_ERR_INVALID_PARAMETER
///   malformed arguments (null names, untyped parameters that do not convert); CIM_ERR_FAILED a
///   provider that failed to load, or threw something other than a CIMException; any code a
///   provider's CIMException carries, with its message.
///
/// Instance paths handed to providers carry an empty host and the request namespace.
/// Instances and paths returned are copies: nothing a caller does to them reaches
/// a provider's own data.
class ProviderHost {
 public:
  explicit ProviderHost(HostConfig config);
  /// Convenience form: one module directory, log to syslog.
  ProviderHost(std::filesystem::path classDir, std::filesystem::path registrationDir,
               std::filesystem::path moduleDir);
  ~ProviderHost();
  ProviderHost(const ProviderHost&) = delete;
  ProviderHost& operator=(const ProviderHost&) = delete;

  /// Reads classes and registrations. Throws CIMException(CIM_ERR_FAILED) naming
  /// the file and line of the first error. Providers are loaded on first use.
  void Start();

  /// Refuses new operations, waits for running ones, then calls terminate() on
  /// every loaded provider, deletes it and unloads its module. Idempotent.
  void Shutdown();

  /// A context carrying an IdentityContainer for `userName`.
  static Pegasus::OperationContext ContextFor(const Pegasus::String& userName);

  // --- instance operations ---------------------------------------------------
  //
  // localOnly is accepted and ignored for instances (it is deprecated for
  // instance operations; clients such as the BMC library's discovery pass true
  // and still expect inherited properties). deepInheritance false keeps only the
  // properties the requested class defines.

  /// Reaches the providers of the class and of every subclass. A subclass whose
  /// provider fails is left out (and logged); a failure of the requested class's
  /// own provider fails the operation.
  Pegasus::Array<Pegasus::CIMInstance> EnumerateInstances(
      const Pegasus::OperationContext& context, const Pegasus::CIMNamespaceName& nameSpace,
      const Pegasus::CIMName& className, Pegasus::Boolean deepInheritance = true,
      Pegasus::Boolean localOnly = true, Pegasus::Boolean includeQualifiers = false,
      Pegasus::Boolean includeClassOrigin = false,
      const Pegasus::CIMPropertyList& propertyList = Pegasus::CIMPropertyList());

  Pegasus::Array<Pegasus::CIMObjectPath> EnumerateInstanceNames(
      const Pegasus::OperationContext& context, const Pegasus::CIMNamespaceName& nameSpace,
      const Pegasus::CIMName& className);

  Pegasus::CIMInstance GetInstance(
      const Pegasus::OperationContext& context, const Pegasus::CIMNamespaceName& nameSpace,
      const Pegasus::CIMObjectPath& instanceName, Pegasus::Boolean localOnly = true,
      Pegasus::Boolean includeQualifiers = false, Pegasus::Boolean includeClassOrigin = false,
      const Pegasus::CIMPropertyList& propertyList = Pegasus::CIMPropertyList());

  /// The instance's path names the instance to modify.
  void ModifyInstance(const Pegasus::OperationContext& context,
                      const Pegasus::CIMNamespaceName& nameSpace,
                      const Pegasus::CIMInstance& modifiedInstance,
                      Pegasus::Boolean includeQualifiers = true,
                      const Pegasus::CIMPropertyList& propertyList = Pegasus::CIMPropertyList());

  /// Returns the path the provider gave the new instance.
  Pegasus::CIMObjectPath CreateInstance(const Pegasus::OperationContext& context,
                                        const Pegasus::CIMNamespaceName& nameSpace,
                                        const Pegasus::CIMInstance& newInstance);

  void DeleteInstance(const Pegasus::OperationContext& context,
                      const Pegasus::CIMNamespaceName& nameSpace,
                      const Pegasus::CIMObjectPath& instanceName);

  // --- methods ---------------------------------------------------------------

  /// Calls an extrinsic method on an instance or (path without keys) a class.
  /// Parameters that arrive untyped (isTyped() false, string values) are converted
  /// to the types the class declares for the method; unknown ones are refused.
  MethodResult InvokeMethod(const Pegasus::OperationContext& context,
                            const Pegasus::CIMNamespaceName& nameSpace,
                            const Pegasus::CIMObjectPath& objectName,
                            const Pegasus::CIMName& methodName,
                            const Pegasus::Array<Pegasus::CIMParamValue>& inParameters);

  // --- class operations ------------------------------------------------------

  Pegasus::CIMClass GetClass(
      const Pegasus::OperationContext& context, const Pegasus::CIMNamespaceName& nameSpace,
      const Pegasus::CIMName& className, Pegasus::Boolean localOnly = true,
      Pegasus::Boolean includeQualifiers = true, Pegasus::Boolean includeClassOrigin = false,
      const Pegasus::CIMPropertyList& propertyList = Pegasus::CIMPropertyList());

  /// A null `className` lists the classes that have no superclass.
  Pegasus::Array<Pegasus::CIMName> EnumerateClassNames(const Pegasus::OperationContext& context,
                                                       const Pegasus::CIMNamespaceName& nameSpace,
                                                       const Pegasus::CIMName& className,
                                                       Pegasus::Boolean deepInheritance = false);

  Pegasus::Array<Pegasus::CIMClass> EnumerateClasses(const Pegasus::OperationContext& context,
                                                     const Pegasus::CIMNamespaceName& nameSpace,
                                                     const Pegasus::CIMName& className,
                                                     Pegasus::Boolean deepInheritance = false,
                                                     Pegasus::Boolean localOnly = true,
                                                     Pegasus::Boolean includeQualifiers = true,
                                                     Pegasus::Boolean includeClassOrigin = false);

 private:
  std::unique_ptr<HostCore> core_;
};

}  // namespace mgmt::cimom

#endif
