#include "ProviderHost.h"

#include "HostCore.h"
#include "ProviderErrors.h"
#include "installroot.h"

#include <sstream>

using namespace Pegasus;

namespace mgmt::cimom {

HostConfig HostConfig::installedDefaults() {
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

void ProviderHost::start() {
  guardProviderCall([&] { core_->start(); });
}

void ProviderHost::shutdown() { core_->shutdown(); }

OperationContext ProviderHost::contextFor(const String& userName) {
  OperationContext context;
  context.insert(IdentityContainer(userName));
  return context;
}

Array<CIMInstance> ProviderHost::enumerateInstances(
    const OperationContext& context, const CIMNamespaceName& ns, const CIMName& className,
    Boolean deepInheritance, Boolean /*localOnly: deprecated for instances, ignored*/,
    Boolean includeQualifiers, Boolean includeClassOrigin, const CIMPropertyList& propertyList) {
  return guardProviderCall([&] {
    return core_->enumerateInstances(context, ns, className, deepInheritance, includeQualifiers,
                                     includeClassOrigin, propertyList);
  });
}

Array<CIMObjectPath> ProviderHost::enumerateInstanceNames(const OperationContext& context,
                                                          const CIMNamespaceName& ns,
                                                          const CIMName& className) {
  return guardProviderCall([&] { return core_->enumerateInstanceNames(context, ns, className); });
}

CIMInstance ProviderHost::getInstance(const OperationContext& context, const CIMNamespaceName& ns,
                                      const CIMObjectPath& instanceName, Boolean /*localOnly*/,
                                      Boolean includeQualifiers, Boolean includeClassOrigin,
                                      const CIMPropertyList& propertyList) {
  return guardProviderCall([&] {
    return core_->getInstance(context, ns, instanceName, includeQualifiers, includeClassOrigin,
                              propertyList);
  });
}

void ProviderHost::modifyInstance(const OperationContext& context, const CIMNamespaceName& ns,
                                  const CIMInstance& modifiedInstance, Boolean includeQualifiers,
                                  const CIMPropertyList& propertyList) {
  guardProviderCall([&] {
    core_->modifyInstance(context, ns, modifiedInstance, includeQualifiers, propertyList);
  });
}

CIMObjectPath ProviderHost::createInstance(const OperationContext& context,
                                           const CIMNamespaceName& ns,
                                           const CIMInstance& newInstance) {
  return guardProviderCall([&] { return core_->createInstance(context, ns, newInstance); });
}

void ProviderHost::deleteInstance(const OperationContext& context, const CIMNamespaceName& ns,
                                  const CIMObjectPath& instanceName) {
  guardProviderCall([&] { core_->deleteInstance(context, ns, instanceName); });
}

MethodResult ProviderHost::invokeMethod(const OperationContext& context, const CIMNamespaceName& ns,
                                        const CIMObjectPath& objectName, const CIMName& methodName,
                                        const Array<CIMParamValue>& inParameters) {
  return guardProviderCall(
      [&] { return core_->invokeMethod(context, ns, objectName, methodName, inParameters); });
}

CIMClass ProviderHost::getClass(const OperationContext&, const CIMNamespaceName& ns,
                                const CIMName& className, Boolean localOnly,
                                Boolean includeQualifiers, Boolean includeClassOrigin,
                                const CIMPropertyList& propertyList) {
  return guardProviderCall([&] {
    return core_->getClass(ns, className, localOnly, includeQualifiers, includeClassOrigin,
                           propertyList);
  });
}

Array<CIMName> ProviderHost::enumerateClassNames(const OperationContext&,
                                                 const CIMNamespaceName& ns,
                                                 const CIMName& className,
                                                 Boolean deepInheritance) {
  return guardProviderCall(
      [&] { return core_->enumerateClassNames(ns, className, deepInheritance); });
}

Array<CIMClass> ProviderHost::enumerateClasses(const OperationContext&, const CIMNamespaceName& ns,
                                               const CIMName& className, Boolean deepInheritance,
                                               Boolean localOnly, Boolean includeQualifiers,
                                               Boolean includeClassOrigin) {
  return guardProviderCall([&] {
    return core_->enumerateClasses(ns, className, deepInheritance, localOnly, includeQualifiers,
                                   includeClassOrigin);
  });
}

}  // namespace mgmt::cimom
