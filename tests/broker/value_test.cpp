// CIMValue: type of every constructor, get() rules (mismatch throws, null
// leaves the target alone), arrays, equality, text form, and the literal trap
// closed at compile time.
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>

#include <gtest/gtest.h>

#include <type_traits>

PEGASUS_USING_PEGASUS;

// A literal must not silently become a Boolean.
static_assert(!std::is_constructible_v<CIMValue, const char*>);
static_assert(!std::is_convertible_v<const char*, CIMValue>);
static_assert(!std::is_constructible_v<CIMValue, char*>);
// Nor any other pointer (a String* or CIMInstance* passed by mistake).
static_assert(!std::is_constructible_v<CIMValue, String*>);
static_assert(!std::is_constructible_v<CIMValue, const CIMInstance*>);
static_assert(!std::is_constructible_v<CIMValue, const Char16*>);
static_assert(std::is_constructible_v<CIMValue, bool>);
static_assert(std::is_constructible_v<CIMValue, String>);
// Nor on its way into a property, key binding or method argument.
static_assert(!std::is_constructible_v<CIMProperty, const char*, const char*>);
static_assert(std::is_constructible_v<CIMProperty, const char*, String>);
static_assert(!std::is_constructible_v<CIMKeyBinding, const char*, const char*>);
static_assert(!std::is_constructible_v<CIMParamValue, const char*, const char*>);

