#include "support/provider_driver.h"

#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/SimpleResponseHandler.h>

namespace mgmt::test {

using namespace Pegasus;

std::string Text(const String& s) { return std::string(static_cast<const char*>(s.getCString())); }

std::string Describe(const CIMConstProperty& p) {
  return Text(p.getName().getString()) + ":" + cimTypeToString(p.getType()) + "=" +
         Text(p.getValue().toString());
}

std::vector<std::string> Describe(const CIMInstance& instance) {
  std::vector<std::string> out;
  const CIMConstInstance view(instance);
  for (Uint32 i = 0; i < view.getPropertyCount(); ++i) out.push_back(Describe(view.getProperty(i)));
  return out;
}

std::string ValueOf(const CIMInstance& instance, const char* name) {
  const CIMConstInstance view(instance);
  const Uint32 at = view.findProperty(CIMName(name));
  if (at == PEG_NOT_FOUND) return "";
  return Text(view.getProperty(at).getValue().toString());
}

ProviderDriver::ProviderDriver(CIMProvider* made)
    : provider_(made), instanceProvider_(dynamic_cast<CIMInstanceProvider*>(made)) {
  if (provider_) provider_->initialize(cimom_);
}

ProviderDriver::~ProviderDriver() {
  if (provider_) provider_->terminate();
}

std::vector<CIMObjectPath> ProviderDriver::Names(const char* className) {
  SimpleObjectPathResponseHandler handler;
  instanceProvider_->enumerateInstanceNames(context_, CIMObjectPath(className), handler);
  complete_ = handler.isProcessing() && handler.isComplete();
  const auto& got = handler.getObjects();
  return {got.getData(), got.getData() + got.size()};
}

std::vector<CIMInstance> ProviderDriver::Instances(const char* className) {
  SimpleInstanceResponseHandler handler;
  instanceProvider_->enumerateInstances(context_, CIMObjectPath(className), false, false,
                                        CIMPropertyList(), handler);
  complete_ = handler.isProcessing() && handler.isComplete();
  const auto& got = handler.getObjects();
  return {got.getData(), got.getData() + got.size()};
}

std::vector<CIMInstance> ProviderDriver::GetInstance(const CIMObjectPath& path, bool* processing) {
  SimpleInstanceResponseHandler handler;
  // Reports processing() also when the provider throws out of getInstance.
  struct Report {
    SimpleInstanceResponseHandler& h;
    bool* out;
    ~Report() {
      if (out) *out = h.isProcessing();
    }
  } report{handler, processing};
  instanceProvider_->getInstance(context_, path, false, false, CIMPropertyList(), handler);
  complete_ = handler.isProcessing() && handler.isComplete();
  const auto& got = handler.getObjects();
  return {got.getData(), got.getData() + got.size()};
}

}  // namespace mgmt::test
