#include "HostCore.h"

#include "ClassFilter.h"
#include "HostError.h"
#include "InProcessAgent.h"
#include "InstanceFilter.h"
#include "NameKey.h"
#include "NetworkAdapterProvider.h"
#include "ParamTyping.h"
#include "PropertyTyping.h"
#include "UpcallBackend.h"

#include <Pegasus/Common/CIMMethod.h>

#include <syslog.h>

#include <stdexcept>

using namespace Pegasus;

namespace mgmt::cimom {
namespace {

const char kDefaultNamespace[] = "root/cimv2";

[[noreturn]] void fail(CIMStatusCode code, const std::string& message) {
  throw CIMException(code, String(message.c_str()));
}

std::string describe(const ProviderRegistration& reg) {
  return reg.providerName + " (" + reg.module + ")";
}

}  // namespace

HostCore::Running::Running(HostCore& core) : core_(core) {
  std::lock_guard<std::mutex> guard(core_.stateLock_);
  if (core_.state_ != State::Running) fail(CIM_ERR_FAILED, "the object manager is not running");
  ++core_.active_;
}

HostCore::Running::~Running() {
  std::lock_guard<std::mutex> guard(core_.stateLock_);
  if (--core_.active_ == 0) core_.idle_.notify_all();
}

HostCore::HostCore(HostConfig config)
    : config_(std::move(config)), upcalls_(std::make_shared<UpcallBackend>(*this)) {}

HostCore::~HostCore() {
  shutdown();
  upcalls_->detach();
}

void HostCore::log(int priority, const std::string& message) const {
  if (config_.log)
    config_.log(priority, message);
  else
    syslog(LOG_DAEMON | priority, "%s", message.c_str());
}

void HostCore::start() {
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    if (state_ != State::Created) fail(CIM_ERR_FAILED, "the provider host was already started");
  }
  try {
    classes_.emplace(ClassRepository::load(config_.classDir));
    buildRoutes();
  } catch (const ConfigError& e) {
    log(LOG_ERR, e.what());
    fail(CIM_ERR_FAILED, e.what());
  }
  std::lock_guard<std::mutex> guard(stateLock_);
  state_ = State::Running;
}

void HostCore::buildRoutes() {
  routes_.addNamespace(kDefaultNamespace);
  const LogSink sink = [this](int priority, std::string_view message) {
    log(priority, std::string(message));
  };
  const CIMOMHandle cimom(upcalls_);
  const AgentFactory makeAgent =
      [&](const ProviderRegistration& reg) -> std::shared_ptr<ProviderAgent> {
    // The loop below has already resolved every module it could find to an
    // absolute path under the installation root; resolving it again would
    // put the root in front of it twice.
    const std::filesystem::path given(reg.module);
    const std::filesystem::path file = given.is_absolute() ? given : std::filesystem::path();
    ProviderLoader loader;
    if (file.empty()) {
      std::string why = "module library " + reg.module + " not found in the module directories";
      log(LOG_WARNING, "provider " + describe(reg) + ": " + why);
      loader = [why]() -> LoadedProvider { throw std::runtime_error(why); };
    } else {
      loader = moduleProviderLoader(modules_, file, reg.providerName);
    }
    return std::make_shared<InProcessAgent>(describe(reg), std::move(loader), cimom, sink);
  };
  for (ProviderRegistration reg : loadRegistrations(config_.registrationDir)) {
    // "X", "libX.so" and a full path may all name one library: one provider
    // object per library and provider name.
    if (auto file = resolveModulePath(reg.module, config_.moduleDirs); !file.empty())
      reg.module = file.string();
    routes_.add(reg, *classes_, makeAgent);
  }
  if (config_.builtinNetworkAdapter) {
    const ClassInfo* adapter = classes_->find(CIMName(kNetworkAdapterClass));
    if (adapter == nullptr) {
      log(LOG_WARNING,
          std::string("class ") + kNetworkAdapterClass + " is not defined; not served");
    } else {
      ProviderLoader loader = [] {
        return LoadedProvider{nullptr, std::make_unique<NetworkAdapterProvider>()};
      };
      routes_.addBuiltin(
          kDefaultNamespace, *adapter,
          std::make_shared<InProcessAgent>(std::string("built-in ") + kNetworkAdapterClass,
                                           std::move(loader), cimom, sink));
    }
  }
}

