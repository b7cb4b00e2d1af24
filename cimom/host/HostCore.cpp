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

[[noreturn]] void Fail(CIMStatusCode code, const std::string& message) {
  throw CIMException(code, String(message.c_str()));
}

std::string Describe(const ProviderRegistration& reg) {
  return reg.providerName + " (" + reg.module + ")";
}

}  // namespace

HostCore::Running::Running(HostCore& core) : core_(core) {
  std::lock_guard<std::mutex> guard(core_.stateLock_);
  if (core_.state_ != State::kRunning) Fail(CIM_ERR_FAILED, "the object manager is not running");
  ++core_.active_;
}

HostCore::Running::~Running() {
  std::lock_guard<std::mutex> guard(core_.stateLock_);
  if (--core_.active_ == 0) core_.idle_.notify_all();
}

HostCore::HostCore(HostConfig config)
    : config_(std::move(config)), upcalls_(std::make_shared<UpcallBackend>(*this)) {}

HostCore::~HostCore() {
  Shutdown();
  upcalls_->Detach();
}

void HostCore::Log(int priority, const std::string& message) const {
  if (config_.log)
    config_.log(priority, message);
  else
    syslog(LOG_DAEMON | priority, "%s", message.c_str());
}

void HostCore::Start() {
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    if (state_ != State::kCreated) Fail(CIM_ERR_FAILED, "the provider host was already started");
  }
  try {
    classes_.emplace(ClassRepository::Load(config_.classDir));
    BuildRoutes();
  } catch (const ConfigError& e) {
    Log(LOG_ERR, e.what());
    Fail(CIM_ERR_FAILED, e.what());
  }
  std::lock_guard<std::mutex> guard(stateLock_);
  state_ = State::kRunning;
}

void HostCore::BuildRoutes() {
  routes_.AddNamespace(kDefaultNamespace);
  const LogSink sink = [this](int priority, std::string_view message) {
    Log(priority, std::string(message));
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
      Log(LOG_WARNING, "provider " + Describe(reg) + ": " + why);
      loader = [why]() -> LoadedProvider { throw std::runtime_error(why); };
    } else {
      loader = ModuleProviderLoader(modules_, file, reg.providerName);
    }
    return std::make_shared<InProcessAgent>(Describe(reg), std::move(loader), cimom, sink);
  };
  for (ProviderRegistration reg : LoadRegistrations(config_.registrationDir)) {
    // "X", "libX.so" and a full path may all name one library: one provider
    // object per library and provider name.
    if (auto file = ResolveModulePath(reg.module, config_.moduleDirs); !file.empty())
      reg.module = file.string();
    routes_.Add(reg, *classes_, makeAgent);
  }
  if (config_.builtinNetworkAdapter) {
    const ClassInfo* adapter = classes_->Find(CIMName(kNetworkAdapterClass));
    if (adapter == nullptr) {
      Log(LOG_WARNING,
          std::string("class ") + kNetworkAdapterClass + " is not defined; not served");
    } else {
      ProviderLoader loader = [] {
        return LoadedProvider{nullptr, std::make_unique<NetworkAdapterProvider>()};
      };
      routes_.AddBuiltin(
          kDefaultNamespace, *adapter,
          std::make_shared<InProcessAgent>(std::string("built-in ") + kNetworkAdapterClass,
                                           std::move(loader), cimom, sink));
    }
  }
}

void HostCore::Shutdown() {
  {
    std::unique_lock<std::mutex> guard(stateLock_);
    if (state_ == State::kStopping || state_ == State::kStopped) return;
    state_ = State::kStopping;
    idle_.wait(guard, [this] { return active_ == 0; });
  }
  // Reverse order of registration, so providers registered later (which may use
  // earlier ones through up-calls) go first.
  const auto& agents = routes_.Agents();
  for (auto it = agents.rbegin(); it != agents.rend(); ++it) (*it)->Stop();
  std::lock_guard<std::mutex> guard(stateLock_);
  state_ = State::kStopped;
}

