// Instances and properties: shared handles, deep clones, fixed property
// types, name rules, and the path an instance carries.
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/Exception.h>

#include <gtest/gtest.h>

PEGASUS_USING_PEGASUS;

namespace {

Uint32 uintOf(const CIMConstProperty& p) {
  Uint32 v = 0;
  p.getValue().get(v);
  return v;
}

CIMInstance sample() {
  CIMInstance inst("SM_Sample");
  inst.addProperty(CIMProperty("Count", Uint32(1)));
  inst.addProperty(CIMProperty("Name", String("first")));
  return inst;
}

TEST(InstanceHandles, CopiesShareAndPropertyEditsReachTheInstance) {
  CIMInstance a = sample();
  CIMInstance b = a;
  // The provider idiom: edit a property taken from the instance.
  a.getProperty(a.findProperty("count")).setValue(CIMValue(Uint32(5)));
  EXPECT_EQ(uintOf(b.getProperty(0)), 5u);
  b.addProperty(CIMProperty("Extra", true));
  EXPECT_EQ(a.getPropertyCount(), 3u);
  // A const view shares too.
  CIMConstInstance view = a;
  a.removeProperty(2);
  EXPECT_EQ(view.getPropertyCount(), 2u);
}

TEST(InstanceHandles, CloneIsDeep) {
  CIMInstance a = sample();
  CIMInstance c = a.clone();
  EXPECT_TRUE(a.identical(c));
  c.getProperty(0).setValue(CIMValue(Uint32(9)));
  c.addProperty(CIMProperty("Extra", true));
  EXPECT_EQ(uintOf(a.getProperty(0)), 1u);
  EXPECT_EQ(a.getPropertyCount(), 2u);
  EXPECT_FALSE(a.identical(c));
}

TEST(InstanceHandles, UninitializedObjectsThrow) {
  CIMInstance none;
  EXPECT_TRUE(none.isUninitialized());
  EXPECT_THROW(none.getClassName(), UninitializedObjectException);
  EXPECT_THROW(none.getPropertyCount(), UninitializedObjectException);
  EXPECT_THROW(CIMInstance{CIMName()}, UninitializedObjectException);
  CIMProperty p;
  EXPECT_THROW(p.getValue(), UninitializedObjectException);
  CIMInstance inst("X");
  EXPECT_THROW(inst.addProperty(p), UninitializedObjectException);
}

TEST(InstanceProperties, OrderLookupAndDuplicates) {
  CIMInstance inst = sample();
  EXPECT_EQ(inst.findProperty("NAME"), 1u);
  EXPECT_EQ(inst.findProperty("Missing"), PEG_NOT_FOUND);
  EXPECT_EQ(inst.getProperty(0).getName().getString(), "Count");
  try {
    inst.addProperty(CIMProperty("NAME", String("dup")));
    FAIL() << "duplicate accepted";
  } catch (const AlreadyExistsException& e) {
    EXPECT_EQ(e.getMessage(), "already exists: property \"NAME\"");
  }
  EXPECT_THROW(inst.getProperty(2), IndexOutOfBoundsException);
  EXPECT_THROW(inst.removeProperty(2), IndexOutOfBoundsException);
}

TEST(PropertyRules, TypeIsFixedAtConstruction) {
  CIMProperty p("Speed", Uint16(10));
  EXPECT_THROW(p.setValue(CIMValue(Uint32(10))), TypeMismatchException);
  EXPECT_THROW(p.setValue(CIMValue(Array<Uint16>())), TypeMismatchException);
  p.setValue(CIMValue(CIMTYPE_UINT16, false));
  EXPECT_TRUE(p.getValue().isNull());

  EXPECT_THROW(CIMProperty(CIMName(), Uint8(1)), UninitializedObjectException);
  Array<Uint8> three(3, Uint8(0));
  EXPECT_NO_THROW(CIMProperty("A", three, 3));
  EXPECT_THROW(CIMProperty("A", three, 2), TypeMismatchException);
  EXPECT_THROW(CIMProperty("A", Uint8(1), 1), TypeMismatchException);
  EXPECT_THROW(CIMProperty("R", Array<CIMObjectPath>()), TypeMismatchException);
  EXPECT_THROW(CIMProperty("R", String("x"), 0, CIMName("CIM_Thing")), TypeMismatchException);
  EXPECT_NO_THROW(CIMProperty("R", CIMObjectPath("X.Id=1"), 0, CIMName("X")));
}

TEST(PropertyRules, RenameRefusedInsideAContainer) {
  CIMProperty p("Alpha", Uint8(1));
  p.setName("Beta");
  CIMInstance inst("X");
  inst.addProperty(p);
  EXPECT_THROW(p.setName("Gamma"), AlreadyExistsException);
  EXPECT_NO_THROW(p.setName("BETA"));  // same name, other case
  inst.removeProperty(0);
  EXPECT_NO_THROW(p.setName("Gamma"));
}

TEST(InstancePath, SetPathChecksTheClass) {
  CIMInstance inst("SM_Disk");
  EXPECT_EQ(inst.getPath().toString(), "SM_Disk");
  inst.setPath(CIMObjectPath("//h/root/cimv2:sm_disk.Id=\"a\""));
  EXPECT_EQ(inst.getClassName().getString(), "sm_disk");
  EXPECT_EQ(inst.getPath().getKeyBindings().size(), 1u);
  EXPECT_THROW(inst.setPath(CIMObjectPath("Other.Id=1")), TypeMismatchException);
  EXPECT_THROW(inst.setPath(CIMObjectPath()), UninitializedObjectException);
}

TEST(InstanceIdentical, ComparesPathPropertiesAndOrder) {
  CIMInstance a = sample();
  CIMInstance b("SM_Sample");
  b.addProperty(CIMProperty("Name", String("first")));
  b.addProperty(CIMProperty("Count", Uint32(1)));
  EXPECT_FALSE(a.identical(b));  // same properties, other order
  CIMInstance c = sample();
  EXPECT_TRUE(a.identical(c));
  c.setPath(CIMObjectPath("SM_Sample.Name=\"first\""));
  EXPECT_FALSE(a.identical(c));
}

}  // namespace
