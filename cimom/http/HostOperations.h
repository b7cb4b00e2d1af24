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

  Pegasus::Array<Pegasus::CIMInstance> enumerateInstances(
      const Ctx& c, const Ns& ns, const Pegasus::CIMName& cls, bool deep, bool lo, bool iq,
      bool ico, const Pegasus::CIMPropertyList& pl) override {
    return host_.enumerateInstances(c, ns, cls, deep, lo, iq, ico, pl);
  }
  Pegasus::Array<Pegasus::CIMObjectPath> enumerateInstanceNames(
      const Ctx& c, const Ns& ns, const Pegasus::CIMName& cls) override {
    return host_.enumerateInstanceNames(c, ns, cls);
  }
  Pegasus::CIMInstance getInstance(const Ctx& c, const Ns& ns, const Pegasus::CIMObjectPath& p,
                                   bool lo, bool iq, bool ico,
                                   const Pegasus::CIMPropertyList& pl) override {
    return host_.getInstance(c, ns, p, lo, iq, ico, pl);
  }
  void modifyInstance(const Ctx& c, const Ns& ns, const Pegasus::CIMInstance& i, bool iq,
                      const Pegasus::CIMPropertyList& pl) override {
    host_.modifyInstance(c, ns, i, iq, pl);
  }
  Pegasus::CIMObjectPath createInstance(const Ctx& c, const Ns& ns,
                                        const Pegasus::CIMInstance& i) override {
    return host_.createInstance(c, ns, i);
  }
  void deleteInstance(const Ctx& c, const Ns& ns, const Pegasus::CIMObjectPath& p) override {
    host_.deleteInstance(c, ns, p);
  }
  MethodOutcome invokeMethod(const Ctx& c, const Ns& ns, const Pegasus::CIMObjectPath& p,
                             const Pegasus::CIMName& m,
                             const Pegasus::Array<Pegasus::CIMParamValue>& in) override {
    MethodResult r = host_.invokeMethod(c, ns, p, m, in);
    return {r.returnValue, r.outParameters};
  }
  Pegasus::CIMClass getClass(const Ctx& c, const Ns& ns, const Pegasus::CIMName& cls, bool lo,
                             bool iq, bool ico, const Pegasus::CIMPropertyList& pl) override {
    return host_.getClass(c, ns, cls, lo, iq, ico, pl);
  }
  Pegasus::Array<Pegasus::CIMName> enumerateClassNames(const Ctx& c, const Ns& ns,
                                                       const Pegasus::CIMName& cls,
                                                       bool deep) override {
    return host_.enumerateClassNames(c, ns, cls, deep);
  }
  Pegasus::Array<Pegasus::CIMClass> enumerateClasses(const Ctx& c, const Ns& ns,
                                                     const Pegasus::CIMName& cls, bool deep,
                                                     bool lo, bool iq, bool ico) override {
    return host_.enumerateClasses(c, ns, cls, deep, lo, iq, ico);
  }

 private:
  ProviderHost& host_;
};

}  // namespace mgmt::cimom

#endif
