// CIMParameter: a shared handle to a method parameter declaration.
#include <Pegasus/Common/CIMParameter.h>
#include <Pegasus/Common/Exception.h>

#include "NamedList.h"

namespace Pegasus {

struct CIMParameter::Rep {
  CIMName name;
  CIMType type = CIMTYPE_BOOLEAN;
  Boolean isArray = false;
  Uint32 arraySize = 0;
  CIMName referenceClassName;
  broker::NamedList<CIMQualifier> qualifiers;
};

CIMParameter::CIMParameter() = default;

CIMParameter::CIMParameter(const CIMName& name, CIMType type, Boolean isArray, Uint32 arraySize,
                           const CIMName& referenceClassName) {
  if (name.isNull()) throw UninitializedObjectException();
  if (arraySize != 0 && !isArray) throw TypeMismatchException();
  if (!referenceClassName.isNull() && type != CIMTYPE_REFERENCE) throw TypeMismatchException();
  _rep = std::make_shared<Rep>();
  _rep->name = name;
  _rep->type = type;
  _rep->isArray = isArray;
  _rep->arraySize = arraySize;
  _rep->referenceClassName = referenceClassName;
}

CIMParameter::Rep& CIMParameter::_checked() const {
  if (!_rep) throw UninitializedObjectException();
  return *_rep;
}

const CIMName& CIMParameter::getName() const { return _checked().name; }
void CIMParameter::setName(const CIMName& name) {
  if (name.isNull()) throw UninitializedObjectException();
  _checked().name = name;
}
Boolean CIMParameter::isArray() const { return _checked().isArray; }
Uint32 CIMParameter::getArraySize() const { return _checked().arraySize; }
const CIMName& CIMParameter::getReferenceClassName() const { return _checked().referenceClassName; }
CIMType CIMParameter::getType() const { return _checked().type; }

CIMParameter& CIMParameter::addQualifier(const CIMQualifier& x) {
  _checked().qualifiers.add(x, "qualifier");
  return *this;
}
Uint32 CIMParameter::findQualifier(const CIMName& name) const {
  return _checked().qualifiers.find(name);
}
CIMQualifier CIMParameter::getQualifier(Uint32 index) { return _checked().qualifiers.at(index); }
CIMConstQualifier CIMParameter::getQualifier(Uint32 index) const {
  return _checked().qualifiers.at(index);
}
void CIMParameter::removeQualifier(Uint32 index) { _checked().qualifiers.remove(index); }
Uint32 CIMParameter::getQualifierCount() const { return _checked().qualifiers.size(); }

Boolean CIMParameter::identical(const CIMConstParameter& x) const {
  const Rep& a = _checked();
  const Rep& b = x._p._checked();
  return &a == &b ||
         (a.name.equal(b.name) && a.type == b.type && a.isArray == b.isArray &&
          a.arraySize == b.arraySize && a.referenceClassName.equal(b.referenceClassName) &&
          a.qualifiers.identical<CIMConstQualifier>(b.qualifiers));
}

CIMParameter CIMParameter::clone() const {
  const Rep& r = _checked();
  CIMParameter copy;
  copy._rep = std::make_shared<Rep>();
  copy._rep->name = r.name;
  copy._rep->type = r.type;
  copy._rep->isArray = r.isArray;
  copy._rep->arraySize = r.arraySize;
  copy._rep->referenceClassName = r.referenceClassName;
  copy._rep->qualifiers = r.qualifiers.cloneAll();
  return copy;
}

}  // namespace Pegasus
