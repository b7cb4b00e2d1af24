// CimOperations served by the provider host: the production wiring of the
// CIM-XML front end.
#ifndef MGMT_CIMOM_HOSTOPERATIONS_H
#define MGMT_CIMOM_HOSTOPERATIONS_H

#include "CimOperations.h"
#include "ProviderHost.h"

namespace mgmt::cimom {

class HostOperations : public CimOperations {
 public:
  explicit HostOperations(ProviderHost& host) : host_(host) {}

  Pegasus::Array<Pegasus::CIMInstance> EnumerateInstances(
      const Ctx& c, const Ns& ns, const Pegasus::CIMName& cls, bool deep, bool lo, bool iq,
      bool ico, const Pegasus::CIMPropertyList& pl) override {
    return host_.EnumerateInstances(c, ns, cls, deep, lo, iq, ico, pl);
  }
  Pegasus::Array<Pegasus::CIMObjectPath> EnumerateInstanceNames(
      const Ctx& c, const Ns& ns, const Pegasus::CIMName& cls) override {
    return host_.EnumerateInstanceNames(c, ns, cls);
  }
  Pegasus::CIMInstance GetInstance(const Ctx& c, const Ns& ns, const Pegasus::CIMObjectPath& p,
                                   bool lo, bool iq, bool ico,
                                   const Pegasus::CIMPropertyList& pl) override {
    return host_.GetInstance(c, ns, p, lo, iq, ico, pl);
  }
  void ModifyInstance(const Ctx& c, const Ns& ns, const Pegasus::CIMInstance& i, bool iq,
                      const Pegasus::CIMPropertyList& pl) override {
    host_.ModifyInstance(c, ns, i, iq, pl);
  }
  Pegasus::CIMObjectPath CreateInstance(const Ctx& c, const Ns& ns,
                                        const Pegasus::CIMInstance& i) override {
    return host_.CreateInstance(c, ns, i);
  }
  void DeleteInstance(const Ctx& c, const Ns& ns, const Pegasus::CIMObjectPath& p) override {
    host_.DeleteInstance(c, ns, p);
  }
  MethodOutcome InvokeMethod(const Ctx& c, const Ns& ns, const Pegasus::CIMObjectPath& p,
                             const Pegasus::CIMName& m,
                             const Pegasus::Array<Pegasus::CIMParamValue>& in) override {
    MethodResult r = host_.InvokeMethod(c, ns, p, m, in);
    return {r.returnValue, r.outParameters};
  }
  Pegasus::CIMClass GetClass(const Ctx& c, const Ns& ns, const Pegasus::CIMName& cls, bool lo,
                             bool iq, bool ico, const Pegasus::CIMPropertyList& pl) override {
    return host_.GetClass(c, ns, cls, lo, iq, ico, pl);
  }
  Pegasus::Array<Pegasus::CIMName> EnumerateClassNames(const Ctx& c, const Ns& ns,
                                                       const Pegasus::CIMName& cls,
                                                       bool deep) override {
    return host_.EnumerateClassNames(c, ns, cls, deep);
  }
  Pegasus::Array<Pegasus::CIMClass> EnumerateClasses(const Ctx& c, const Ns& ns,
                                                     const Pegasus::CIMName& cls, bool deep,
                                                     bool lo, bool iq, bool ico) override {
    return host_.EnumerateClasses(c, ns, cls, deep, lo, iq, ico);
  }

 private:
  ProviderHost& host_;
};

}  // namespace mgmt::cimom

#endif