void HostCore::shutdown() {
  {
    std::unique_lock<std::mutex> guard(stateLock_);
    if (state_ == State::Stopping || state_ == State::Stopped) return;
    state_ = State::Stopping;
    idle_.wait(guard, [this] { return active_ == 0; });
  }
  // Reverse order of registration, so providers registered later (which may use
  // earlier ones through up-calls) go first.
  const auto& agents = routes_.agents();
  for (auto it = agents.rbegin(); it != agents.rend(); ++it) (*it)->stop();
  std::lock_guard<std::mutex> guard(stateLock_);
  state_ = State::Stopped;
}

// --- request checks ----------------------------------------------------------

std::string HostCore::checkNamespace(const CIMNamespaceName& nameSpace) const {
  std::string key = namespaceKey(nameSpace);
  if (key.empty() || !routes_.servesNamespace(key)) {
    fail(CIM_ERR_INVALID_NAMESPACE,
         nameSpace.isNull() ? std::string() : toStd(nameSpace.getString()));
  }
  return key;
}

const ClassInfo& HostCore::checkClass(const CIMName& className) const {
  if (className.isNull()) fail(CIM_ERR_INVALID_PARAMETER, "class name missing");
  const ClassInfo* info = classes_->find(className);
  if (info == nullptr) fail(CIM_ERR_INVALID_CLASS, toStd(className.getString()));
  return *info;
}

CIMObjectPath HostCore::providerPath(const CIMNamespaceName& nameSpace, const CIMName& className,
                                     const CIMObjectPath& from) {
  return CIMObjectPath(String(), nameSpace, className, from.getKeyBindings());
}

// --- instance operations -------------------------------------------------------

template <class Op>
bool HostCore::fromSubclass(const ClassInfo& cls, const ClassInfo& requested, Op&& op) {
  if (&cls == &requested) {
    op();
    return true;
  }
  // A subclass provider that fails (a module that cannot load on this machine,
  // say) must not take the superclass's whole enumeration down with it: its part
  // is left out and the failure logged.
  try {
    op();
    return true;
  } catch (const CIMException& e) {
    log(LOG_WARNING,
        "enumerating " + toStd(requested.name.getString()) + ": " + toStd(cls.name.getString()) +
            " left out: " + cimStatusCodeToString(e.getCode()) + ": " + toStd(e.getMessage()));
    return false;
  }
}

Array<CIMInstance> HostCore::enumerateInstances(const OperationContext& context,
                                                const CIMNamespaceName& nameSpace,
                                                const CIMName& className, bool deepInheritance,
                                                bool includeQualifiers, bool includeClassOrigin,
                                                const CIMPropertyList& propertyList) {
  Running running(*this);
  const std::string nsKey = checkNamespace(nameSpace);
  const ClassInfo& requested = checkClass(className);
  const InstanceFilter filter(propertyList, includeQualifiers, includeClassOrigin,
                              deepInheritance ? nullptr : &requested.propertyKeys);
  Array<CIMInstance> out;
  for (const ClassInfo* cls : classes_->withSubclasses(requested)) {
    ProviderAgent* agent = routes_.instanceProvider(nsKey, cls->key);
    if (agent == nullptr) continue;
    Array<CIMInstance> delivered;
    if (!fromSubclass(*cls, requested, [&] {
          delivered =
              agent->enumerateInstances(context, CIMObjectPath(String(), nameSpace, cls->name),
                                        includeQualifiers, includeClassOrigin, propertyList);
        })) {
      continue;
    }
    out.reserveCapacity(out.size() + delivered.size());
    for (Uint32 i = 0; i < delivered.size(); ++i) out.append(filter.apply(delivered[i]));
  }
  return out;
}

