// CIMInstance: a shared handle to a path and an ordered property list.
#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/Exception.h>

#include "NamedList.h"
#include "PropertyOwnership.h"

namespace Pegasus {

struct CIMInstance::Rep {
  CIMObjectPath path;
  broker::NamedList<CIMQualifier> qualifiers;
  broker::NamedList<CIMProperty> properties;

  Rep() = default;
  Rep(const Rep&) = delete;
  ~Rep() {
    for (const auto& p : properties.items()) PropertyAccess::release(p);
  }
};

CIMInstance::CIMInstance() = default;
CIMInstance::~CIMInstance() = default;

CIMInstance::CIMInstance(const CIMName& className) {
  if (className.isNull()) throw UninitializedObjectException();
  _rep = std::make_shared<Rep>();
  _rep->path = CIMObjectPath(String(), CIMNamespaceName(), className);
}

CIMInstance::Rep& CIMInstance::_checked() const {
  if (!_rep) throw UninitializedObjectException();
  return *_rep;
}

const CIMName& CIMInstance::getClassName() const { return _checked().path.getClassName(); }
const CIMObjectPath& CIMInstance::getPath() const { return _checked().path; }

void CIMInstance::setPath(const CIMObjectPath& path) {
  Rep& r = _checked();
  if (path.getClassName().isNull()) throw UninitializedObjectException();
  if (!path.getClassName().equal(r.path.getClassName())) throw TypeMismatchException();
  r.path = path;
}

CIMInstance& CIMInstance::addQualifier(const CIMQualifier& qualifier) {
  _checked().qualifiers.add(qualifier, "qualifier");
  return *this;
}

Uint32 CIMInstance::findQualifier(const CIMName& name) const {
  return _checked().qualifiers.find(name);
}
CIMQualifier CIMInstance::getQualifier(Uint32 index) { return _checked().qualifiers.at(index); }
CIMConstQualifier CIMInstance::getQualifier(Uint32 index) const {
  return _checked().qualifiers.at(index);
}
void CIMInstance::removeQualifier(Uint32 index) { _checked().qualifiers.remove(index); }
Uint32 CIMInstance::getQualifierCount() const { return _checked().qualifiers.size(); }

CIMInstance& CIMInstance::addProperty(const CIMProperty& x) {
  _checked().properties.add(x, "property");
  PropertyAccess::adopt(x);
  return *this;
}

Uint32 CIMInstance::findProperty(const CIMName& name) const {
  return _checked().properties.find(name);
}
CIMProperty CIMInstance::getProperty(Uint32 index) { return _checked().properties.at(index); }
CIMConstProperty CIMInstance::getProperty(Uint32 index) const {
  return _checked().properties.at(index);
}

void CIMInstance::removeProperty(Uint32 index) {
  Rep& r = _checked();
  CIMProperty p = r.properties.at(index);
  r.properties.remove(index);
  PropertyAccess::release(p);
}

Uint32 CIMInstance::getPropertyCount() const { return _checked().properties.size(); }

CIMObjectPath CIMInstance::buildPath(const CIMConstClass& cimClass) const {
  const Rep& r = _checked();
  Array<CIMName> keyNames;
  cimClass.getKeyNames(keyNames);
  Array<CIMKeyBinding> keys;
  for (const auto& keyName : keyNames) {
    Uint32 pos = r.properties.find(keyName);
    if (pos == PEG_NOT_FOUND) throw NoSuchProperty(keyName.getString());
    keys.append(CIMKeyBinding(keyName, r.properties.at(pos).getValue()));
  }
  return CIMObjectPath(String(), CIMNamespaceName(), r.path.getClassName(), keys);
}

Boolean CIMInstance::identical(const CIMConstInstance& x) const {
  const Rep& a = _checked();
  const Rep& b = x._i._checked();
  if (&a == &b) return true;
  return a.path.identical(b.path) && a.qualifiers.identical<CIMConstQualifier>(b.qualifiers) &&
         a.properties.identical<CIMConstProperty>(b.properties);
}

CIMInstance CIMInstance::clone() const {
  const Rep& r = _checked();
  CIMInstance copy;
  copy._rep = std::make_shared<Rep>();
  copy._rep->path = r.path;
  copy._rep->qualifiers = r.qualifiers.cloneAll();
  copy._rep->properties = r.properties.cloneAll();
  for (const auto& p : copy._rep->properties.items()) PropertyAccess::adopt(p);
  return copy;
}

void CIMInstance::instanceFilter(Boolean includeQualifiers, Boolean includeClassOrigin,
                                 const CIMPropertyList& propertyList) {
  Rep& r = _checked();
  if (!includeQualifiers) r.qualifiers.clear();
  auto& props = r.properties.items();
  for (size_t i = props.size(); i-- > 0;) {
    if (!propertyList.useThisProperty(props[i].getName())) {
      PropertyAccess::release(props[i]);
      props.erase(props.begin() + long(i));
      continue;
    }
    if (!includeQualifiers)
      while (props[i].getQualifierCount() > 0)
        props[i].removeQualifier(props[i].getQualifierCount() - 1);
    if (!includeClassOrigin) props[i].setClassOrigin(CIMName());
  }
}

void CIMInstance::filter(Boolean, Boolean, const CIMPropertyList&) {}

}  // namespace Pegasus
