#include "InProcessAgent.h"

#include "NameKey.h"
#include "ProviderErrors.h"

#include <Pegasus/Common/SimpleResponseHandler.h>

#include <syslog.h>

#include <stdexcept>

using namespace Pegasus;

namespace mgmt::cimom {
namespace {

const char kNotInitialized[] = "The object is not initialized";
const char kTooMany[] = "Too many objects delivered";

/// Takes a private copy of each instance at the moment it is delivered. Providers
/// commonly deliver the objects they keep, under the lock that guards them; a
/// copy made only after the call returned would read those objects while another
/// request (a modifyInstance, say) changes them.
class PrivateCopyHandler final : public SimpleInstanceResponseHandler {
 public:
  using SimpleInstanceResponseHandler::deliver;
  void deliver(const CIMInstance& instance) override {
    SimpleInstanceResponseHandler::deliver(instance.isUninitialized() ? instance
                                                                      : instance.clone());
  }
};

}  // namespace

ProviderLoader ModuleProviderLoader(ModuleCache& cache, std::filesystem::path file,
                                    std::string providerName) {
  return [&cache, file = std::move(file), providerName = std::move(providerName)]() {
    LoadedProvider loaded;
    loaded.module = cache.Open(file);
    ProviderFactoryFn create = loaded.module->Factory();
    try {
      loaded.provider.reset(create(String(providerName.c_str())));
    } catch (...) {
      // The exception object may be of a type the module defines: read it
      // now, while `loaded.module` still keeps the library mapped, and throw
      // one of ours, which outlives the library being closed.
      throw std::runtime_error("PegasusCreateProvider(\"" + providerName + "\") of " +
                               file.string() + " failed: " + CurrentExceptionText());
    }
    if (!loaded.provider) {
      throw std::runtime_error("PegasusCreateProvider(\"" + providerName + "\") of " +
                               file.string() + " returned no provider");
    }
    return loaded;
  };
}

InProcessAgent::InProcessAgent(std::string description, ProviderLoader loader, CIMOMHandle cimom,
                               LogSink log)
    : description_(std::move(description)),
      loader_(std::move(loader)),
      cimom_(std::move(cimom)),
      log_(std::move(log)) {}

InProcessAgent::~InProcessAgent() { Stop(); }

void InProcessAgent::Log(int priority, const std::string& message) const {
  if (log_) log_(priority, message);
}

void InProcessAgent::EnsureReady() {
  // A provider that calls back into its own classes from initialize() would
  // wait for itself for ever; refuse that call instead.
  if (loadingThread_.load() == std::this_thread::get_id()) {
    throw CIMException(CIM_ERR_FAILED,
                       String(("provider " + description_ + " is still initializing").c_str()));
  }
  std::lock_guard<std::mutex> guard(lock_);
  switch (state_) {
    case State::kReady:
      return;
    case State::kFailed:
      throw CIMException(CIM_ERR_FAILED, String(failure_.c_str()));
    case State::kStopped:
      throw CIMException(CIM_ERR_FAILED,
                         String(("provider " + description_ + " has been stopped").c_str()));
    case State::kNotLoaded:
      break;
  }
  const auto fail = [&](const std::string& what) {
    failure_ = "provider " + description_ + " failed to load: " + what;
    state_ = State::kFailed;
    Log(LOG_ERR, failure_);
    throw CIMException(CIM_ERR_FAILED, String(failure_.c_str()));
  };
  struct LoadingMark {
    std::atomic<std::thread::id>& mark;
    explicit LoadingMark(std::atomic<std::thread::id>& m) : mark(m) {
      mark = std::this_thread::get_id();
    }
    ~LoadingMark() { mark = std::thread::id(); }
  } loading(loadingThread_);
  LoadedProvider loaded;
  try {
    loaded = loader_();
  } catch (...) {
    fail(CurrentExceptionText());
  }
  try {
    loaded.provider->initialize(cimom_);
  } catch (...) {
    std::string why = CurrentExceptionText();
    loaded.provider.reset();  // ours to delete; terminate() is only for initialised providers
    fail("initialize: " + why);
  }
  loaded_ = std::move(loaded);
  instanceIf_ = dynamic_cast<CIMInstanceProvider*>(loaded_.provider.get());
  methodIf_ = dynamic_cast<CIMMethodProvider*>(loaded_.provider.get());
  state_ = State::kReady;
}

CIMInstanceProvider& InProcessAgent::Instances() {
  EnsureReady();
  if (instanceIf_ == nullptr) {
    throw CIMException(
        CIM_ERR_NOT_SUPPORTED,
        String(("provider " + description_ + " is not an instance provider").c_str()));
  }
  return *instanceIf_;
}

CIMMethodProvider& InProcessAgent::Methods() {
  EnsureReady();
  if (methodIf_ == nullptr) {
    throw CIMException(CIM_ERR_NOT_SUPPORTED,
                       String(("provider " + description_ + " is not a method provider").c_str()));
  }
  return *methodIf_;
}

Array<CIMInstance> InProcessAgent::EnumerateInstances(const OperationContext& context,
                                                      const CIMObjectPath& classPath,
                                                      Boolean includeQualifiers,
                                                      Boolean includeClassOrigin,
                                                      const CIMPropertyList& propertyList) {
  CIMInstanceProvider& provider = Instances();
  PrivateCopyHandler handler;
  GuardProviderCall([&] {
    provider.enumerateInstances(context, classPath, includeQualifiers, includeClassOrigin,
                                propertyList, handler);
  });
  const Array<CIMInstance>& delivered = handler.getObjects();
  for (Uint32 i = 0; i < delivered.size(); ++i) {
    if (delivered[i].isUninitialized()) throw CIMException(CIM_ERR_FAILED, kNotInitialized);
  }
  return delivered;
}

Array<CIMObjectPath> InProcessAgent::EnumerateInstanceNames(const OperationContext& context,
                                                            const CIMObjectPath& classPath) {
  CIMInstanceProvider& provider = Instances();
  SimpleObjectPathResponseHandler handler;
  GuardProviderCall([&] { provider.enumerateInstanceNames(context, classPath, handler); });
  const Array<CIMObjectPath>& delivered = handler.getObjects();
  for (Uint32 i = 0; i < delivered.size(); ++i) {
    if (delivered[i].getClassName().isNull()) throw CIMException(CIM_ERR_FAILED, kNotInitialized);
  }
  return delivered;
}

std::optional<CIMInstance> InProcessAgent::GetInstance(const OperationContext& context,
                                                       const CIMObjectPath& instancePath,
                                                       Boolean includeQualifiers,
                                                       Boolean includeClassOrigin,
                                                       const CIMPropertyList& propertyList) {
  CIMInstanceProvider& provider = Instances();
  PrivateCopyHandler handler;
  GuardProviderCall([&] {
    provider.getInstance(context, instancePath, includeQualifiers, includeClassOrigin, propertyList,
                         handler);
  });
  const Array<CIMInstance>& delivered = handler.getObjects();
  if (delivered.size() > 1) throw CIMException(CIM_ERR_FAILED, kTooMany);
  if (delivered.size() == 0) return std::nullopt;
  if (delivered[0].isUninitialized()) throw CIMException(CIM_ERR_FAILED, kNotInitialized);
  return delivered[0];
}

void InProcessAgent::ModifyInstance(const OperationContext& context,
                                    const CIMObjectPath& instancePath,
                                    const CIMInstance& modifiedInstance, Boolean includeQualifiers,
                                    const CIMPropertyList& propertyList) {
  CIMInstanceProvider& provider = Instances();
  SimpleResponseHandlerImpl handler;
  GuardProviderCall([&] {
    provider.modifyInstance(context, instancePath, modifiedInstance, includeQualifiers,
                            propertyList, handler);
  });
}

CIMObjectPath InProcessAgent::CreateInstance(const OperationContext& context,
                                             const CIMObjectPath& instancePath,
                                             const CIMInstance& newInstance) {
  CIMInstanceProvider& provider = Instances();
  SimpleObjectPathResponseHandler handler;
  GuardProviderCall([&] { provider.createInstance(context, instancePath, newInstance, handler); });
  const Array<CIMObjectPath>& delivered = handler.getObjects();
  if (delivered.size() > 1) throw CIMException(CIM_ERR_FAILED, kTooMany);
  if (delivered.size() == 0 || delivered[0].getClassName().isNull()) {
    throw CIMException(CIM_ERR_FAILED, "The provider delivered no path for the new instance");
  }
  return delivered[0];
}

void InProcessAgent::DeleteInstance(const OperationContext& context,
                                    const CIMObjectPath& instancePath) {
  CIMInstanceProvider& provider = Instances();
  SimpleResponseHandlerImpl handler;
  GuardProviderCall([&] { provider.deleteInstance(context, instancePath, handler); });
}

MethodResult InProcessAgent::InvokeMethod(const OperationContext& context,
                                          const CIMObjectPath& objectPath,
                                          const CIMName& methodName,
                                          const Array<CIMParamValue>& inParameters) {
  CIMMethodProvider& provider = Methods();
  SimpleMethodResultResponseHandler handler;
  GuardProviderCall(
      [&] { provider.invokeMethod(context, objectPath, methodName, inParameters, handler); });
  if (handler.returnValueCount() > 1) throw CIMException(CIM_ERR_FAILED, kTooMany);
  if (handler.returnValueCount() == 1 && handler.getReturnValue().isNull()) {
    throw CIMException(CIM_ERR_FAILED, kNotInitialized);
  }
  MethodResult result;
  result.returnValue = handler.getReturnValue();
  const Array<CIMParamValue>& out = handler.getParamValues();
  for (Uint32 i = 0; i < out.size(); ++i) {
    if (out[i].isUninitialized()) throw CIMException(CIM_ERR_FAILED, kNotInitialized);
    result.outParameters.append(out[i].clone());
  }
  return result;
}

void InProcessAgent::Stop() noexcept {
  std::lock_guard<std::mutex> guard(lock_);
  if (state_ == State::kReady) {
    try {
      loaded_.provider->terminate();
    } catch (...) {
      Log(LOG_WARNING, "provider " + description_ + ": terminate: " + CurrentExceptionText());
    }
    instanceIf_ = nullptr;
    methodIf_ = nullptr;
    loaded_.provider.reset();
    loaded_.module.reset();
  }
  state_ = State::kStopped;
}

}  // namespace mgmt::cimom