// --- request checks ----------------------------------------------------------

std::string HostCore::CheckNamespace(const CIMNamespaceName& nameSpace) const {
  std::string key = NamespaceKey(nameSpace);
  if (key.empty() || !routes_.ServesNamespace(key)) {
    Fail(CIM_ERR_INVALID_NAMESPACE,
         nameSpace.isNull() ? std::string() : ToStd(nameSpace.getString()));
  }
  return key;
}

const ClassInfo& HostCore::CheckClass(const CIMName& className) const {
  if (className.isNull()) Fail(CIM_ERR_INVALID_PARAMETER, "class name missing");
  const ClassInfo* info = classes_->Find(className);
  if (info == nullptr) Fail(CIM_ERR_INVALID_CLASS, ToStd(className.getString()));
  return *info;
}

CIMObjectPath HostCore::ProviderPath(const CIMNamespaceName& nameSpace, const CIMName& className,
                                     const CIMObjectPath& from) {
  return CIMObjectPath(String(), nameSpace, className, from.getKeyBindings());
}

// --- instance operations -------------------------------------------------------

template <class Op>
bool HostCore::FromSubclass(const ClassInfo& cls, const ClassInfo& requested, Op&& op) {
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
    Log(LOG_WARNING,
        "enumerating " + ToStd(requested.name.getString()) + ": " + ToStd(cls.name.getString()) +
            " left out: " + cimStatusCodeToString(e.getCode()) + ": " + ToStd(e.getMessage()));
    return false;
  }
}

Array<CIMInstance> HostCore::EnumerateInstances(const OperationContext& context,
                                                const CIMNamespaceName& nameSpace,
                                                const CIMName& className, bool deepInheritance,
                                                bool includeQualifiers, bool includeClassOrigin,
                                                const CIMPropertyList& propertyList) {
  Running running(*this);
  const std::string nsKey = CheckNamespace(nameSpace);
  const ClassInfo& requested = CheckClass(className);
  const InstanceFilter filter(propertyList, includeQualifiers, includeClassOrigin,
                              deepInheritance ? nullptr : &requested.propertyKeys);
  Array<CIMInstance> out;
  for (const ClassInfo* cls : classes_->WithSubclasses(requested)) {
    ProviderAgent* agent = routes_.InstanceProvider(nsKey, cls->key);
    if (agent == nullptr) continue;
    Array<CIMInstance> delivered;
    if (!FromSubclass(*cls, requested, [&] {
          delivered =
              agent->EnumerateInstances(context, CIMObjectPath(String(), nameSpace, cls->name),
                                        includeQualifiers, includeClassOrigin, propertyList);
        })) {
      continue;
    }
    out.reserveCapacity(out.size() + delivered.size());
    for (Uint32 i = 0; i < delivered.size(); ++i) out.append(filter.Apply(delivered[i]));
  }
  return out;
}

Array<CIMObjectPath> HostCore::EnumerateInstanceNames(const OperationContext& context,
                                                      const CIMNamespaceName& nameSpace,
                                                      const CIMName& className) {
  Running running(*this);
  const std::string nsKey = CheckNamespace(nameSpace);
  const ClassInfo& requested = CheckClass(className);
  Array<CIMObjectPath> out;
  for (const ClassInfo* cls : classes_->WithSubclasses(requested)) {
    ProviderAgent* agent = routes_.InstanceProvider(nsKey, cls->key);
    if (agent == nullptr) continue;
    FromSubclass(*cls, requested, [&] {
      out.appendArray(
          agent->EnumerateInstanceNames(context, CIMObjectPath(String(), nameSpace, cls->name)));
    });
  }
  return out;
}

