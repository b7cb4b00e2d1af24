#include "ProviderHost.h"

#include "HostCore.h"
#include "ProviderErrors.h"
#include "installroot.h"

#include <sstream>

using namespace Pegasus;

namespace mgmt::cimom {

HostConfig HostConfig::InstalledDefaults() {
  HostConfig config;
  config.classDir = mgmt::RootPath(MGMT_CIMOM_CLASS_DIR);
  config.registrationDir = mgmt::RootPath(MGMT_CIMOM_REGISTRATION_DIR);
  std::istringstream dirs(MGMT_CIMOM_MODULE_DIRS);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (!dir.empty()) config.moduleDirs.emplace_back(mgmt::RootPath(dir));
  }
  return config;
}

ProviderHost::ProviderHost(HostConfig config)
    : core_(std::make_unique<HostCore>(std::move(config))) {}

ProviderHost::ProviderHost(std::filesystem::path classDir, std::filesystem::path registrationDir,
                           std::filesystem::path moduleDir) {
  HostConfig config;
  config.classDir = std::move(classDir);
  config.registrationDir = std::move(registrationDir);
  config.moduleDirs.push_back(std::move(moduleDir));
  core_ = std::make_unique<HostCore>(std::move(config));
}

ProviderHost::~ProviderHost() = default;

void ProviderHost::Start() {
  GuardProviderCall([&] { core_->Start(); });
}

void ProviderHost::Shutdown() { core_->Shutdown(); }

OperationContext ProviderHost::ContextFor(const String& userName) {
  OperationContext context;
  context.insert(IdentityContainer(userName));
  return context;
}

Array<CIMInstance> ProviderHost::EnumerateInstances(
    const OperationContext& context, const CIMNamespaceName& ns, const CIMName& className,
    Boolean deepInheritance, Boolean /*localOnly: deprecated for instances, ignored*/,
    Boolean includeQualifiers, Boolean includeClassOrigin, const CIMPropertyList& propertyList) {
  return GuardProviderCall([&] {
    return core_->EnumerateInstances(context, ns, className, deepInheritance, includeQualifiers,
                                     includeClassOrigin, propertyList);
  });
}

Array<CIMObjectPath> ProviderHost::EnumerateInstanceNames(const OperationContext& context,
                                                          const CIMNamespaceName& ns,
                                                          const CIMName& className) {
  return GuardProviderCall([&] { return core_->EnumerateInstanceNames(context, ns, className); });
}

CIMInstance ProviderHost::GetInstance(const OperationContext& context, const CIMNamespaceName& ns,
                                      const CIMObjectPath& instanceName, Boolean /*localOnly*/,
                                      Boolean includeQualifiers, Boolean includeClassOrigin,
                                      const CIMPropertyList& propertyList) {
  return GuardProviderCall([&] {
    return core_->GetInstance(context, ns, instanceName, includeQualifiers, includeClassOrigin,
                              propertyList);
  });
}

void ProviderHost::ModifyInstance(const OperationContext& context, const CIMNamespaceName& ns,
                                  const CIMInstance& modifiedInstance, Boolean includeQualifiers,
                                  const CIMPropertyList& propertyList) {
  GuardProviderCall([&] {
    core_->ModifyInstance(context, ns, modifiedInstance, includeQualifiers, propertyList);
  });
}

CIMObjectPath ProviderHost::CreateInstance(const OperationContext& context,
                                           const CIMNamespaceName& ns,
                                           const CIMInstance& newInstance) {
  return GuardProviderCall([&] { return core_->CreateInstance(context, ns, newInstance); });
}

void ProviderHost::DeleteInstance(const OperationContext& context, const CIMNamespaceName& ns,
                                  const CIMObjectPath& instanceName) {
  GuardProviderCall([&] { core_->DeleteInstance(context, ns, instanceName); });
}

MethodResult ProviderHost::InvokeMethod(const OperationContext& context, const CIMNamespaceName& ns,
                                        const CIMObjectPath& objectName, const CIMName& methodName,
                                        const Array<CIMParamValue>& inParameters) {
  return GuardProviderCall(
      [&] { return core_->InvokeMethod(context, ns, objectName, methodName, inParameters); });
}

CIMClass ProviderHost::GetClass(const OperationContext&, const CIMNamespaceName& ns,
                                const CIMName& className, Boolean localOnly,
                                Boolean includeQualifiers, Boolean includeClassOrigin,
                                const CIMPropertyList& propertyList) {
  return GuardProviderCall([&] {
    return core_->GetClass(ns, className, localOnly, includeQualifiers, includeClassOrigin,
                           propertyList);
  });
}

Array<CIMName> ProviderHost::EnumerateClassNames(const OperationContext&,
                                                 const CIMNamespaceName& ns,
                                                 const CIMName& className,
                                                 Boolean deepInheritance) {
  return GuardProviderCall(
      [&] { return core_->EnumerateClassNames(ns, className, deepInheritance); });
}

Array<CIMClass> ProviderHost::EnumerateClasses(const OperationContext&, const CIMNamespaceName& ns,
                                               const CIMName& className, Boolean deepInheritance,
                                               Boolean localOnly, Boolean includeQualifiers,
                                               Boolean includeClassOrigin) {
  return GuardProviderCall([&] {
    return core_->EnumerateClasses(ns, className, deepInheritance, localOnly, includeQualifiers,
                                   includeClassOrigin);
  });
}

}  // namespace mgmt::cimom
