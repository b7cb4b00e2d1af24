// A scripted CimOperations for tests of the CIM-XML front end and the client:
// keeps instances of "Test_Thing" (key "Id") in memory and fails on request.
#ifndef MGMT_TESTS_FAKEOPERATIONS_H
#define MGMT_TESTS_FAKEOPERATIONS_H

#include <Pegasus/Common/CIMFlavor.h>
#include <Pegasus/Common/CIMMethod.h>
#include <Pegasus/Common/CIMParameter.h>
#include <Pegasus/Common/CIMQualifier.h>
#include <Pegasus/Common/Exception.h>

#include <map>
#include <mutex>
#include <stdexcept>
#include <string>

#include "CimOperations.h"

namespace mgmt::test {

using namespace Pegasus;

class FakeOperations : public cimom::CimOperations {
 public:
  std::mutex mutex;
  std::map<std::string, CIMInstance> things;  // by Id
  std::string lastUser;
  CIMPropertyList lastPropertyList;
  bool lastDeep = false, lastLocalOnly = false;

  static CIMObjectPath PathOf(const std::string& id) {
    Array<CIMKeyBinding> keys;
    keys.append(CIMKeyBinding(CIMName("Id"), String(id.c_str()), CIMKeyBinding::STRING));
    return CIMObjectPath(String(), CIMNamespaceName(), CIMName("Test_Thing"), keys);
  }
  void Add(const CIMInstance& inst, const std::string& id) {
    CIMInstance copy = inst.clone();
    copy.setPath(PathOf(id));
    things[id] = copy;
  }

  Array<CIMInstance> EnumerateInstances(const Ctx& c, const Ns&, const CIMName& cls, bool deep,
                                        bool lo, bool, bool, const CIMPropertyList& pl) override {
    std::lock_guard l(mutex);
    Note(c);
    lastDeep = deep;
    lastLocalOnly = lo;
    lastPropertyList = pl;
    CheckClass(cls);
    Array<CIMInstance> out;
    for (auto& [id, inst] : things) out.append(inst.clone());
    return out;
  }
  Array<CIMObjectPath> EnumerateInstanceNames(const Ctx& c, const Ns&,
                                              const CIMName& cls) override {
    std::lock_guard l(mutex);
    Note(c);
    CheckClass(cls);
    Array<CIMObjectPath> out;
    for (auto& [id, inst] : things) out.append(inst.getPath());
    return out;
  }
  CIMInstance GetInstance(const Ctx& c, const Ns&, const CIMObjectPath& p, bool, bool, bool,
                          const CIMPropertyList& pl) override {
    std::lock_guard l(mutex);
    Note(c);
    lastPropertyList = pl;
    return Find(p).clone();
  }
  void ModifyInstance(const Ctx& c, const Ns&, const CIMInstance& inst, bool,
                      const CIMPropertyList&) override {
    std::lock_guard l(mutex);
    Note(c);
    Find(inst.getPath()) = inst.clone();
  }
  CIMObjectPath CreateInstance(const Ctx& c, const Ns&, const CIMInstance& inst) override {
    std::lock_guard l(mutex);
    Note(c);
    Uint32 i = inst.findProperty(CIMName("Id"));
    if (i == PEG_NOT_FOUND) throw CIMException(CIM_ERR_INVALID_PARAMETER, "Id missing");
    String id;
    inst.getProperty(i).getValue().get(id);
    std::string key = (const char*)id.getCString();
    if (things.count(key)) throw CIMException(CIM_ERR_ALREADY_EXISTS, "Id taken");
    Add(inst, key);
    return PathOf(key);
  }
  void DeleteInstance(const Ctx& c, const Ns&, const CIMObjectPath& p) override {
    std::lock_guard l(mutex);
    Note(c);
    Find(p);
    things.erase(IdOf(p));
  }
  cimom::MethodOutcome InvokeMethod(const Ctx& c, const Ns&, const CIMObjectPath&, const CIMName& m,
                                    const Array<CIMParamValue>& in) override {
    std::lock_guard l(mutex);
    Note(c);
    if (m.equal(CIMName("Boom"))) throw std::runtime_error("provider blew up");
    if (!m.equal(CIMName("Echo"))) throw CIMException(CIM_ERR_METHOD_NOT_FOUND, m.getString());
    cimom::MethodOutcome r;
    r.returnValue = CIMValue(Uint32(in.size()));
    for (Uint32 i = 0; i < in.size(); ++i) r.outParameters.append(in[i]);
    return r;
  }
  CIMClass GetClass(const Ctx&, const Ns&, const CIMName& cls, bool, bool, bool,
                    const CIMPropertyList&) override {
    CheckClass(cls);
    return ThingClass();
  }
  Array<CIMName> EnumerateClassNames(const Ctx&, const Ns&, const CIMName&, bool) override {
    Array<CIMName> out;
    out.append(CIMName("Test_Thing"));
    return out;
  }
  Array<CIMClass> EnumerateClasses(const Ctx&, const Ns&, const CIMName&, bool, bool, bool,
                                   bool) override {
    Array<CIMClass> out;
    out.append(ThingClass());
    return out;
  }

  static CIMClass ThingClass() {
    CIMClass cls(CIMName("Test_Thing"), CIMName("Test_Base"));
    CIMProperty id(CIMName("Id"), CIMValue(String()));
    id.addQualifier(CIMQualifier(CIMName("Key"), CIMValue(true)));
    cls.addProperty(id);
    cls.addProperty(CIMProperty(CIMName("Count"), CIMValue(CIMTYPE_UINT32, false)));
    CIMMethod echo(CIMName("Echo"), CIMTYPE_UINT32);
    echo.addParameter(CIMParameter(CIMName("Text"), CIMTYPE_STRING));
    echo.addParameter(CIMParameter(CIMName("Numbers"), CIMTYPE_SINT16, true));
    cls.addMethod(echo);
    return cls;
  }

 private:
  void Note(const Ctx& c) {
    IdentityContainer id(c.get(IdentityContainer::NAME));
    lastUser = (const char*)id.getUserName().getCString();
  }
  static void CheckClass(const CIMName& cls) {
    if (!cls.equal(CIMName("Test_Thing")))
      throw CIMException(CIM_ERR_INVALID_CLASS, cls.getString());
  }
  static std::string IdOf(const CIMObjectPath& p) {
    const Array<CIMKeyBinding>& k = p.getKeyBindings();
    return k.size() == 1 ? std::string((const char*)k[0].getValue().getCString()) : std::string();
  }
  CIMInstance& Find(const CIMObjectPath& p) {
    auto it = things.find(IdOf(p));
    if (it == things.end()) throw CIMException(CIM_ERR_NOT_FOUND, "no such thing");
    return it->second;
  }
};

}  // namespace mgmt::test

#endif
