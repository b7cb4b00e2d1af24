// CIMValue: construction, typed access with mismatch checks, equality and the
// diagnostic text form.
#include "ValueRep.h"

#include <Pegasus/Common/Exception.h>

#include <charconv>
#include <cstdio>

namespace Pegasus {

using broker::CimTypeOf;

namespace {

const std::shared_ptr<const CIMValue::Rep>& nullBooleanRep() {
  static const std::shared_ptr<const CIMValue::Rep> rep = std::make_shared<CIMValue::Rep>();
  return rep;
}

// Embedded instances are copied deeply on the way in and out, so a value never
// shares an instance with the code that built or read it.
CIMInstance cloneChecked(const CIMInstance& x) {
  if (x.isUninitialized()) throw UninitializedObjectException();
  return x.clone();
}

template <class T>
T copyIn(const T& x) {
  return x;
}
template <>
CIMInstance copyIn(const CIMInstance& x) {
  return cloneChecked(x);
}
template <>
Array<CIMInstance> copyIn(const Array<CIMInstance>& x) {
  Array<CIMInstance> out;
  out.reserveCapacity(x.size());
  for (const auto& i : x) out.append(cloneChecked(i));
  return out;
}

template <class T>
std::shared_ptr<const CIMValue::Rep> makeScalar(const T& x) {
  auto rep = std::make_shared<CIMValue::Rep>();
  rep->type = CimTypeOf<T>::value;
  rep->isArray = false;
  rep->isNull = false;
  rep->data = copyIn(x);
  return rep;
}

template <class T>
std::shared_ptr<const CIMValue::Rep> makeArray(const Array<T>& x) {
  auto rep = std::make_shared<CIMValue::Rep>();
  rep->type = CimTypeOf<T>::value;
  rep->isArray = true;
  rep->isNull = false;
  rep->data = copyIn(x);
  return rep;
}

std::shared_ptr<const CIMValue::Rep> makeNull(CIMType type, bool isArray) {
  if (type == CIMTYPE_BOOLEAN && !isArray) return nullBooleanRep();
  auto rep = std::make_shared<CIMValue::Rep>();
  rep->type = type;
  rep->isArray = isArray;
  return rep;
}

template <class T>
void getScalar(const CIMValue::Rep& rep, T& x) {
  if (rep.type != CimTypeOf<T>::value || rep.isArray) throw TypeMismatchException();
  if (!rep.isNull) x = copyIn(std::get<T>(rep.data));
}

template <class T>
void getArray(const CIMValue::Rep& rep, Array<T>& x) {
  if (rep.type != CimTypeOf<T>::value || !rep.isArray) throw TypeMismatchException();
  if (!rep.isNull) x = copyIn(std::get<Array<T>>(rep.data));
}

// ---- equality of held data

template <class T>
bool same(const T& a, const T& b) {
  return a == b;
}
bool same(const CIMInstance& a, const CIMInstance& b) { return a.identical(b); }
bool same(const CIMDateTime& a, const CIMDateTime& b) { return a.equal(b); }
template <class T>
bool same(const Array<T>& a, const Array<T>& b) {
  if (a.size() != b.size()) return false;
  for (Uint32 i = 0; i < a.size(); i++)
    if (!same(a[i], b[i])) return false;
  return true;
}

// ---- text form

void appendText(String& out, Boolean x) { out.append(x ? "TRUE" : "FALSE"); }
template <class Int>
void appendInteger(String& out, Int x) {
  char buf[24];
  auto result = std::to_chars(buf, buf + sizeof buf, x);
  out.append(buf, Uint32(result.ptr - buf));
}

// Sint8 is signed char: print it as a number, not as a character.
void appendText(String& out, Uint8 x) { appendInteger(out, unsigned(x)); }
void appendText(String& out, Sint8 x) { appendInteger(out, int(x)); }
void appendText(String& out, Uint16 x) { appendInteger(out, x); }
void appendText(String& out, Sint16 x) { appendInteger(out, x); }
void appendText(String& out, Uint32 x) { appendInteger(out, x); }
void appendText(String& out, Sint32 x) { appendInteger(out, x); }
void appendText(String& out, Uint64 x) { appendInteger(out, x); }
void appendText(String& out, Sint64 x) { appendInteger(out, x); }
// The printf form "%.16e", written without printf so that the process locale
// cannot turn the point into a comma (key values are made from this text).
void appendText(String& out, Real64 x) {
  char buf[48];
  auto result = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 16);
  out.append(buf, Uint32(result.ptr - buf));
}
void appendText(String& out, Real32 x) { appendText(out, double(x)); }
void appendText(String& out, const Char16& x) { out.append(x); }
void appendText(String& out, const String& x) { out.append(x); }
void appendText(String& out, const CIMDateTime& x) { out.append(x.toString()); }
void appendText(String& out, const CIMObjectPath& x) { out.append(x.toString()); }
void appendText(String& out, const CIMInstance& x) {
  out.append("instance of ");
  out.append(x.getClassName().getString());
  if (x.getPath().getKeyBindings().size() > 0) {
    out.append(" ");
    out.append(x.getPath().toString());
  }
}
template <class T>
void appendText(String& out, const Array<T>& x) {
  for (const auto& e : x) {
    appendText(out, e);
    out.append(Char16(' '));
  }
}

}  // namespace