CIMInstance HostCore::GetInstance(const OperationContext& context,
                                  const CIMNamespaceName& nameSpace,
                                  const CIMObjectPath& instanceName, bool includeQualifiers,
                                  bool includeClassOrigin, const CIMPropertyList& propertyList) {
  Running running(*this);
  const std::string nsKey = CheckNamespace(nameSpace);
  const ClassInfo& cls = CheckClass(instanceName.getClassName());
  const CIMObjectPath path = ProviderPath(nameSpace, cls.name, instanceName);
  ProviderAgent* agent = routes_.InstanceProvider(nsKey, cls.key);
  if (agent == nullptr) Fail(CIM_ERR_NOT_FOUND, ToStd(path.toString()));
  std::optional<CIMInstance> found =
      agent->GetInstance(context, path, includeQualifiers, includeClassOrigin, propertyList);
  if (!found) Fail(CIM_ERR_NOT_FOUND, ToStd(path.toString()));
  return InstanceFilter(propertyList, includeQualifiers, includeClassOrigin).Apply(*found);
}

void HostCore::ModifyInstance(const OperationContext& context, const CIMNamespaceName& nameSpace,
                              const CIMInstance& modifiedInstance, bool includeQualifiers,
                              const CIMPropertyList& propertyList) {
  Running running(*this);
  const std::string nsKey = CheckNamespace(nameSpace);
  if (modifiedInstance.isUninitialized()) Fail(CIM_ERR_INVALID_PARAMETER, "no instance given");
  const ClassInfo& cls = CheckClass(modifiedInstance.getClassName());
  const CIMObjectPath& given = modifiedInstance.getPath();
  if (!given.getClassName().isNull() && NameKey(given.getClassName()) != cls.key) {
    Fail(CIM_ERR_INVALID_PARAMETER, "the instance's path names another class");
  }
  const CIMObjectPath path = ProviderPath(nameSpace, cls.name, given);
  ProviderAgent* agent = routes_.InstanceProvider(nsKey, cls.key);
  if (agent == nullptr)
    Fail(CIM_ERR_NOT_SUPPORTED, "no provider modifies " + ToStd(cls.name.getString()));
  CIMInstance copy = TypeProperties(classes_->CopyClass(cls), modifiedInstance);
  copy.setPath(path);
  agent->ModifyInstance(context, path, copy, includeQualifiers, propertyList);
}

CIMObjectPath HostCore::CreateInstance(const OperationContext& context,
                                       const CIMNamespaceName& nameSpace,
                                       const CIMInstance& newInstance) {
  Running running(*this);
  const std::string nsKey = CheckNamespace(nameSpace);
  if (newInstance.isUninitialized()) Fail(CIM_ERR_INVALID_PARAMETER, "no instance given");
  const ClassInfo& cls = CheckClass(newInstance.getClassName());
  const CIMClass decl = classes_->CopyClass(cls);
  CIMInstance copy = TypeProperties(decl, newInstance);
  CIMObjectPath path = ProviderPath(nameSpace, cls.name, newInstance.getPath());
  if (path.getKeyBindings().size() == 0) {
    try {
      path = ProviderPath(nameSpace, cls.name, copy.buildPath(decl));
    } catch (const Exception&) {
      // Key properties missing: the provider decides whether it can name the instance.
    }
  }
  ProviderAgent* agent = routes_.InstanceProvider(nsKey, cls.key);
  if (agent == nullptr)
    Fail(CIM_ERR_NOT_SUPPORTED, "no provider creates " + ToStd(cls.name.getString()));
  copy.setPath(path);
  return agent->CreateInstance(context, path, copy);
}

void HostCore::DeleteInstance(const OperationContext& context, const CIMNamespaceName& nameSpace,
                              const CIMObjectPath& instanceName) {
  Running running(*this);
  const std::string nsKey = CheckNamespace(nameSpace);
  const ClassInfo& cls = CheckClass(instanceName.getClassName());
  ProviderAgent* agent = routes_.InstanceProvider(nsKey, cls.key);
  if (agent == nullptr)
    Fail(CIM_ERR_NOT_SUPPORTED, "no provider deletes " + ToStd(cls.name.getString()));
  agent->DeleteInstance(context, ProviderPath(nameSpace, cls.name, instanceName));
}

