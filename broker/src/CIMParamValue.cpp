// CIMParamValue: a shared handle to a named method argument.
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/Exception.h>

namespace Pegasus {

struct CIMParamValue::Rep {
  String name;
  CIMValue value;
  Boolean isTyped = true;
};

CIMParamValue::CIMParamValue() = default;

CIMParamValue::CIMParamValue(String parameterName, CIMValue value, Boolean isTyped)
    : _rep(std::make_shared<Rep>()) {
  _rep->name = parameterName;
  _rep->value = value;
  _rep->isTyped = isTyped;
}

CIMParamValue::Rep& CIMParamValue::_checked() const {
  if (!_rep) throw UninitializedObjectException();
  return *_rep;
}

String CIMParamValue::getParameterName() const { return _checked().name; }
CIMValue CIMParamValue::getValue() const { return _checked().value; }
Boolean CIMParamValue::isTyped() const { return _checked().isTyped; }
void CIMParamValue::setParameterName(String& parameterName) { _checked().name = parameterName; }
void CIMParamValue::setValue(CIMValue& value) { _checked().value = value; }
void CIMParamValue::setIsTyped(Boolean isTyped) { _checked().isTyped = isTyped; }

CIMParamValue CIMParamValue::clone() const {
  CIMParamValue copy;
  copy._rep = std::make_shared<Rep>(_checked());
  return copy;
}

}  // namespace Pegasus
