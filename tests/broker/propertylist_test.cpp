// Property lists: null versus empty, and filtering of instances by them.
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/Exception.h>

#include <gtest/gtest.h>

PEGASUS_USING_PEGASUS;

namespace {

CIMPropertyList listOf(std::initializer_list<const char*> names) {
  Array<CIMName> a;
  for (const char* n : names) a.append(CIMName(n));
  return CIMPropertyList(a);
}

CIMInstance threeProperties() {
  CIMInstance inst("X");
  CIMProperty a("A", Uint8(1), 0, CIMName(), CIMName("X_Base"));
  a.addQualifier(CIMQualifier("Description", String("first")));
  inst.addProperty(a);
  inst.addProperty(CIMProperty("B", Uint8(2)));
  inst.addProperty(CIMProperty("C", Uint8(3)));
  inst.addQualifier(CIMQualifier("Version", String("1.0")));
  return inst;
}

TEST(PropertyList, NullEmptyAndContains) {
  CIMPropertyList null;
  EXPECT_TRUE(null.isNull());
  EXPECT_EQ(null.size(), 0u);
  EXPECT_FALSE(null.contains("A"));
  EXPECT_TRUE(null.useThisProperty("A"));
  EXPECT_THROW(null[0], IndexOutOfBoundsException);

  CIMPropertyList empty{Array<CIMName>()};
  EXPECT_FALSE(empty.isNull());
  EXPECT_FALSE(empty.useThisProperty("A"));

  CIMPropertyList some = listOf({"Alpha", "beta"});
  EXPECT_TRUE(some.contains("ALPHA"));
  EXPECT_TRUE(some.useThisProperty("Beta"));
  EXPECT_FALSE(some.useThisProperty("Gamma"));
  EXPECT_EQ(some.toString(), "Alpha, beta");
  some.clear();
  EXPECT_TRUE(some.isNull());

  Array<CIMName> withNull;
  withNull.append(CIMName());
  EXPECT_THROW(CIMPropertyList{withNull}, UninitializedObjectException);
}

struct FilterCase {
  const char* name;
  CIMPropertyList list;
  std::vector<std::string> kept;
};

TEST(InstanceFilter, PropertyListSelectsProperties) {
  const FilterCase cases[] = {
      {"null list keeps everything", CIMPropertyList(), {"A", "B", "C"}},
      {"empty list drops everything", CIMPropertyList(Array<CIMName>()), {}},
      {"names match without case, order of the instance kept", listOf({"c", "a"}), {"A", "C"}},
      {"unknown names are ignored", listOf({"B", "Nope"}), {"B"}},
  };
  for (const auto& c : cases) {
    CIMInstance inst = threeProperties();
    inst.instanceFilter(true, true, c.list);
    std::vector<std::string> kept;
    for (Uint32 i = 0; i < inst.getPropertyCount(); i++)
      kept.push_back(inst.getProperty(i).getName().getString().toUtf8());
    EXPECT_EQ(kept, c.kept) << c.name;
  }
}

TEST(InstanceFilter, QualifiersAndClassOrigin) {
  CIMInstance kept = threeProperties();
  kept.instanceFilter(true, true, CIMPropertyList());
  EXPECT_EQ(kept.getQualifierCount(), 1u);
  EXPECT_EQ(kept.getProperty(0).getQualifierCount(), 1u);
  EXPECT_EQ(kept.getProperty(0).getClassOrigin().getString(), "X_Base");

  CIMInstance stripped = threeProperties();
  stripped.instanceFilter(false, false, CIMPropertyList());
  EXPECT_EQ(stripped.getQualifierCount(), 0u);
  EXPECT_EQ(stripped.getProperty(0).getQualifierCount(), 0u);
  EXPECT_TRUE(stripped.getProperty(0).getClassOrigin().isNull());
}

TEST(InstanceFilter, FilteringACloneLeavesTheOriginal) {
  // The object manager filters a copy of what a provider delivered; the
  // provider's own instance must keep all its properties.
  CIMInstance original = threeProperties();
  CIMInstance copy = original.clone();
  copy.instanceFilter(false, false, listOf({"B"}));
  EXPECT_EQ(copy.getPropertyCount(), 1u);
  EXPECT_EQ(original.getPropertyCount(), 3u);
  EXPECT_EQ(original.getProperty(0).getQualifierCount(), 1u);
}

}  // namespace
