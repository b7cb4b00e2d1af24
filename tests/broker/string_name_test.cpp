// String (UTF-8 in and out, ASCII-only case rules, bounds) and the CIM name types.
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/String.h>

#include <gtest/gtest.h>

#include <cstring>

PEGASUS_USING_PEGASUS;

namespace {

TEST(StringUtf8, RoundTripsAndCountsUtf16Units) {
  const char* text = "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80";  // a, e-acute, euro, emoji
  String s(text);
  EXPECT_EQ(s.size(), 1u + 1u + 1u + 2u);
  EXPECT_STREQ(static_cast<const char*>(s.getCString()), text);
  EXPECT_EQ(s.toUtf8(), text);
  EXPECT_EQ(Uint16(s[3]), 0xD83D);
}

TEST(StringUtf8, InvalidSequencesThrowWithIndex) {
  const char* const bad[] = {
      "ok\x80",              // stray continuation byte
      "ok\xc3",              // truncated
      "ok\xc0\xaf",          // overlong '/'
      "ok\xed\xa0\x80",      // encoded surrogate
      "ok\xf4\x90\x80\x80",  // beyond U+10FFFF
      "ok\xff",
  };
  for (const char* b : bad) {
    try {
      String s(b);
      ADD_FAILURE() << "accepted invalid UTF-8";
    } catch (const Exception& e) {
      EXPECT_NE(e.getMessage().find("index 2"), PEG_NOT_FOUND) << e.getMessage();
    }
  }
  EXPECT_THROW(String(static_cast<const char*>(nullptr)), NullPointer);
}

TEST(StringCase, FoldsAsciiOnly) {
  EXPECT_TRUE(String::equalNoCase("SM_Disk", "sm_disk"));
  EXPECT_FALSE(String("SM_Disk") == String("sm_disk"));
  // Non-ASCII letters are left alone: E-acute and e-acute differ.
  EXPECT_FALSE(String::equalNoCase("\xc3\x89", "\xc3\xa9"));
  String s("MiXeD \xc3\x89");
  s.toLower();
  EXPECT_EQ(s, "mixed \xc3\x89");
  s.toUpper();
  EXPECT_EQ(s, "MIXED \xc3\x89");
  EXPECT_LT(String::compareNoCase("abc", "ABD"), 0);
  EXPECT_EQ(String::compareNoCase("abc", "ABC"), 0);
  EXPECT_GT(String::compare("b", "a"), 0);
}

TEST(StringEdit, BoundsAndSearch) {
  String s("hello world");
  EXPECT_EQ(s.find('o'), 4u);
  EXPECT_EQ(s.find(5, 'o'), 7u);
  EXPECT_EQ(s.reverseFind('o'), 7u);
  EXPECT_EQ(s.find("world"), 6u);
  EXPECT_EQ(s.find('z'), PEG_NOT_FOUND);
  EXPECT_EQ(s.subString(6), "world");
  EXPECT_EQ(s.subString(6, 100), "world");
  EXPECT_EQ(s.subString(50), "");
  EXPECT_THROW(s[11], IndexOutOfBoundsException);
  EXPECT_THROW(String(s, 12), IndexOutOfBoundsException);
  EXPECT_EQ(String(s, 5), "hello");
  s.remove(5);
  EXPECT_EQ(s, "hello");
  EXPECT_THROW(s.remove(3, 3), IndexOutOfBoundsException);
  s[0] = 'J';
  EXPECT_EQ(s, "Jello");
  s.appendPrintf("-%d-%s", 42, "x");
  EXPECT_EQ(s, "Jello-42-x");
  EXPECT_EQ(String("a") + String("b") + "c", "abc");
}

TEST(CIMNameRules, LegalNames) {
  const char* const legal[] = {"A", "_x", "CIM_Foo2", "\xc3\xa9t\xc3\xa9"};
  const char* const illegal[] = {"", "2abc", "a-b", "a b", "a.b", "a/b"};
  for (const char* n : legal) {
    EXPECT_TRUE(CIMName::legal(n)) << n;
    EXPECT_NO_THROW(CIMName{n});
  }
  for (const char* n : illegal) {
    EXPECT_FALSE(CIMName::legal(n)) << n;
    EXPECT_THROW(CIMName{n}, InvalidNameException) << n;
  }
}

TEST(CIMNameRules, NullNameAndCaseInsensitiveEquality) {
  CIMName null;
  EXPECT_TRUE(null.isNull());
  EXPECT_TRUE(CIMName("CIM_Foo") == CIMName("cim_FOO"));
  EXPECT_TRUE(CIMName("CIM_Foo") != CIMName("CIM_Bar"));
  // Comparing with "" goes through CIMName("") and throws.
  EXPECT_THROW((void)(CIMName("X") == ""), InvalidNameException);
  CIMName n("Keep");
  EXPECT_THROW(n = String("bad name"), InvalidNameException);
  EXPECT_EQ(n.getString(), "Keep");
}

TEST(NamespaceRules, LeadingSlashAndElements) {
  EXPECT_EQ(CIMNamespaceName("/root/cimv2").getString(), "root/cimv2");
  EXPECT_TRUE(CIMNamespaceName("ROOT/CIMV2") == CIMNamespaceName("root/cimv2"));
  const char* const illegal[] = {"", "/", "root/", "root//cimv2", "//root", "root/2x"};
  for (const char* n : illegal)
    EXPECT_THROW(CIMNamespaceName{n}, InvalidNamespaceNameException) << n;
  EXPECT_TRUE(CIMNamespaceName().isNull());
}

}  // namespace