Array<CIMObjectPath> HostCore::enumerateInstanceNames(const OperationContext& context,
                                                      const CIMNamespaceName& nameSpace,
                                                      const CIMName& className) {
  Running running(*this);
  const std::string nsKey = checkNamespace(nameSpace);
  const ClassInfo& requested = checkClass(className);
  Array<CIMObjectPath> out;
  for (const ClassInfo* cls : classes_->withSubclasses(requested)) {
    ProviderAgent* agent = routes_.instanceProvider(nsKey, cls->key);
    if (agent == nullptr) continue;
    fromSubclass(*cls, requested, [&] {
      out.appendArray(
          agent->enumerateInstanceNames(context, CIMObjectPath(String(), nameSpace, cls->name)));
    });
  }
  return out;
}

CIMInstance HostCore::getInstance(const OperationContext& context,
                                  const CIMNamespaceName& nameSpace,
                                  const CIMObjectPath& instanceName, bool includeQualifiers,
                                  bool includeClassOrigin, const CIMPropertyList& propertyList) {
  Running running(*this);
  const std::string nsKey = checkNamespace(nameSpace);
  const ClassInfo& cls = checkClass(instanceName.getClassName());
  const CIMObjectPath path = providerPath(nameSpace, cls.name, instanceName);
  ProviderAgent* agent = routes_.instanceProvider(nsKey, cls.key);
  if (agent == nullptr) fail(CIM_ERR_NOT_FOUND, toStd(path.toString()));
  std::optional<CIMInstance> found =
      agent->getInstance(context, path, includeQualifiers, includeClassOrigin, propertyList);
  if (!found) fail(CIM_ERR_NOT_FOUND, toStd(path.toString()));
  return InstanceFilter(propertyList, includeQualifiers, includeClassOrigin).apply(*found);
}

void HostCore::modifyInstance(const OperationContext& context, const CIMNamespaceName& nameSpace,
                              const CIMInstance& modifiedInstance, bool includeQualifiers,
                              const CIMPropertyList& propertyList) {
  Running running(*this);
  const std::string nsKey = checkNamespace(nameSpace);
  if (modifiedInstance.isUninitialized()) fail(CIM_ERR_INVALID_PARAMETER, "no instance given");
  const ClassInfo& cls = checkClass(modifiedInstance.getClassName());
  const CIMObjectPath& given = modifiedInstance.getPath();
  if (!given.getClassName().isNull() && nameKey(given.getClassName()) != cls.key) {
    fail(CIM_ERR_INVALID_PARAMETER, "the instance's path names another class");
  }
  const CIMObjectPath path = providerPath(nameSpace, cls.name, given);
  ProviderAgent* agent = routes_.instanceProvider(nsKey, cls.key);
  if (agent == nullptr)
    fail(CIM_ERR_NOT_SUPPORTED, "no provider modifies " + toStd(cls.name.getString()));
  CIMInstance copy = typeProperties(classes_->copyClass(cls), modifiedInstance);
  copy.setPath(path);
  agent->modifyInstance(context, path, copy, includeQualifiers, propertyList);
}

CIMObjectPath HostCore::createInstance(const OperationContext& context,
                                       const CIMNamespaceName& nameSpace,
                                       const CIMInstance& newInstance) {
  Running running(*this);
  const std::string nsKey = checkNamespace(nameSpace);
  if (newInstance.isUninitialized()) fail(CIM_ERR_INVALID_PARAMETER, "no instance given");
  const ClassInfo& cls = checkClass(newInstance.getClassName());
  const CIMClass decl = classes_->copyClass(cls);
  CIMInstance copy = typeProperties(decl, newInstance);
  CIMObjectPath path = providerPath(nameSpace, cls.name, newInstance.getPath());
  if (path.getKeyBindings().size() == 0) {
    try {
      path = providerPath(nameSpace, cls.name, copy.buildPath(decl));
    } catch (const Exception&) {
      // Key properties missing: the provider decides whether it can name the instance.
    }
  }
  ProviderAgent* agent = routes_.instanceProvider(nsKey, cls.key);
  if (agent == nullptr)
    fail(CIM_ERR_NOT_SUPPORTED, "no provider creates " + toStd(cls.name.getString()));
  copy.setPath(path);
  return agent->createInstance(context, path, copy);
}

