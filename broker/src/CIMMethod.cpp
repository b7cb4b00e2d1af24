// CIMMethod: a shared handle to a method declaration and its parameters.
#include <Pegasus/Common/CIMMethod.h>
#include <Pegasus/Common/Exception.h>

#include "NamedList.h"

namespace Pegasus {

struct CIMMethod::Rep {
  CIMName name;
  CIMType type = CIMTYPE_BOOLEAN;
  CIMName classOrigin;
  Boolean propagated = false;
  broker::NamedList<CIMQualifier> qualifiers;
  broker::NamedList<CIMParameter> parameters;
};

CIMMethod::CIMMethod() = default;

CIMMethod::CIMMethod(const CIMName& name, CIMType type, const CIMName& classOrigin,
                     Boolean propagated) {
  if (name.isNull()) throw UninitializedObjectException();
  _rep = std::make_shared<Rep>();
  _rep->name = name;
  _rep->type = type;
  _rep->classOrigin = classOrigin;
  _rep->propagated = propagated;
}

CIMMethod::Rep& CIMMethod::_checked() const {
  if (!_rep) throw UninitializedObjectException();
  return *_rep;
}

const CIMName& CIMMethod::getName() const { return _checked().name; }
void CIMMethod::setName(const CIMName& name) {
  if (name.isNull()) throw UninitializedObjectException();
  _checked().name = name;
}
CIMType CIMMethod::getType() const { return _checked().type; }
void CIMMethod::setType(CIMType type) { _checked().type = type; }
const CIMName& CIMMethod::getClassOrigin() const { return _checked().classOrigin; }
void CIMMethod::setClassOrigin(const CIMName& classOrigin) { _checked().classOrigin = classOrigin; }
Boolean CIMMethod::getPropagated() const { return _checked().propagated; }
void CIMMethod::setPropagated(Boolean propagated) { _checked().propagated = propagated; }

CIMMethod& CIMMethod::addQualifier(const CIMQualifier& x) {
  _checked().qualifiers.add(x, "qualifier");
  return *this;
}
Uint32 CIMMethod::findQualifier(const CIMName& name) const {
  return _checked().qualifiers.find(name);
}
CIMQualifier CIMMethod::getQualifier(Uint32 index) { return _checked().qualifiers.at(index); }
CIMConstQualifier CIMMethod::getQualifier(Uint32 index) const {
  return _checked().qualifiers.at(index);
}
void CIMMethod::removeQualifier(Uint32 index) { _checked().qualifiers.remove(index); }
Uint32 CIMMethod::getQualifierCount() const { return _checked().qualifiers.size(); }

CIMMethod& CIMMethod::addParameter(const CIMParameter& x) {
  _checked().parameters.add(x, "parameter");
  return *this;
}
Uint32 CIMMethod::findParameter(const CIMName& name) const {
  return _checked().parameters.find(name);
}
CIMParameter CIMMethod::getParameter(Uint32 index) { return _checked().parameters.at(index); }
CIMConstParameter CIMMethod::getParameter(Uint32 index) const {
  return _checked().parameters.at(index);
}
void CIMMethod::removeParameter(Uint32 index) { _checked().parameters.remove(index); }
Uint32 CIMMethod::getParameterCount() const { return _checked().parameters.size(); }

Boolean CIMMethod::identical(const CIMConstMethod& x) const {
  const Rep& a = _checked();
  const Rep& b = x._m._checked();
  return &a == &b ||
         (a.name.equal(b.name) && a.type == b.type && a.classOrigin.equal(b.classOrigin) &&
          a.propagated == b.propagated && a.qualifiers.identical<CIMConstQualifier>(b.qualifiers) &&
          a.parameters.identical<CIMConstParameter>(b.parameters));
}

CIMMethod CIMMethod::clone() const {
  const Rep& r = _checked();
  CIMMethod copy;
  copy._rep = std::make_shared<Rep>();
  copy._rep->name = r.name;
  copy._rep->type = r.type;
  copy._rep->classOrigin = r.classOrigin;
  copy._rep->propagated = r.propagated;
  copy._rep->qualifiers = r.qualifiers.cloneAll();
  copy._rep->parameters = r.parameters.cloneAll();
  return copy;
}

}  // namespace Pegasus
