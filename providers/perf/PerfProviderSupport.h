// What the four performance providers share: building properties, the
// operations every one of them answers alike (initialize, terminate, refused
// writes), and the read operations of the three classes keyed by Name.
#ifndef MGMT_PERF_PERFPROVIDERSUPPORT_H
#define MGMT_PERF_PERFPROVIDERSUPPORT_H

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/ResponseHandler.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMOMHandle.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Pegasus {
namespace perfsupport {

/// Appends a uint64 property.
void AddUint64(CIMInstance& instance, const char* name, std::uint64_t value);

/// Appends a uint32 property. Counters are read at full width and published as
/// the kernel's counters would be at 32 bits: modulo 2^32.
void AddUint32(CIMInstance& instance, const char* name, std::uint64_t value);

/// Appends the clock properties every class carries, in this order:
/// Frequency_Jiffies (100), Frequency_Ticks (1000), Timestamp_Jiffies, Timestamp_Ticks.
void AddClocks(CIMInstance& instance, std::uint64_t jiffies, std::uint64_t ticks);

/// Appends a string property.
void AddString(CIMInstance& instance, const char* name, const String& value);

/// Throws CIMNotSupportedException "<provider> does not support <operation>".
[[noreturn]] void RefuseWrite(const char* provider, const char* operation);

/// The local path of an instance of `className` whose Name key is `name`.
CIMObjectPath NamePath(const String& className, const String& name);

/// How one keyed class lists its names and builds the instance of a name.
struct KeyedClass {
  const String& className;
  /// Appended to the requested value in the not-found message, e.g. ": No such processor".
  const char* notFound;
  /// A fresh sampler's name list.
  std::function<std::vector<std::string>()> listNames;
  /// The instance for one listed name, its path set.
  std::function<CIMInstance(const std::string&)> build;
};

/// processing(), one path per listed name, complete().
void EnumerateKeyedNames(const KeyedClass& keyed, ObjectPathResponseHandler& handler);

/// processing(), one instance per listed name, complete().
void EnumerateKeyedInstances(const KeyedClass& keyed, InstanceResponseHandler& handler);

/// Checks the request path (exactly one key binding, named Name, whose value is
/// listed) and throws CIMInvalidParameterException or CIMObjectNotFoundException
/// before processing() when it fails; then processing(), the instance, complete().
void GetKeyedInstance(const KeyedClass& keyed, const CIMObjectPath& request,
                      InstanceResponseHandler& handler);

/// A read-only instance provider: keeps a copy of the object manager's handle,
/// does nothing on terminate, and refuses every write with
/// "<Provider::kProviderName> does not support <operation>". `Provider` adds the
/// read operations.
template <typename Provider>
class ReadOnlyProvider : public CIMInstanceProvider {
 public:
  void initialize(CIMOMHandle& cimom) override { cimom_ = cimom; }
  void terminate() override {}

  void modifyInstance(const OperationContext&, const CIMObjectPath&, const CIMInstance&,
                      const Boolean, const CIMPropertyList&, ResponseHandler&) override {
    RefuseWrite(Provider::kProviderName, "modifyInstance");
  }
  void createInstance(const OperationContext&, const CIMObjectPath&, const CIMInstance&,
                      ObjectPathResponseHandler&) override {
    RefuseWrite(Provider::kProviderName, "createInstance");
  }
  void deleteInstance(const OperationContext&, const CIMObjectPath&, ResponseHandler&) override {
    RefuseWrite(Provider::kProviderName, "deleteInstance");
  }

 private:
  CIMOMHandle cimom_;
};

/// A read-only provider of a class keyed by Name: `Provider::Keyed()` tells how
/// its names are listed and its instances built.
template <typename Provider>
class KeyedProvider : public ReadOnlyProvider<Provider> {
 public:
  void getInstance(const OperationContext&, const CIMObjectPath& instanceReference, const Boolean,
                   const Boolean, const CIMPropertyList&,
                   InstanceResponseHandler& handler) override {
    GetKeyedInstance(Provider::Keyed(), instanceReference, handler);
  }
  void enumerateInstances(const OperationContext&, const CIMObjectPath&, const Boolean,
                          const Boolean, const CIMPropertyList&,
                          InstanceResponseHandler& handler) override {
    EnumerateKeyedInstances(Provider::Keyed(), handler);
  }
  void enumerateInstanceNames(const OperationContext&, const CIMObjectPath&,
                              ObjectPathResponseHandler& handler) override {
    EnumerateKeyedNames(Provider::Keyed(), handler);
  }
};

}  // namespace perfsupport
}  // namespace Pegasus

#endif
