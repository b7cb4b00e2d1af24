// CIMProperty: a shared handle to a named, typed value.
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/Exception.h>

#include "NamedList.h"
#include "PropertyOwnership.h"

namespace Pegasus {

struct CIMProperty::Rep {
  CIMName name;
  CIMValue value;
  Uint32 arraySize = 0;
  CIMName referenceClassName;
  CIMName classOrigin;
  Boolean propagated = false;
  broker::NamedList<CIMQualifier> qualifiers;
  Uint32 owners = 0;  // containers holding this property
};

void PropertyAccess::adopt(const CIMProperty& p) { p._checked().owners++; }

void PropertyAccess::release(const CIMProperty& p) {
  if (p._rep && p._rep->owners > 0) p._rep->owners--;
}

CIMProperty::CIMProperty() = default;
CIMProperty::~CIMProperty() = default;

CIMProperty::CIMProperty(const CIMName& name, const CIMValue& value, Uint32 arraySize,
                         const CIMName& referenceClassName, const CIMName& classOrigin,
                         Boolean propagated) {
  if (name.isNull()) throw UninitializedObjectException();
  if (arraySize != 0 && (!value.isArray() || value.getArraySize() != arraySize))
    throw TypeMismatchException();
  if (value.isArray() && value.getType() == CIMTYPE_REFERENCE) throw TypeMismatchException();
  if (!referenceClassName.isNull() && value.getType() != CIMTYPE_REFERENCE)
    throw TypeMismatchException();
  _rep = std::make_shared<Rep>();
  _rep->name = name;
  _rep->value = value;
  _rep->arraySize = arraySize;
  _rep->referenceClassName = referenceClassName;
  _rep->classOrigin = classOrigin;
  _rep->propagated = propagated;
}

CIMProperty::Rep& CIMProperty::_checked() const {
  if (!_rep) throw UninitializedObjectException();
  return *_rep;
}

const CIMName& CIMProperty::getName() const { return _checked().name; }

void CIMProperty::setName(const CIMName& name) {
  Rep& r = _checked();
  if (name.isNull()) throw UninitializedObjectException();
  // A container finds its properties by name; renaming one in place could
  // create a duplicate behind the container's back.
  if (r.owners > 0 && !r.name.equal(name))
    throw AlreadyExistsException(String("property \"") + name.getString() + "\"");
  r.name = name;
}

const CIMValue& CIMProperty::getValue() const { return _checked().value; }
CIMType CIMProperty::getType() const { return _checked().value.getType(); }
Boolean CIMProperty::isArray() const { return _checked().value.isArray(); }

void CIMProperty::setValue(const CIMValue& value) {
  Rep& r = _checked();
  if (!r.value.typeCompatible(value)) throw TypeMismatchException();
  r.value = value;
}

Uint32 CIMProperty::getArraySize() const { return _checked().arraySize; }
const CIMName& CIMProperty::getReferenceClassName() const { return _checked().referenceClassName; }
const CIMName& CIMProperty::getClassOrigin() const { return _checked().classOrigin; }
void CIMProperty::setClassOrigin(const CIMName& classOrigin) {
  _checked().classOrigin = classOrigin;
}
Boolean CIMProperty::getPropagated() const { return _checked().propagated; }
void CIMProperty::setPropagated(Boolean propagated) { _checked().propagated = propagated; }

CIMProperty& CIMProperty::addQualifier(const CIMQualifier& x) {
  _checked().qualifiers.add(x, "qualifier");
  return *this;
}

Uint32 CIMProperty::findQualifier(const CIMName& name) const {
  return _checked().qualifiers.find(name);
}
CIMQualifier CIMProperty::getQualifier(Uint32 index) { return _checked().qualifiers.at(index); }
CIMConstQualifier CIMProperty::getQualifier(Uint32 index) const {
  return _checked().qualifiers.at(index);
}
void CIMProperty::removeQualifier(Uint32 index) { _checked().qualifiers.remove(index); }
Uint32 CIMProperty::getQualifierCount() const { return _checked().qualifiers.size(); }

Boolean CIMProperty::identical(const CIMConstProperty& x) const {
  const Rep& a = _checked();
  const Rep& b = x._p._checked();
  if (&a == &b) return true;
  return a.name.equal(b.name) && a.value == b.value &&
         a.referenceClassName.equal(b.referenceClassName) && a.classOrigin.equal(b.classOrigin) &&
         a.propagated == b.propagated && a.qualifiers.identical<CIMConstQualifier>(b.qualifiers);
}

CIMProperty CIMProperty::clone() const {
  const Rep& r = _checked();
  CIMProperty copy;
  copy._rep = std::make_shared<Rep>();
  copy._rep->name = r.name;
  // Values are immutable once built; assign() shares them safely.
  copy._rep->value.assign(r.value);
  copy._rep->arraySize = r.arraySize;
  copy._rep->referenceClassName = r.referenceClassName;
  copy._rep->classOrigin = r.classOrigin;
  copy._rep->propagated = r.propagated;
  copy._rep->qualifiers = r.qualifiers.cloneAll();
  return copy;
}

}  // namespace Pegasus
