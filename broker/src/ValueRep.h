// The storage behind CIMValue: the CIM type, array-ness, null state and one
// variant alternative per C++ type a value can hold.
#ifndef BROKER_VALUEREP_H
#define BROKER_VALUEREP_H

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMValue.h>

#include <variant>

namespace Pegasus {

struct CIMValue::Rep {
  using Storage =
      std::variant<std::monostate, Boolean, Uint8, Sint8, Uint16, Sint16, Uint32, Sint32, Uint64,
                   Sint64, Real32, Real64, Char16, String, CIMDateTime, CIMObjectPath, CIMInstance,
                   Array<Boolean>, Array<Uint8>, Array<Sint8>, Array<Uint16>, Array<Sint16>,
                   Array<Uint32>, Array<Sint32>, Array<Uint64>, Array<Sint64>, Array<Real32>,
                   Array<Real64>, Array<Char16>, Array<String>, Array<CIMDateTime>,
                   Array<CIMObjectPath>, Array<CIMInstance>>;

  CIMType type = CIMTYPE_BOOLEAN;
  bool isArray = false;
  bool isNull = true;
  Storage data;
};

namespace broker {

/// The CIM type of each C++ type a value holds.
template <class T>
struct CimTypeOf;
template <>
struct CimTypeOf<Boolean> {
  static constexpr CIMType value = CIMTYPE_BOOLEAN;
};
template <>
struct CimTypeOf<Uint8> {
  static constexpr CIMType value = CIMTYPE_UINT8;
};
template <>
struct CimTypeOf<Sint8> {
  static constexpr CIMType value = CIMTYPE_SINT8;
};
template <>
struct CimTypeOf<Uint16> {
  static constexpr CIMType value = CIMTYPE_UINT16;
};
template <>
struct CimTypeOf<Sint16> {
  static constexpr CIMType value = CIMTYPE_SINT16;
};
template <>
struct CimTypeOf<Uint32> {
  static constexpr CIMType value = CIMTYPE_UINT32;
};
template <>
struct CimTypeOf<Sint32> {
  static constexpr CIMType value = CIMTYPE_SINT32;
};
template <>
struct CimTypeOf<Uint64> {
  static constexpr CIMType value = CIMTYPE_UINT64;
};
template <>
struct CimTypeOf<Sint64> {
  static constexpr CIMType value = CIMTYPE_SINT64;
};
template <>
struct CimTypeOf<Real32> {
  static constexpr CIMType value = CIMTYPE_REAL32;
};
template <>
struct CimTypeOf<Real64> {
  static constexpr CIMType value = CIMTYPE_REAL64;
};
template <>
struct CimTypeOf<Char16> {
  static constexpr CIMType value = CIMTYPE_CHAR16;
};
template <>
struct CimTypeOf<String> {
  static constexpr CIMType value = CIMTYPE_STRING;
};
template <>
struct CimTypeOf<CIMDateTime> {
  static constexpr CIMType value = CIMTYPE_DATETIME;
};
template <>
struct CimTypeOf<CIMObjectPath> {
  static constexpr CIMType value = CIMTYPE_REFERENCE;
};
template <>
struct CimTypeOf<CIMInstance> {
  static constexpr CIMType value = CIMTYPE_INSTANCE;
};

}  // namespace broker
}  // namespace Pegasus

#endif