void HostCore::deleteInstance(const OperationContext& context, const CIMNamespaceName& nameSpace,
                              const CIMObjectPath& instanceName) {
  Running running(*this);
  const std::string nsKey = checkNamespace(nameSpace);
  const ClassInfo& cls = checkClass(instanceName.getClassName());
  ProviderAgent* agent = routes_.instanceProvider(nsKey, cls.key);
  if (agent == nullptr)
    fail(CIM_ERR_NOT_SUPPORTED, "no provider deletes " + toStd(cls.name.getString()));
  agent->deleteInstance(context, providerPath(nameSpace, cls.name, instanceName));
}

MethodResult HostCore::invokeMethod(const OperationContext& context,
                                    const CIMNamespaceName& nameSpace,
                                    const CIMObjectPath& objectName, const CIMName& methodName,
                                    const Array<CIMParamValue>& inParameters) {
  Running running(*this);
  const std::string nsKey = checkNamespace(nameSpace);
  const ClassInfo& cls = checkClass(objectName.getClassName());
  if (methodName.isNull()) fail(CIM_ERR_INVALID_PARAMETER, "method name missing");
  const CIMClass decl = classes_->copyClass(cls);
  const Uint32 at = decl.findMethod(methodName);
  if (at == PEG_NOT_FOUND) {
    fail(CIM_ERR_METHOD_NOT_FOUND,
         toStd(cls.name.getString()) + "." + toStd(methodName.getString()));
  }
  const CIMConstMethod method = decl.getMethod(at);
  Array<CIMParamValue> typed = typeParameters(method, inParameters);
  ProviderAgent* agent = routes_.methodProvider(nsKey, cls.key);
  if (agent == nullptr) {
    fail(CIM_ERR_NOT_SUPPORTED, "no provider serves methods of " + toStd(cls.name.getString()));
  }
  return agent->invokeMethod(context, providerPath(nameSpace, cls.name, objectName),
                             method.getName(), typed);
}

// --- class operations ----------------------------------------------------------

CIMClass HostCore::getClass(const CIMNamespaceName& nameSpace, const CIMName& className,
                            bool localOnly, bool includeQualifiers, bool includeClassOrigin,
                            const CIMPropertyList& propertyList) {
  Running running(*this);
  checkNamespace(nameSpace);
  if (className.isNull()) fail(CIM_ERR_INVALID_PARAMETER, "class name missing");
  const ClassInfo* info = classes_->find(className);
  if (info == nullptr) fail(CIM_ERR_NOT_FOUND, toStd(className.getString()));
  CIMClass cls = classes_->copyClass(*info);
  filterClass(cls, localOnly, includeQualifiers, includeClassOrigin, propertyList);
  return cls;
}

Array<CIMName> HostCore::enumerateClassNames(const CIMNamespaceName& nameSpace,
                                             const CIMName& className, bool deepInheritance) {
  Running running(*this);
  checkNamespace(nameSpace);
  std::vector<const ClassInfo*> found;
  if (className.isNull()) {
    for (const ClassInfo* root : classes_->roots()) {
      if (deepInheritance) {
        auto all = classes_->withSubclasses(*root);
        found.insert(found.end(), all.begin(), all.end());
      } else {
        found.push_back(root);
      }
    }
  } else {
    const ClassInfo& base = checkClass(className);
    if (deepInheritance) {
      found = classes_->withSubclasses(base);
      found.erase(found.begin());
    } else {
      for (const std::string& child : base.childKeys) found.push_back(classes_->findKey(child));
    }
  }
  Array<CIMName> out;
  for (const ClassInfo* info : found) out.append(info->name);
  return out;
}

Array<CIMClass> HostCore::enumerateClasses(const CIMNamespaceName& nameSpace,
                                           const CIMName& className, bool deepInheritance,
                                           bool localOnly, bool includeQualifiers,
                                           bool includeClassOrigin) {
  Array<CIMName> names = enumerateClassNames(nameSpace, className, deepInheritance);
  Running running(*this);
  Array<CIMClass> out;
  for (Uint32 i = 0; i < names.size(); ++i) {
    CIMClass cls = classes_->copyClass(*classes_->find(names[i]));
    filterClass(cls, localOnly, includeQualifiers, includeClassOrigin, CIMPropertyList());
    out.append(cls);
  }
  return out;
}

}  // namespace mgmt::cimom