MethodResult HostCore::InvokeMethod(const OperationContext& context,
                                    const CIMNamespaceName& nameSpace,
                                    const CIMObjectPath& objectName, const CIMName& methodName,
                                    const Array<CIMParamValue>& inParameters) {
  Running running(*this);
  const std::string nsKey = CheckNamespace(nameSpace);
  const ClassInfo& cls = CheckClass(objectName.getClassName());
  if (methodName.isNull()) Fail(CIM_ERR_INVALID_PARAMETER, "method name missing");
  const CIMClass decl = classes_->CopyClass(cls);
  const Uint32 at = decl.findMethod(methodName);
  if (at == PEG_NOT_FOUND) {
    Fail(CIM_ERR_METHOD_NOT_FOUND,
         ToStd(cls.name.getString()) + "." + ToStd(methodName.getString()));
  }
  const CIMConstMethod method = decl.getMethod(at);
  Array<CIMParamValue> typed = TypeParameters(method, inParameters);
  ProviderAgent* agent = routes_.MethodProvider(nsKey, cls.key);
  if (agent == nullptr) {
    Fail(CIM_ERR_NOT_SUPPORTED, "no provider serves methods of " + ToStd(cls.name.getString()));
  }
  return agent->InvokeMethod(context, ProviderPath(nameSpace, cls.name, objectName),
                             method.getName(), typed);
}

// --- class operations ----------------------------------------------------------

CIMClass HostCore::GetClass(const CIMNamespaceName& nameSpace, const CIMName& className,
                            bool localOnly, bool includeQualifiers, bool includeClassOrigin,
                            const CIMPropertyList& propertyList) {
  Running running(*this);
  CheckNamespace(nameSpace);
  if (className.isNull()) Fail(CIM_ERR_INVALID_PARAMETER, "class name missing");
  const ClassInfo* info = classes_->Find(className);
  if (info == nullptr) Fail(CIM_ERR_NOT_FOUND, ToStd(className.getString()));
  CIMClass cls = classes_->CopyClass(*info);
  FilterClass(cls, localOnly, includeQualifiers, includeClassOrigin, propertyList);
  return cls;
}

Array<CIMName> HostCore::EnumerateClassNames(const CIMNamespaceName& nameSpace,
                                             const CIMName& className, bool deepInheritance) {
  Running running(*this);
  CheckNamespace(nameSpace);
  std::vector<const ClassInfo*> found;
  if (className.isNull()) {
    for (const ClassInfo* root : classes_->Roots()) {
      if (deepInheritance) {
        auto all = classes_->WithSubclasses(*root);
        found.insert(found.end(), all.begin(), all.end());
      } else {
        found.push_back(root);
      }
    }
  } else {
    const ClassInfo& base = CheckClass(className);
    if (deepInheritance) {
      found = classes_->WithSubclasses(base);
      found.erase(found.begin());
    } else {
      for (const std::string& child : base.childKeys) found.push_back(classes_->FindKey(child));
    }
  }
  Array<CIMName> out;
  for (const ClassInfo* info : found) out.append(info->name);
  return out;
}

Array<CIMClass> HostCore::EnumerateClasses(const CIMNamespaceName& nameSpace,
                                           const CIMName& className, bool deepInheritance,
                                           bool localOnly, bool includeQualifiers,
                                           bool includeClassOrigin) {
  Array<CIMName> names = EnumerateClassNames(nameSpace, className, deepInheritance);
  Running running(*this);
  Array<CIMClass> out;
  for (Uint32 i = 0; i < names.size(); ++i) {
    CIMClass cls = classes_->CopyClass(*classes_->Find(names[i]));
    FilterClass(cls, localOnly, includeQualifiers, includeClassOrigin, CIMPropertyList());
    out.append(cls);
  }
  return out;
}

}  // namespace mgmt::cimom
