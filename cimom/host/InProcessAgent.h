// The in-process provider adapter: owns one provider object in this process and
// drives it through the provider interface on behalf of the router.
#ifndef MGMT_CIMOM_HOST_INPROCESSAGENT_H
#define MGMT_CIMOM_HOST_INPROCESSAGENT_H

#include "ModuleLibrary.h"
#include "ProviderAgent.h"

#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMMethodProvider.h>
#include <Pegasus/Provider/CIMOMHandle.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace mgmt::cimom {

/// A created provider and the module it came from (null for built-in providers).
/// The provider is deleted before the module is released.
struct LoadedProvider {
  std::shared_ptr<ModuleLibrary> module;
  std::unique_ptr<Pegasus::CIMProvider> provider;
};

/// Creates the provider object; may throw anything, which counts as a load failure.
using ProviderLoader = std::function<LoadedProvider()>;

/// Loader for provider `providerName` of the module library `file`.
ProviderLoader ModuleProviderLoader(ModuleCache& cache, std::filesystem::path file,
                                    std::string providerName);

/// Creates the provider through its loader and calls initialize() on first use
/// (once, whatever the number of threads asking); a failure there is logged once
/// and every later operation fails with CIM_ERR_FAILED naming it. Operations run
/// concurrently without any lock of ours: providers lock themselves.
class InProcessAgent final : public ProviderAgent {
 public:
  InProcessAgent(std::string description, ProviderLoader loader, Pegasus::CIMOMHandle cimom,
                 LogSink log);
  ~InProcessAgent() override;

  const std::string& Describe() const override { return description_; }

  Pegasus::Array<Pegasus::CIMInstance> EnumerateInstances(
      const Pegasus::OperationContext& context, const Pegasus::CIMObjectPath& classPath,
      Pegasus::Boolean includeQualifiers, Pegasus::Boolean includeClassOrigin,
      const Pegasus::CIMPropertyList& propertyList) override;
  Pegasus::Array<Pegasus::CIMObjectPath> EnumerateInstanceNames(
      const Pegasus::OperationContext& context, const Pegasus::CIMObjectPath& classPath) override;
  std::optional<Pegasus::CIMInstance> GetInstance(
      const Pegasus::OperationContext& context, const Pegasus::CIMObjectPath& instancePath,
      Pegasus::Boolean includeQualifiers, Pegasus::Boolean includeClassOrigin,
      const Pegasus::CIMPropertyList& propertyList) override;
  void ModifyInstance(const Pegasus::OperationContext& context,
                      const Pegasus::CIMObjectPath& instancePath,
                      const Pegasus::CIMInstance& modifiedInstance,
                      Pegasus::Boolean includeQualifiers,
                      const Pegasus::CIMPropertyList& propertyList) override;
  Pegasus::CIMObjectPath CreateInstance(const Pegasus::OperationContext& context,
                                        const Pegasus::CIMObjectPath& instancePath,
                                        const Pegasus::CIMInstance& newInstance) override;
  void DeleteInstance(const Pegasus::OperationContext& context,
                      const Pegasus::CIMObjectPath& instancePath) override;
  MethodResult InvokeMethod(const Pegasus::OperationContext& context,
                            const Pegasus::CIMObjectPath& objectPath,
                            const Pegasus::CIMName& methodName,
                            const Pegasus::Array<Pegasus::CIMParamValue>& inParameters) override;
  void Stop() noexcept override;

 private:
  enum class State { kNotLoaded, kReady, kFailed, kStopped };

  /// Loads on first use; throws CIM_ERR_FAILED if the provider is not usable.
  void EnsureReady();
  Pegasus::CIMInstanceProvider& Instances();
  Pegasus::CIMMethodProvider& Methods();
  void Log(int priority, const std::string& message) const;

  std::string description_;
  ProviderLoader loader_;
  Pegasus::CIMOMHandle cimom_;
  LogSink log_;

  std::mutex lock_;
  std::atomic<std::thread::id> loadingThread_{};
  State state_ = State::kNotLoaded;
  std::string failure_;
  LoadedProvider loaded_;
  Pegasus::CIMInstanceProvider* instanceIf_ = nullptr;
  Pegasus::CIMMethodProvider* methodIf_ = nullptr;
};

}  // namespace mgmt::cimom

#endif
