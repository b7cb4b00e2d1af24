// Equality of object paths and key bindings: what is compared without case,
// what with case, binding types, numeric comparison, and hashing.
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>

#include <gtest/gtest.h>

PEGASUS_USING_PEGASUS;

namespace {

struct EqCase {
  const char* a;
  const char* b;
  bool equal;
  const char* why;
};

const EqCase kEquality[] = {
    {"X.Id=\"a\"", "X.Id=\"a\"", true, "same text"},
    {"root/cimv2:CIM_Foo.Id=\"a\"", "ROOT/CIMV2:cim_foo.ID=\"a\"", true,
     "namespace, class and key names ignore case"},
    {"X.Id=\"a\"", "X.Id=\"A\"", false, "string values are case-sensitive"},
    {"X.a=1,b=2", "X.b=2,a=1", true, "key order does not matter"},
    {"X.Id=\"5\"", "X.Id=5", false, "binding type is significant"},
    {"X.Id=TRUE", "X.Id=\"TRUE\"", false, "boolean versus string"},
    {"X.Id=16", "X.Id=0x10", true, "numeric compares by value"},
    {"X.Id=0x10", "X.Id=0X10", true, "hex prefix in either case"},
    {"X.Id=-1", "X.Id=18446744073709551615", false, "signed and unsigned are different numbers"},
    {"X.Flag=true", "X.Flag=TRUE", true, "booleans ignore case"},
    {"//HostA/root:X.Id=1", "//hosta/root:X.Id=1", true, "host ignores case"},
    {"//hosta/root:X.Id=1", "//hostb/root:X.Id=1", false, "different hosts"},
    {"//hosta/root:X.Id=1", "root:X.Id=1", false, "empty host differs from a host"},
    {"root:X.Id=1", "X.Id=1", false, "null namespace differs from a namespace"},
    {"root:X.Id=1", "root/cimv2:X.Id=1", false, "different namespaces"},
    {"X.Id=1", "Y.Id=1", false, "different classes"},
    {"X.Id=1", "X.Id=1,Other=2", false, "different key counts"},
    {"X.Id=1", "X.Key=1", false, "different key names"},
    {"X", "x", true, "class paths"},
    {"A.R=\"B.y=1,z=2\"", "A.R=\"b.Z=2,Y=1\"", true, "references compare as paths"},
    {"A.R=\"B.y=1\"", "A.R=\"B.y=2\"", false, "references with different keys"},
};

class PathEquality : public ::testing::TestWithParam<EqCase> {};

TEST_P(PathEquality, MatchesExpectation) {
  const EqCase& c = GetParam();
  CIMObjectPath a{String(c.a)};
  CIMObjectPath b{String(c.b)};
  EXPECT_EQ(a == b, c.equal) << c.why;
  EXPECT_EQ(b == a, c.equal) << c.why << " (reversed)";
  EXPECT_EQ(a != b, !c.equal) << c.why;
  if (c.equal) {
    EXPECT_EQ(a.makeHashCode(), b.makeHashCode()) << c.why;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, PathEquality, ::testing::ValuesIn(kEquality));

// The path a provider receives carries the server's host and the request
// namespace; a path the provider builds has neither. They are not equal until
// the provider compares like with like.
TEST(PathEquality, IncomingPathDiffersFromLocalUntilStripped) {
  CIMObjectPath incoming("//server/root/cimv2:SM_Disk.DeviceID=\"sda\"");
  Array<CIMKeyBinding> keys;
  keys.append(CIMKeyBinding("DeviceID", "sda", CIMKeyBinding::STRING));
  CIMObjectPath local(String(), CIMNamespaceName(), "SM_Disk", keys);
  EXPECT_FALSE(incoming == local);

  CIMObjectPath stripped(String(), CIMNamespaceName(), incoming.getClassName(),
                         incoming.getKeyBindings());
  EXPECT_TRUE(stripped == local);
}

TEST(KeyBindingEquality, NumericTextThatDoesNotParseFallsBackToText) {
  // "05" is not a number the parser accepts; equality then compares text.
  CIMKeyBinding a("Id", "05", CIMKeyBinding::NUMERIC);
  CIMKeyBinding b("Id", "5", CIMKeyBinding::NUMERIC);
  CIMKeyBinding c("id", "05", CIMKeyBinding::NUMERIC);
  EXPECT_FALSE(a == b);
  EXPECT_TRUE(a == c);
}

TEST(KeyBindingFromValue, TypeAndTextFollowTheValue) {
  struct Row {
    CIMValue value;
    CIMKeyBinding::Type type;
    const char* text;
  };
  const Row rows[] = {
      {CIMValue(true), CIMKeyBinding::BOOLEAN, "TRUE"},
      {CIMValue(Uint8(200)), CIMKeyBinding::NUMERIC, "200"},
      {CIMValue(Sint64(-5)), CIMKeyBinding::NUMERIC, "-5"},
      {CIMValue(String("disk 0")), CIMKeyBinding::STRING, "disk 0"},
      {CIMValue(Char16('z')), CIMKeyBinding::STRING, "z"},
      {CIMValue(CIMObjectPath("Y.b=2,a=1")), CIMKeyBinding::REFERENCE, "Y.a=1,b=2"},
  };
  for (const Row& r : rows) {
    CIMKeyBinding k("K", r.value);
    EXPECT_EQ(k.getType(), r.type) << r.text;
    EXPECT_EQ(k.getValue().toUtf8(), r.text);
    EXPECT_TRUE(k.equal(r.value)) << r.text;
  }
  EXPECT_THROW(CIMKeyBinding("K", CIMValue(Array<Uint8>())), TypeMismatchException);
}

TEST(KeyBindingFromValue, EqualChecksTypeAndValue) {
  CIMKeyBinding n("K", "0x10", CIMKeyBinding::NUMERIC);
  EXPECT_TRUE(n.equal(CIMValue(Uint16(16))));
  EXPECT_FALSE(n.equal(CIMValue(Uint16(17))));
  EXPECT_FALSE(n.equal(CIMValue(String("0x10"))));
  CIMKeyBinding neg("K", "-1", CIMKeyBinding::NUMERIC);
  EXPECT_FALSE(neg.equal(CIMValue(Uint32(0xFFFFFFFF))));
  EXPECT_TRUE(neg.equal(CIMValue(Sint8(-1))));
  CIMKeyBinding s("K", "abc", CIMKeyBinding::STRING);
  EXPECT_FALSE(s.equal(CIMValue(String("ABC"))));
  EXPECT_FALSE(s.equal(CIMValue(CIMTYPE_STRING, false)));
}

}  // namespace
