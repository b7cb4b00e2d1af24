// CIMKeyBinding: construction from values and the typed equality of key values.
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>

#include "KeyText.h"

#include <cstdlib>
#include <string>

namespace Pegasus {

using broker::parseSigned;
using broker::parseUnsigned;

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

bool numericEqual(const String& a, const String& b) {
  auto ua = parseUnsigned(a.view());
  auto ub = parseUnsigned(b.view());
  if (ua && ub) return *ua == *ub;
  auto sa = parseSigned(a.view());
  auto sb = parseSigned(b.view());
  if (sa && sb) return *sa == *sb;
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
  if constexpr (std::is_signed_v<T>) {
    auto v = parseSigned(text.view());
    return v && *v == Sint64(expected);
  } else {
    auto v = parseUnsigned(text.view());
    return v && *v == Uint64(expected);
  }
}

template <class T>
bool realMatches(const String& text, const CIMValue& value) {
  T expected;
  value.get(expected);
  std::string s = text.toUtf8();
  if (s.empty()) return false;
  char* end = nullptr;
  double parsed = strtod(s.c_str(), &end);
  return end && *end == '\0' && T(parsed) == expected;
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
