// CIMQualifier and the flavor constants.
#include <Pegasus/Common/CIMQualifier.h>
#include <Pegasus/Common/Exception.h>

namespace Pegasus {

const CIMFlavor CIMFlavor::NONE(0);
const CIMFlavor CIMFlavor::OVERRIDABLE(1);
const CIMFlavor CIMFlavor::ENABLEOVERRIDE(1);
const CIMFlavor CIMFlavor::TOSUBCLASS(2);
const CIMFlavor CIMFlavor::TOINSTANCE(4);
const CIMFlavor CIMFlavor::TRANSLATABLE(8);
const CIMFlavor CIMFlavor::DISABLEOVERRIDE(16);
const CIMFlavor CIMFlavor::RESTRICTED(32);
const CIMFlavor CIMFlavor::DEFAULTS(1 | 2);

struct CIMQualifier::Rep {
  CIMName name;
  CIMValue value;
  CIMFlavor flavor;
  Boolean propagated = false;
};

CIMQualifier::CIMQualifier() = default;

CIMQualifier::CIMQualifier(const CIMName& name, const CIMValue& value, const CIMFlavor& flavor,
                           Boolean propagated) {
  if (name.isNull()) throw UninitializedObjectException();
  _rep = std::make_shared<Rep>();
  _rep->name = name;
  _rep->value = value;
  _rep->flavor = flavor;
  _rep->propagated = propagated;
}

CIMQualifier::Rep& CIMQualifier::_checked() const {
  if (!_rep) throw UninitializedObjectException();
  return *_rep;
}

const CIMName& CIMQualifier::getName() const { return _checked().name; }

void CIMQualifier::setName(const CIMName& name) {
  if (name.isNull()) throw UninitializedObjectException();
  _checked().name = name;
}

CIMType CIMQualifier::getType() const { return _checked().value.getType(); }
Boolean CIMQualifier::isArray() const { return _checked().value.isArray(); }
const CIMValue& CIMQualifier::getValue() const { return _checked().value; }
void CIMQualifier::setValue(const CIMValue& value) { _checked().value = value; }
void CIMQualifier::setFlavor(const CIMFlavor& flavor) { _checked().flavor.addFlavor(flavor); }
void CIMQualifier::unsetFlavor(const CIMFlavor& flavor) { _checked().flavor.removeFlavor(flavor); }
const CIMFlavor& CIMQualifier::getFlavor() const { return _checked().flavor; }
Uint32 CIMQualifier::getPropagated() const { return _checked().propagated ? 1 : 0; }
void CIMQualifier::setPropagated(Boolean propagated) { _checked().propagated = propagated; }

Boolean CIMQualifier::identical(const CIMConstQualifier& x) const {
  const Rep& a = _checked();
  const Rep& b = x._q._checked();
  return &a == &b || (a.name.equal(b.name) && a.value == b.value && a.flavor.equal(b.flavor) &&
                      a.propagated == b.propagated);
}

CIMQualifier CIMQualifier::clone() const {
  CIMQualifier copy;
  copy._rep = std::make_shared<Rep>(_checked());
  return copy;
}

}  // namespace Pegasus
