// CIMClass: a shared handle to a class definition; key discovery and
// instance building.
#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/Exception.h>

#include "NamedList.h"
#include "PropertyOwnership.h"

namespace Pegasus {

struct CIMClass::Rep {
  CIMObjectPath path;
  CIMName superClassName;
  broker::NamedList<CIMQualifier> qualifiers;
  broker::NamedList<CIMProperty> properties;
  broker::NamedList<CIMMethod> methods;

  Rep() = default;
  Rep(const Rep&) = delete;
  ~Rep() {
    for (const auto& p : properties.items()) PropertyAccess::release(p);
  }
};

namespace {

// A boolean qualifier that is present, non-null and true.
template <class Holder>
bool booleanQualifier(const Holder& holder, const CIMName& name) {
  Uint32 pos = holder.findQualifier(name);
  if (pos == PEG_NOT_FOUND) return false;
  const CIMValue& v = holder.getQualifier(pos).getValue();
  if (v.getType() != CIMTYPE_BOOLEAN || v.isArray() || v.isNull()) return false;
  Boolean b = false;
  v.get(b);
  return b;
}

const CIMName& keyQualifier() {
  static const CIMName name("Key");
  return name;
}

}  // namespace

CIMClass::CIMClass() = default;

CIMClass::CIMClass(const CIMName& className, const CIMName& superClassName) {
  if (className.isNull()) throw UninitializedObjectException();
  _rep = std::make_shared<Rep>();
  _rep->path = CIMObjectPath(String(), CIMNamespaceName(), className);
  _rep->superClassName = superClassName;
}

CIMClass::Rep& CIMClass::_checked() const {
  if (!_rep) throw UninitializedObjectException();
  return *_rep;
}

Boolean CIMClass::isAssociation() const { return booleanQualifier(*this, CIMName("Association")); }
Boolean CIMClass::isAbstract() const { return booleanQualifier(*this, CIMName("Abstract")); }
const CIMName& CIMClass::getClassName() const { return _checked().path.getClassName(); }
const CIMObjectPath& CIMClass::getPath() const { return _checked().path; }

void CIMClass::setPath(const CIMObjectPath& path) {
  Rep& r = _checked();
  if (path.getClassName().isNull()) throw UninitializedObjectException();
  if (!path.getClassName().equal(r.path.getClassName())) throw TypeMismatchException();
  r.path = path;
}

const CIMName& CIMClass::getSuperClassName() const { return _checked().superClassName; }
void CIMClass::setSuperClassName(const CIMName& superClassName) {
  _checked().superClassName = superClassName;
}

CIMClass& CIMClass::addQualifier(const CIMQualifier& qualifier) {
  _checked().qualifiers.add(qualifier, "qualifier");
  return *this;
}
Uint32 CIMClass::findQualifier(const CIMName& name) const {
  return _checked().qualifiers.find(name);
}
CIMQualifier CIMClass::getQualifier(Uint32 index) { return _checked().qualifiers.at(index); }
CIMConstQualifier CIMClass::getQualifier(Uint32 index) const {
  return _checked().qualifiers.at(index);
}
void CIMClass::removeQualifier(Uint32 index) { _checked().qualifiers.remove(index); }
Uint32 CIMClass::getQualifierCount() const { return _checked().qualifiers.size(); }

CIMClass& CIMClass::addProperty(const CIMProperty& x) {
  _checked().properties.add(x, "property");
  PropertyAccess::adopt(x);
  return *this;
}
Uint32 CIMClass::findProperty(const CIMName& name) const {
  return _checked().properties.find(name);
}
CIMProperty CIMClass::getProperty(Uint32 index) { return _checked().properties.at(index); }
CIMConstProperty CIMClass::getProperty(Uint32 index) const {
  return _checked().properties.at(index);
}
void CIMClass::removeProperty(Uint32 index) {
  Rep& r = _checked();
  CIMProperty p = r.properties.at(index);
  r.properties.remove(index);
  PropertyAccess::release(p);
}
Uint32 CIMClass::getPropertyCount() const { return _checked().properties.size(); }

CIMClass& CIMClass::addMethod(const CIMMethod& x) {
  _checked().methods.add(x, "method");
  return *this;
}
Uint32 CIMClass::findMethod(const CIMName& name) const { return _checked().methods.find(name); }
CIMMethod CIMClass::getMethod(Uint32 index) { return _checked().methods.at(index); }
CIMConstMethod CIMClass::getMethod(Uint32 index) const { return _checked().methods.at(index); }
void CIMClass::removeMethod(Uint32 index) { _checked().methods.remove(index); }
Uint32 CIMClass::getMethodCount() const { return _checked().methods.size(); }

void CIMClass::getKeyNames(Array<CIMName>& keyNames) const {
  keyNames.clear();
  for (const auto& p : _checked().properties.items())
    if (booleanQualifier(CIMConstProperty(p), keyQualifier())) keyNames.append(p.getName());
}

Boolean CIMClass::hasKeys() const {
  for (const auto& p : _checked().properties.items())
    if (booleanQualifier(CIMConstProperty(p), keyQualifier())) return true;
  return false;
}

CIMInstance CIMClass::buildInstance(Boolean includeQualifiers, Boolean includeClassOrigin,
                                    const CIMPropertyList& propertyList) const {
  const Rep& r = _checked();
  CIMInstance inst(r.path.getClassName());
  if (includeQualifiers)
    for (const auto& q : r.qualifiers.items()) inst.addQualifier(q.clone());
  for (const auto& p : r.properties.items()) {
    if (!propertyList.useThisProperty(p.getName())) continue;
    CIMProperty copy = p.clone();
    if (!includeQualifiers)
      while (copy.getQualifierCount() > 0) copy.removeQualifier(copy.getQualifierCount() - 1);
    if (!includeClassOrigin) copy.setClassOrigin(CIMName());
    inst.addProperty(copy);
  }
  return inst;
}

CIMClass CIMClass::clone() const {
  const Rep& r = _checked();
  CIMClass copy;
  copy._rep = std::make_shared<Rep>();
  copy._rep->path = r.path;
  copy._rep->superClassName = r.superClassName;
  copy._rep->qualifiers = r.qualifiers.cloneAll();
  copy._rep->properties = r.properties.cloneAll();
  for (const auto& p : copy._rep->properties.items()) PropertyAccess::adopt(p);
  copy._rep->methods = r.methods.cloneAll();
  return copy;
}

Boolean CIMClass::identical(const CIMConstClass& x) const {
  const Rep& a = _checked();
  const Rep& b = x._c._checked();
  return &a == &b || (a.path.identical(b.path) && a.superClassName.equal(b.superClassName) &&
                      a.qualifiers.identical<CIMConstQualifier>(b.qualifiers) &&
                      a.properties.identical<CIMConstProperty>(b.properties) &&
                      a.methods.identical<CIMConstMethod>(b.methods));
}

}  // namespace Pegasus