CIMValue::CIMValue() : _rep(nullBooleanRep()) {}
CIMValue::CIMValue(CIMType type, Boolean isArray, Uint32) : _rep(makeNull(type, isArray)) {}
CIMValue::CIMValue(const CIMValue& x) = default;
CIMValue::CIMValue(CIMValue&& x) noexcept : _rep(x._rep) {}
CIMValue::~CIMValue() = default;
CIMValue& CIMValue::operator=(const CIMValue& x) = default;
CIMValue& CIMValue::operator=(CIMValue&& x) noexcept {
  // Keep the moved-from value valid (null BOOLEAN semantics need a rep).
  _rep = x._rep;
  return *this;
}

#define BROKER_VALUE_SCALAR(T)                                                          \
  CIMValue::CIMValue(T x) : _rep(makeScalar(x)) {}                                      \
  void CIMValue::set(T x) { _rep = makeScalar(x); }                                     \
  void CIMValue::get(std::remove_const_t<std::remove_reference_t<T>>& x) const {        \
    getScalar(*_rep, x);                                                                \
  }                                                                                     \
  CIMValue::CIMValue(const Array<std::remove_const_t<std::remove_reference_t<T>>>& x)   \
      : _rep(makeArray(x)) {}                                                           \
  void CIMValue::set(const Array<std::remove_const_t<std::remove_reference_t<T>>>& x) { \
    _rep = makeArray(x);                                                                \
  }                                                                                     \
  void CIMValue::get(Array<std::remove_const_t<std::remove_reference_t<T>>>& x) const { \
    getArray(*_rep, x);                                                                 \
  }

BROKER_VALUE_SCALAR(Boolean)
BROKER_VALUE_SCALAR(Uint8)
BROKER_VALUE_SCALAR(Sint8)
BROKER_VALUE_SCALAR(Uint16)
BROKER_VALUE_SCALAR(Sint16)
BROKER_VALUE_SCALAR(Uint32)
BROKER_VALUE_SCALAR(Sint32)
BROKER_VALUE_SCALAR(Uint64)
BROKER_VALUE_SCALAR(Sint64)
BROKER_VALUE_SCALAR(Real32)
BROKER_VALUE_SCALAR(Real64)
BROKER_VALUE_SCALAR(const Char16&)
BROKER_VALUE_SCALAR(const String&)
BROKER_VALUE_SCALAR(const CIMDateTime&)
BROKER_VALUE_SCALAR(const CIMObjectPath&)
BROKER_VALUE_SCALAR(const CIMInstance&)

#undef BROKER_VALUE_SCALAR

void CIMValue::assign(const CIMValue& x) {
  // Instances were cloned when they entered x; the rep itself is immutable,
  // so sharing it is a full copy in effect.
  _rep = x._rep;
}

void CIMValue::clear() { _rep = nullBooleanRep(); }

Boolean CIMValue::typeCompatible(const CIMValue& x) const {
  return _rep->type == x._rep->type && _rep->isArray == x._rep->isArray;
}

Boolean CIMValue::isArray() const { return _rep->isArray; }
Boolean CIMValue::isNull() const { return _rep->isNull; }
CIMType CIMValue::getType() const { return _rep->type; }

Uint32 CIMValue::getArraySize() const {
  if (!_rep->isArray || _rep->isNull) return 0;
  return std::visit(
      [](const auto& v) -> Uint32 {
        using V = std::decay_t<decltype(v)>;
        if constexpr (requires { v.size(); } && !std::is_same_v<V, String>)
          return v.size();
        else
          return 0;
      },
      _rep->data);
}

void CIMValue::setNullValue(CIMType type, Boolean isArray, Uint32) {
  _rep = makeNull(type, isArray);
}

Boolean CIMValue::equal(const CIMValue& x) const {
  if (_rep == x._rep) return true;
  if (!typeCompatible(x) || _rep->isNull != x._rep->isNull) return false;
  if (_rep->isNull) return true;
  if (_rep->data.index() != x._rep->data.index()) return false;
  return std::visit(
      [&](const auto& a) -> bool {
        using V = std::decay_t<decltype(a)>;
        if constexpr (std::is_same_v<V, std::monostate>)
          return true;
        else
          return same(a, std::get<V>(x._rep->data));
      },
      _rep->data);
}

String CIMValue::toString() const {
  String out;
  if (_rep->isNull) return out;
  std::visit(
      [&](const auto& v) {
        using V = std::decay_t<decltype(v)>;
        if constexpr (!std::is_same_v<V, std::monostate>) appendText(out, v);
      },
      _rep->data);
  return out;
}

Boolean operator==(const CIMValue& x, const CIMValue& y) { return x.equal(y); }
Boolean operator!=(const CIMValue& x, const CIMValue& y) { return !x.equal(y); }

}  // namespace Pegasus
