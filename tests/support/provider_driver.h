// Drives a provider in-process the way cimserver does (initialize, operations
// through the broker's collecting response handlers, terminate), and flattens
// instances to text for comparison. For the unit tests of provider modules.
#ifndef MGMT_TESTS_SUPPORT_PROVIDER_DRIVER_H
#define MGMT_TESTS_SUPPORT_PROVIDER_DRIVER_H

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/OperationContext.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMOMHandle.h>
#include <Pegasus/Provider/CIMProvider.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace mgmt::test {

/// UTF-8 text of a broker string.
std::string Text(const Pegasus::String& s);
/// One property as "Name:type=value".
std::string Describe(const Pegasus::CIMConstProperty& p);
/// Every property of an instance, in order.
std::vector<std::string> Describe(const Pegasus::CIMInstance& instance);
/// The value text of one property ("" when absent).
std::string ValueOf(const Pegasus::CIMInstance& instance, const char* name);

/// Owns a provider a module's PegasusCreateProvider made: initializes it, and
/// terminates and deletes it at the end, as the object manager would.
class ProviderDriver {
 public:
  /// `made`: the factory's result (may be null: Get() tells).
  explicit ProviderDriver(Pegasus::CIMProvider* made);
  ~ProviderDriver();
  ProviderDriver(const ProviderDriver&) = delete;
  ProviderDriver& operator=(const ProviderDriver&) = delete;

  /// The provider as an instance provider; null when it is none.
  Pegasus::CIMInstanceProvider* Get() const { return instanceProvider_; }

  std::vector<Pegasus::CIMObjectPath> Names(const char* className);
  std::vector<Pegasus::CIMInstance> Instances(const char* className);
  /// The instances getInstance delivered; `processing` tells whether the
  /// handler saw processing() (also when the provider threw).
  std::vector<Pegasus::CIMInstance> GetInstance(const Pegasus::CIMObjectPath& path,
                                                bool* processing = nullptr);

  /// Whether the last operation called processing() and complete(). Tests of
  /// concurrent operations share one driver among threads, hence atomic.
  bool Completed() const { return complete_; }
  Pegasus::OperationContext& Context() { return context_; }

 private:
  Pegasus::CIMOMHandle cimom_;
  Pegasus::OperationContext context_;
  std::unique_ptr<Pegasus::CIMProvider> provider_;
  Pegasus::CIMInstanceProvider* instanceProvider_ = nullptr;
  std::atomic<bool> complete_{false};
};

}  // namespace mgmt::test

#endif
