#include "UpcallBackend.h"

#include "HostCore.h"
#include "ProviderErrors.h"

using namespace Pegasus;

namespace mgmt::cimom {

void UpcallBackend::detach() {
  std::unique_lock<std::shared_mutex> guard(lock_);
  core_ = nullptr;
}

template <class Op>
decltype(auto) UpcallBackend::call(Op&& op) {
  std::shared_lock<std::shared_mutex> guard(lock_);
  if (core_ == nullptr) throw CIMException(CIM_ERR_FAILED, "the object manager has shut down");
  return guardProviderCall([&]() -> decltype(auto) { return op(*core_); });
}

CIMClass UpcallBackend::getClass(const OperationContext&, const CIMNamespaceName& ns,
                                 const CIMName& cls, Boolean localOnly, Boolean iq, Boolean ico,
                                 const CIMPropertyList& pl) {
  return call([&](HostCore& c) { return c.getClass(ns, cls, localOnly, iq, ico, pl); });
}

Array<CIMName> UpcallBackend::enumerateClassNames(const OperationContext&,
                                                  const CIMNamespaceName& ns, const CIMName& cls,
                                                  Boolean deep) {
  return call([&](HostCore& c) { return c.enumerateClassNames(ns, cls, deep); });
}

CIMInstance UpcallBackend::getInstance(const OperationContext& ctx, const CIMNamespaceName& ns,
                                       const CIMObjectPath& path, Boolean, Boolean iq, Boolean ico,
                                       const CIMPropertyList& pl) {
  return call([&](HostCore& c) { return c.getInstance(ctx, ns, path, iq, ico, pl); });
}

Array<CIMInstance> UpcallBackend::enumerateInstances(const OperationContext& ctx,
                                                     const CIMNamespaceName& ns, const CIMName& cls,
                                                     Boolean deep, Boolean, Boolean iq, Boolean ico,
                                                     const CIMPropertyList& pl) {
  return call([&](HostCore& c) { return c.enumerateInstances(ctx, ns, cls, deep, iq, ico, pl); });
}

Array<CIMObjectPath> UpcallBackend::enumerateInstanceNames(const OperationContext& ctx,
                                                           const CIMNamespaceName& ns,
                                                           const CIMName& cls) {
  return call([&](HostCore& c) { return c.enumerateInstanceNames(ctx, ns, cls); });
}

CIMObjectPath UpcallBackend::createInstance(const OperationContext& ctx, const CIMNamespaceName& ns,
                                            const CIMInstance& inst) {
  return call([&](HostCore& c) { return c.createInstance(ctx, ns, inst); });
}

void UpcallBackend::modifyInstance(const OperationContext& ctx, const CIMNamespaceName& ns,
                                   const CIMInstance& inst, Boolean iq, const CIMPropertyList& pl) {
  call([&](HostCore& c) { c.modifyInstance(ctx, ns, inst, iq, pl); });
}

void UpcallBackend::deleteInstance(const OperationContext& ctx, const CIMNamespaceName& ns,
                                   const CIMObjectPath& path) {
  call([&](HostCore& c) { c.deleteInstance(ctx, ns, path); });
}

CIMValue UpcallBackend::invokeMethod(const OperationContext& ctx, const CIMNamespaceName& ns,
                                     const CIMObjectPath& path, const CIMName& method,
                                     const Array<CIMParamValue>& in, Array<CIMParamValue>& out) {
  MethodResult result =
      call([&](HostCore& c) { return c.invokeMethod(ctx, ns, path, method, in); });
  out = result.outParameters;
  return result.returnValue;
}

}  // namespace mgmt::cimom
