// CIMKeyBinding: construction from values and the typed equality of key values.
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>

#include "CimNumber.h"

#include <cmath>
#include <string>

namespace Pegasus {

using mgmt::broker::IntegerText;
using mgmt::broker::NumberStatus;

namespace {

CIMKeyBinding::Type bindingTypeOf(CIMType type) {
  switch (type) {
    case CIMTYPE_BOOLEAN:
      return CIMKeyBinding::BOOLEAN;
    case CIMTYPE_UINT8:
    case CIMTYPE_SINT8:
    case CIMTYPE_UINT16:
    case CIMTYPE_SINT16:
    case CIMTYPE_UINT32:
    case CIMTYPE_SINT32:
    case CIMTYPE_UINT64:
    case CIMTYPE_SINT64:
    case CIMTYPE_REAL32:
    case CIMTYPE_REAL64:
      return CIMKeyBinding::NUMERIC;
    case CIMTYPE_CHAR16:
    case CIMTYPE_STRING:
    case CIMTYPE_DATETIME:
      return CIMKeyBinding::STRING;
    case CIMTYPE_REFERENCE:
      return CIMKeyBinding::REFERENCE;
    case CIMTYPE_OBJECT:
    case CIMTYPE_INSTANCE:
      break;
  }
  throw TypeMismatchException();
}

// NUMERIC values compare as numbers when both are integers ("16" == "0x10" ==
// "+16") or both are reals ("1.5" == "1.5000000000000000e+00"); an integer never
// equals a real, and text that is no number compares as text. makeHashCode
// follows the same classes.
bool numericEqual(const String& a, const String& b) {
  IntegerText ia, ib;
  const bool intA = mgmt::broker::ReadKeyInteger(a.view(), ia);
  const bool intB = mgmt::broker::ReadKeyInteger(b.view(), ib);
  if (intA && intB) return ia.negative == ib.negative && ia.magnitude == ib.magnitude;
  double ra = 0, rb = 0;
  if (!intA && !intB && mgmt::broker::ReadKeyReal(a.view(), ra) &&
      mgmt::broker::ReadKeyReal(b.view(), rb))
    return ra == rb || (std::isnan(ra) && std::isnan(rb));
  return a == b;
}

bool referenceEqual(const String& a, const String& b) {
  try {
    return CIMObjectPath(a) == CIMObjectPath(b);
  } catch (const Exception&) {
    return a == b;
  }
}

template <class T>
bool integerMatches(const String& text, const CIMValue& value) {
  T expected;
  value.get(expected);
  T parsed{};
  return mgmt::broker::ParseInteger(text.toUtf8(), parsed) == NumberStatus::kOk &&
         parsed == expected;
}

template <class T>
bool realMatches(const String& text, const CIMValue& value) {
  T expected;
  value.get(expected);
  T parsed{};
  return mgmt::broker::ParseReal(text.toUtf8(), parsed) == NumberStatus::kOk &&
         (parsed == expected || (std::isnan(parsed) && std::isnan(expected)));
}

}  // namespace

CIMKeyBinding::CIMKeyBinding() = default;

CIMKeyBinding::CIMKeyBinding(const CIMName& name, const String& value, Type type)
    : _name(name), _value(value), _type(type) {}

CIMKeyBinding::CIMKeyBinding(const CIMName& name, const CIMValue& value) : _name(name) {
  if (value.isArray()) throw TypeMismatchException();
  _type = bindingTypeOf(value.getType());
  _value = value.toString();
}

Boolean CIMKeyBinding::equal(CIMValue value) {
  if (value.isArray() || value.isNull()) return false;
  try {
    if (bindingTypeOf(value.getType()) != _type) return false;
    switch (value.getType()) {
      case CIMTYPE_BOOLEAN:
        return String::equalNoCase(_value, value.toString());
      case CIMTYPE_UINT8:
        return integerMatches<Uint8>(_value, value);
      case CIMTYPE_SINT8:
        return integerMatches<Sint8>(_value, value);
      case CIMTYPE_UINT16:
        return integerMatches<Uint16>(_value, value);
      case CIMTYPE_SINT16:
        return integerMatches<Sint16>(_value, value);
      case CIMTYPE_UINT32:
        return integerMatches<Uint32>(_value, value);
      case CIMTYPE_SINT32:
        return integerMatches<Sint32>(_value, value);
      case CIMTYPE_UINT64:
        return integerMatches<Uint64>(_value, value);
      case CIMTYPE_SINT64:
        return integerMatches<Sint64>(_value, value);
      case CIMTYPE_REAL32:
        return realMatches<Real32>(_value, value);
      case CIMTYPE_REAL64:
        return realMatches<Real64>(_value, value);
      case CIMTYPE_CHAR16:
      case CIMTYPE_STRING:
        return _value == value.toString();
      case CIMTYPE_DATETIME: {
        CIMDateTime expected;
        value.get(expected);
        return CIMDateTime(_value).equal(expected);
      }
      case CIMTYPE_REFERENCE: {
        CIMObjectPath expected;
        value.get(expected);
        return CIMObjectPath(_value) == expected;
      }
      default:
        return false;
    }
  } catch (const Exception&) {
    return false;
  }
}

Boolean operator==(const CIMKeyBinding& x, const CIMKeyBinding& y) {
  if (!x.getName().equal(y.getName()) || x.getType() != y.getType()) return false;
  switch (x.getType()) {
    case CIMKeyBinding::STRING:
      return x.getValue() == y.getValue();
    case CIMKeyBinding::BOOLEAN:
      return String::equalNoCase(x.getValue(), y.getValue());
    case CIMKeyBinding::NUMERIC:
      return numericEqual(x.getValue(), y.getValue());
    case CIMKeyBinding::REFERENCE:
      return referenceEqual(x.getValue(), y.getValue());
  }
  return false;
}

}  // namespace Pegasus
