// Drives the performance providers in-process through the broker's collecting
// response handlers, and flattens instances for comparison.
#ifndef MGMT_TESTS_PERF_PROVIDER_UTIL_H
#define MGMT_TESTS_PERF_PROVIDER_UTIL_H

#include "PerfCountersMain.h"

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/OperationContext.h>
#include <Pegasus/Common/SimpleResponseHandler.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace perftest {

inline std::string Text(const Pegasus::String& s) {
  return std::string(static_cast<const char*>(s.getCString()));
}

/// One property as "Name:type=value".
inline std::string Describe(const Pegasus::CIMConstProperty& p) {
  return Text(p.getName().getString()) + ":" + Pegasus::cimTypeToString(p.getType()) + "=" +
         Text(p.getValue().toString());
}

/// Every property of an instance, in order.
inline std::vector<std::string> Describe(const Pegasus::CIMInstance& instance) {
  std::vector<std::string> out;
  const Pegasus::CIMConstInstance view(instance);
  for (Pegasus::Uint32 i = 0; i < view.getPropertyCount(); ++i) {
    out.push_back(Describe(view.getProperty(i)));
  }
  return out;
}

/// The value text of one property ("" when absent).
inline std::string ValueOf(const Pegasus::CIMInstance& instance, const char* name) {
  const Pegasus::CIMConstInstance view(instance);
  const Pegasus::Uint32 at = view.findProperty(Pegasus::CIMName(name));
  if (at == Pegasus::PEG_NOT_FOUND) return "";
  return Text(view.getProperty(at).getValue().toString());
}

/// A provider made by the module's factory, initialized, terminated and deleted
/// at the end as the object manager would.
class Provider {
 public:
  explicit Provider(const char* name)
      : provider_(dynamic_cast<Pegasus::CIMInstanceProvider*>(
            PegasusCreateProvider(Pegasus::String(name)))) {
    if (provider_) provider_->initialize(cimom_);
  }
  ~Provider() {
    if (provider_) provider_->terminate();
  }
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;

  Pegasus::CIMInstanceProvider* get() const { return provider_.get(); }

  std::vector<Pegasus::CIMObjectPath> names(const char* className) {
    Pegasus::SimpleObjectPathResponseHandler handler;
    provider_->enumerateInstanceNames(context_, Pegasus::CIMObjectPath(className), handler);
    complete_ = handler.isProcessing() && handler.isComplete();
    const auto& got = handler.getObjects();
    return {got.getData(), got.getData() + got.size()};
  }

  std::vector<Pegasus::CIMInstance> instances(const char* className) {
    Pegasus::SimpleInstanceResponseHandler handler;
    provider_->enumerateInstances(context_, Pegasus::CIMObjectPath(className), false, false,
                                  Pegasus::CIMPropertyList(), handler);
    complete_ = handler.isProcessing() && handler.isComplete();
    const auto& got = handler.getObjects();
    return {got.getData(), got.getData() + got.size()};
  }

  /// The instances getInstance delivered; `processing` tells whether the handler
  /// saw processing() (also when the provider threw).
  std::vector<Pegasus::CIMInstance> get(const Pegasus::CIMObjectPath& path,
                                        bool* processing = nullptr) {
    Pegasus::SimpleInstanceResponseHandler handler;
    struct Report {
      Pegasus::SimpleInstanceResponseHandler& h;
      bool* out;
      ~Report() {
        if (out) *out = h.isProcessing();
      }
    } report{handler, processing};
    provider_->getInstance(context_, path, false, false, Pegasus::CIMPropertyList(), handler);
    complete_ = handler.isProcessing() && handler.isComplete();
    const auto& got = handler.getObjects();
    return {got.getData(), got.getData() + got.size()};
  }

  /// Whether the last operation called processing() and complete().
  bool completed() const { return complete_; }

  Pegasus::OperationContext& context() { return context_; }

 private:
  Pegasus::CIMOMHandle cimom_;
  Pegasus::OperationContext context_;
  std::unique_ptr<Pegasus::CIMInstanceProvider> provider_;
  bool complete_ = false;
};

}  // namespace perftest

#endif
