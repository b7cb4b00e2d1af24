// Text form of object paths: parse -> print -> parse round trips, the printed
// form itself, and inputs that must be refused.
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/Exception.h>

#include <gtest/gtest.h>

PEGASUS_USING_PEGASUS;

namespace {

std::string text(const String& s) { return s.toUtf8(); }

struct RoundTrip {
  const char* input;
  const char* printed;  // canonical form: keys sorted, booleans upper-case
};

const RoundTrip kRoundTrips[] = {
    {"CIM_Foo", "CIM_Foo"},
    {"root/cimv2:CIM_Foo", "root/cimv2:CIM_Foo"},
    {"/root/cimv2:CIM_Foo", "root/cimv2:CIM_Foo"},
    {"//myhost/root/cimv2:CIM_Foo", "//myhost/root/cimv2:CIM_Foo"},
    {"//myhost:5988/root/cimv2:X.Id=\"a\"", "//myhost:5988/root/cimv2:X.Id=\"a\""},
    {"//10.0.0.1/root:X.Id=1", "//10.0.0.1/root:X.Id=1"},
    {"//[::1]:5988/root:X.Id=1", "//[::1]:5988/root:X.Id=1"},
    {"X.b=2,a=1,C=3", "X.a=1,b=2,C=3"},
    {"X.Flag=true", "X.Flag=TRUE"},
    {"X.Flag=fAlSe", "X.Flag=FALSE"},
    {"X.N=-42", "X.N=-42"},
    {"X.N=0x1F", "X.N=0x1F"},
    {"X.N=0", "X.N=0"},
    {"X.N=18446744073709551615", "X.N=18446744073709551615"},
    {"X.N=-9223372036854775808", "X.N=-9223372036854775808"},
    {"X.S=\"\"", "X.S=\"\""},
    {"X.S=\"a,b.c:d=e\"", "X.S=\"a,b.c:d=e\""},
    {"X.S=\"q\\\"uote\\\\slash\"", "X.S=\"q\\\"uote\\\\slash\""},
    {"X.S=\"d\xc3\xa9j\xc3\xa0\"", "X.S=\"d\xc3\xa9j\xc3\xa0\""},
    // A quoted value that reads as a path with keys is a reference; its own
    // keys are put in order too.
    {"A.R=\"B.z=1,y=\\\"v\\\"\"", "A.R=\"B.y=\\\"v\\\",z=1\""},
};

class PathRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(PathRoundTrip, PrintsCanonicallyAndReparsesEqual) {
  const RoundTrip& c = GetParam();
  CIMObjectPath first(c.input);
  EXPECT_EQ(text(first.toString()), c.printed);
  CIMObjectPath second(first.toString());
  EXPECT_EQ(text(second.toString()), c.printed);
  EXPECT_TRUE(first == second);
  EXPECT_EQ(first.makeHashCode(), second.makeHashCode());
}

INSTANTIATE_TEST_SUITE_P(Table, PathRoundTrip, ::testing::ValuesIn(kRoundTrips));

const char* const kMalformed[] = {
    "",
    "//host",                     // no namespace or class after the host
    "//host/CIM_Foo",             // host without a namespace
    "///root:CIM_Foo",            // empty host
    "//bad host/root:X",          // space in host
    "//host:99999/root:X",        // port out of range
    "root//cimv2:X",              // empty namespace element
    "1Class",                     // illegal class name
    "X.",                         // dot without keys
    "X.Id",                       // key without value
    "X.Id=",                      // empty value
    "X.1d=5",                     // illegal key name
    "X.Id=\"open",                // missing closing quote
    "X.Id=\"bad\\escape\"",       // only \\ and \" are escapes
    "X.Id=\"a\"junk",             // text after the closing quote
    "X.Id=5,",                    // trailing comma
    "X.Id=5,,B=1",                // empty pair
    "X.Id=05",                    // leading zero
    "X.Id=1.5",                   // real
    "X.Id=abc",                   // bare word
    "X.Id=Tru",                   // T... word that is not TRUE
    "X.Id=0x",                    // hex without digits
    "X.Id=0xG1",                  // bad hex digit
    "X.Id=18446744073709551616",  // overflows 64 bits
    "X.Id=-9223372036854775809",
};

class PathMalformed : public ::testing::TestWithParam<const char*> {};

TEST_P(PathMalformed, Throws) {
  EXPECT_THROW(CIMObjectPath(String(GetParam())), MalformedObjectNameException);
}

INSTANTIATE_TEST_SUITE_P(Table, PathMalformed, ::testing::ValuesIn(kMalformed));

TEST(PathParse, FieldsAndKeyTypes) {
  CIMObjectPath p("//Host.Example/root/cimv2:CIM_Foo.S=\"x\",B=TRUE,N=7,R=\"Y.K=1\"");
  EXPECT_EQ(text(p.getHost()), "Host.Example");
  EXPECT_EQ(text(p.getNameSpace().getString()), "root/cimv2");
  EXPECT_EQ(text(p.getClassName().getString()), "CIM_Foo");
  const Array<CIMKeyBinding>& k = p.getKeyBindings();
  ASSERT_EQ(k.size(), 4u);
  EXPECT_EQ(text(k[0].getName().getString()), "B");
  EXPECT_EQ(k[0].getType(), CIMKeyBinding::BOOLEAN);
  EXPECT_EQ(k[1].getType(), CIMKeyBinding::NUMERIC);
  EXPECT_EQ(k[2].getType(), CIMKeyBinding::REFERENCE);
  EXPECT_EQ(text(k[2].getValue()), "Y.K=1");
  EXPECT_EQ(k[3].getType(), CIMKeyBinding::STRING);
}

TEST(PathParse, QuotedTextWithEqualsButNoPathStaysString) {
  CIMObjectPath p("X.S=\"a=b\"");
  EXPECT_EQ(p.getKeyBindings()[0].getType(), CIMKeyBinding::STRING);
}

TEST(PathParse, FailedSetLeavesPathUnchanged) {
  CIMObjectPath p("X.Id=1");
  EXPECT_THROW(p.set("X.Id=bad"), MalformedObjectNameException);
  EXPECT_EQ(text(p.toString()), "X.Id=1");
}

TEST(PathPrint, ConstructedPathsAreSortedAndQuoted) {
  Array<CIMKeyBinding> keys;
  keys.append(CIMKeyBinding("Zeta", "z\"q", CIMKeyBinding::STRING));
  keys.append(CIMKeyBinding("alpha", "12", CIMKeyBinding::NUMERIC));
  CIMObjectPath p(String(), CIMNamespaceName("root/cimv2"), "My_Class", keys);
  EXPECT_EQ(text(p.toString()), "root/cimv2:My_Class.alpha=12,Zeta=\"z\\\"q\"");
  EXPECT_EQ(text(p.getKeyBindings()[0].getName().getString()), "alpha");

  // A host without a namespace still prints the separator.
  CIMObjectPath h("hostname", CIMNamespaceName(), "X");
  EXPECT_EQ(text(h.toString()), "//hostname/:X");
}

TEST(PathPrint, SettersKeepKeysSortedAndCopiesIndependent) {
  CIMObjectPath a("X.b=1");
  CIMObjectPath b = a;
  Array<CIMKeyBinding> keys;
  keys.append(CIMKeyBinding("c", "3", CIMKeyBinding::NUMERIC));
  keys.append(CIMKeyBinding("a", "1", CIMKeyBinding::NUMERIC));
  b.setKeyBindings(keys);
  b.setNameSpace(CIMNamespaceName("root"));
  EXPECT_EQ(text(b.toString()), "root:X.a=1,c=3");
  EXPECT_EQ(text(a.toString()), "X.b=1");
  EXPECT_THROW(b.setHost("bad host"), MalformedObjectNameException);
}

}  // namespace