namespace {

template <class T>
void expectScalar(const T& x, CIMType type, const char* text) {
  CIMValue v(x);
  EXPECT_EQ(v.getType(), type) << text;
  EXPECT_FALSE(v.isArray());
  EXPECT_FALSE(v.isNull());
  EXPECT_EQ(v.getArraySize(), 0u);
  T out{};
  v.get(out);
  EXPECT_TRUE(CIMValue(out) == v) << text;
  EXPECT_EQ(v.toString().toUtf8(), text);

  Array<T> arr;
  arr.append(x);
  arr.append(x);
  CIMValue a(arr);
  EXPECT_EQ(a.getType(), type);
  EXPECT_TRUE(a.isArray());
  EXPECT_EQ(a.getArraySize(), 2u);
  EXPECT_EQ(a.toString().toUtf8(), std::string(text) + " " + text + " ");
  // Scalar and array of the same type are not interchangeable.
  EXPECT_THROW(a.get(out), TypeMismatchException);
  EXPECT_THROW(v.get(arr), TypeMismatchException);
  EXPECT_FALSE(a.typeCompatible(v));
}

TEST(ValueTypes, EveryScalarAndArrayType) {
  expectScalar(Boolean(true), CIMTYPE_BOOLEAN, "TRUE");
  expectScalar(Uint8(255), CIMTYPE_UINT8, "255");
  expectScalar(Sint8(-128), CIMTYPE_SINT8, "-128");
  expectScalar(Uint16(65535), CIMTYPE_UINT16, "65535");
  expectScalar(Sint16(-2), CIMTYPE_SINT16, "-2");
  expectScalar(Uint32(4000000000u), CIMTYPE_UINT32, "4000000000");
  expectScalar(Sint32(-7), CIMTYPE_SINT32, "-7");
  expectScalar(Uint64(18446744073709551615ULL), CIMTYPE_UINT64, "18446744073709551615");
  expectScalar(Sint64(-9223372036854775807LL), CIMTYPE_SINT64, "-9223372036854775807");
  expectScalar(Real32(1.5f), CIMTYPE_REAL32, "1.5000000000000000e+00");
  expectScalar(Real64(-0.25), CIMTYPE_REAL64, "-2.5000000000000000e-01");
  expectScalar(Char16('Q'), CIMTYPE_CHAR16, "Q");
  expectScalar(String("text"), CIMTYPE_STRING, "text");
  expectScalar(CIMDateTime("20240102030405.000006+060"), CIMTYPE_DATETIME,
               "20240102030405.000006+060");
  expectScalar(CIMObjectPath("X.Id=1"), CIMTYPE_REFERENCE, "X.Id=1");
}

TEST(ValueTypes, TypeNames) {
  EXPECT_STREQ(cimTypeToString(CIMTYPE_BOOLEAN), "boolean");
  EXPECT_STREQ(cimTypeToString(CIMTYPE_SINT64), "sint64");
  EXPECT_STREQ(cimTypeToString(CIMTYPE_REFERENCE), "reference");
  EXPECT_STREQ(cimTypeToString(CIMTYPE_INSTANCE), "instance");
}

TEST(ValueGet, MismatchThrowsAndNullLeavesTargetAlone) {
  CIMValue u16(Uint16(3));
  Uint32 wide = 99;
  EXPECT_THROW(u16.get(wide), TypeMismatchException);
  String s("keep");
  EXPECT_THROW(u16.get(s), TypeMismatchException);
  EXPECT_EQ(wide, 99u);

  CIMValue nullString(CIMTYPE_STRING, false);
  EXPECT_TRUE(nullString.isNull());
  nullString.get(s);
  EXPECT_EQ(s, "keep");
  EXPECT_THROW(nullString.get(wide), TypeMismatchException);
  EXPECT_EQ(nullString.toString(), "");

  // The default value is a null boolean.
  CIMValue def;
  EXPECT_TRUE(def.isNull());
  EXPECT_EQ(def.getType(), CIMTYPE_BOOLEAN);
  EXPECT_FALSE(def.isArray());
  Boolean b = true;
  def.get(b);
  EXPECT_TRUE(b);
}

TEST(ValueArrays, EmptyArrayIsNotNullAndNullArrayHasNoSize) {
  CIMValue empty{Array<String>()};
  EXPECT_FALSE(empty.isNull());
  EXPECT_TRUE(empty.isArray());
  EXPECT_EQ(empty.getArraySize(), 0u);
  CIMValue nullArr(CIMTYPE_UINT16, true);
  EXPECT_TRUE(nullArr.isNull());
  EXPECT_TRUE(nullArr.isArray());
  EXPECT_FALSE(empty == nullArr);
  Array<Uint16> keep(2, Uint16(1));
  nullArr.get(keep);
  EXPECT_EQ(keep.size(), 2u);
}

TEST(ValueEquality, TypeNullStateAndContent) {
  EXPECT_TRUE(CIMValue(Uint8(1)) == CIMValue(Uint8(1)));
  EXPECT_FALSE(CIMValue(Uint8(1)) == CIMValue(Uint16(1)));
  EXPECT_FALSE(CIMValue(Uint8(1)) == CIMValue(Uint8(2)));
  EXPECT_TRUE(CIMValue(CIMTYPE_STRING, false) == CIMValue(CIMTYPE_STRING, false));
  EXPECT_FALSE(CIMValue(CIMTYPE_STRING, false) == CIMValue(CIMTYPE_UINT8, false));
  EXPECT_FALSE(CIMValue(CIMTYPE_STRING, false) == CIMValue(String("")));
  EXPECT_FALSE(CIMValue(String("a")) == CIMValue(String("A")));
  Array<Uint32> a(3, 7u), b(3, 7u);
  EXPECT_TRUE(CIMValue(a) == CIMValue(b));
  b[2] = 8;
  EXPECT_FALSE(CIMValue(a) == CIMValue(b));
}

TEST(ValueSet, SetRetypesAndCopiesAreIndependent) {
  CIMValue v(Uint8(1));
  CIMValue copy = v;
  v.set(String("now a string"));
  EXPECT_EQ(v.getType(), CIMTYPE_STRING);
  EXPECT_EQ(copy.getType(), CIMTYPE_UINT8);
  v.setNullValue(CIMTYPE_DATETIME, true);
  EXPECT_TRUE(v.isNull());
  EXPECT_EQ(v.getType(), CIMTYPE_DATETIME);
  v.clear();
  EXPECT_TRUE(v == CIMValue());
}

TEST(ValueInstances, EmbeddedInstanceIsACopy) {
  CIMInstance inst("X");
  inst.addProperty(CIMProperty("P", Uint8(1)));
  CIMValue v(inst);
  EXPECT_EQ(v.getType(), CIMTYPE_INSTANCE);
  // Changing the original after the fact does not reach the value.
  inst.getProperty(0).setValue(CIMValue(Uint8(2)));
  CIMInstance out;
  v.get(out);
  Uint8 p = 0;
  out.getProperty(0).getValue().get(p);
  EXPECT_EQ(p, 1);
  CIMInstance uninitialized;
  EXPECT_THROW(CIMValue{uninitialized}, UninitializedObjectException);
}

}  // namespace
