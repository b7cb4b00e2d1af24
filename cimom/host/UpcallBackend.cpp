#include "UpcallBackend.h"

#include "HostCore.h"
#include "ProviderErrors.h"

using namespace Pegasus;

namespace mgmt::cimom {

void UpcallBackend::Detach() {
  std::unique_lock<std::shared_mutex> guard(lock_);
  core_ = nullptr;
}

template <class Op>
decltype(auto) UpcallBackend::Call(Op&& op) {
  std::shared_lock<std::shared_mutex> guard(lock_);
  if (core_ == nullptr) throw CIMException(CIM_ERR_FAILED, "the object manager has shut down");
  return GuardProviderCall([&]() -> decltype(auto) { return op(*core_); });
}

CIMClass UpcallBackend::getClass(const OperationContext&, const CIMNamespaceName& ns,
                                 const CIMName& cls, Boolean localOnly, Boolean iq, Boolean ico,
                                 const CIMPropertyList& pl) {
  return Call([&](HostCore& c) { return c.GetClass(ns, cls, localOnly, iq, ico, pl); });
}

Array<CIMName> UpcallBackend::enumerateClassNames(const OperationContext&,
                                                  const CIMNamespaceName& ns, const CIMName& cls,
                                                  Boolean deep) {
  return Call([&](HostCore& c) { return c.EnumerateClassNames(ns, cls, deep); });
}

CIMInstance UpcallBackend::getInstance(const OperationContext& ctx, const CIMNamespaceName& ns,
                                       const CIMObjectPath& path, Boolean, Boolean iq, Boolean ico,
                                       const CIMPropertyList& pl) {
  return Call([&](HostCore& c) { return c.GetInstance(ctx, ns, path, iq, ico, pl); });
}

Array<CIMInstance> UpcallBackend::enumerateInstances(const OperationContext& ctx,
                                                     const CIMNamespaceName& ns, const CIMName& cls,
                                                     Boolean deep, Boolean, Boolean iq, Boolean ico,
                                                     const CIMPropertyList& pl) {
  return Call([&](HostCore& c) { return c.EnumerateInstances(ctx, ns, cls, deep, iq, ico, pl); });
}

Array<CIMObjectPath> UpcallBackend::enumerateInstanceNames(const OperationContext& ctx,
                                                           const CIMNamespaceName& ns,
                                                           const CIMName& cls) {
  return Call([&](HostCore& c) { return c.EnumerateInstanceNames(ctx, ns, cls); });
}

CIMObjectPath UpcallBackend::createInstance(const OperationContext& ctx, const CIMNamespaceName& ns,
                                            const CIMInstance& inst) {
  return Call([&](HostCore& c) { return c.CreateInstance(ctx, ns, inst); });
}

void UpcallBackend::modifyInstance(const OperationContext& ctx, const CIMNamespaceName& ns,
                                   const CIMInstance& inst, Boolean iq, const CIMPropertyList& pl) {
  Call([&](HostCore& c) { c.ModifyInstance(ctx, ns, inst, iq, pl); });
}

void UpcallBackend::deleteInstance(const OperationContext& ctx, const CIMNamespaceName& ns,
                                   const CIMObjectPath& path) {
  Call([&](HostCore& c) { c.DeleteInstance(ctx, ns, path); });
}

CIMValue UpcallBackend::invokeMethod(const OperationContext& ctx, const CIMNamespaceName& ns,
                                     const CIMObjectPath& path, const CIMName& method,
                                     const Array<CIMParamValue>& in, Array<CIMParamValue>& out) {
  MethodResult result =
      Call([&](HostCore& c) { return c.InvokeMethod(ctx, ns, path, method, in); });
  out = result.outParameters;
  return result.returnValue;
}

}  // namespace mgmt::cimom
