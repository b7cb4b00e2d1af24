// buildPath against class definitions with and without keys, and the class
// side of it (key discovery, building instances).
#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/Exception.h>

#include <gtest/gtest.h>

PEGASUS_USING_PEGASUS;

namespace {

CIMProperty key(const char* name, const CIMValue& v) {
  CIMProperty p(name, v);
  p.addQualifier(CIMQualifier("Key", true));
  return p;
}

// A CIM logical device: four keys, declared in this order.
CIMClass deviceClass() {
  CIMClass c("SM_Device", "CIM_LogicalDevice");
  c.addProperty(key("SystemCreationClassName", CIMValue(String())));
  c.addProperty(key("SystemName", CIMValue(String())));
  c.addProperty(key("CreationClassName", CIMValue(String())));
  c.addProperty(key("DeviceID", CIMValue(String())));
  c.addProperty(CIMProperty("Speed", Uint64(0)));
  // Key qualifiers that are false or null do not make keys.
  CIMProperty notKey("Caption", String());
  notKey.addQualifier(CIMQualifier("KEY", false));
  c.addProperty(notKey);
  CIMProperty nullKey("Status", String());
  nullKey.addQualifier(CIMQualifier("Key", CIMValue(CIMTYPE_BOOLEAN, false)));
  c.addProperty(nullKey);
  return c;
}

CIMInstance device() {
  CIMInstance i("SM_Device");
  i.addProperty(CIMProperty("Speed", Uint64(1000)));
  i.addProperty(CIMProperty("DeviceID", String("eth0")));
  i.addProperty(CIMProperty("CreationClassName", String("SM_Device")));
  i.addProperty(CIMProperty("SystemName", String("host1")));
  i.addProperty(CIMProperty("SystemCreationClassName", String("CIM_ComputerSystem")));
  i.addProperty(CIMProperty("Caption", String("c")));
  return i;
}

TEST(BuildPath, ClassWithKeys) {
  CIMClass cls = deviceClass();
  Array<CIMName> names;
  cls.getKeyNames(names);
  ASSERT_EQ(names.size(), 4u);
  EXPECT_EQ(names[0].getString(), "SystemCreationClassName");
  EXPECT_TRUE(cls.hasKeys());

  CIMInstance inst = device();
  CIMObjectPath p = inst.buildPath(cls);
  EXPECT_EQ(p.toString(),
            "SM_Device.CreationClassName=\"SM_Device\",DeviceID=\"eth0\","
            "SystemCreationClassName=\"CIM_ComputerSystem\",SystemName=\"host1\"");
  EXPECT_TRUE(p.getHost() == "");
  EXPECT_TRUE(p.getNameSpace().isNull());
  // buildPath does not set the instance's own path.
  EXPECT_EQ(inst.getPath().toString(), "SM_Device");
}

TEST(BuildPath, NumericAndBooleanKeysTakeTheirBindingTypes) {
  CIMClass cls("X");
  cls.addProperty(key("Index", CIMValue(Uint16(0))));
  cls.addProperty(key("Enabled", CIMValue(false)));
  CIMInstance inst("X");
  inst.addProperty(CIMProperty("Index", Uint16(7)));
  inst.addProperty(CIMProperty("Enabled", true));
  CIMObjectPath p = inst.buildPath(cls);
  EXPECT_EQ(p.toString(), "X.Enabled=TRUE,Index=7");
  EXPECT_TRUE(p == CIMObjectPath("x.index=0x7,enabled=true"));
}

TEST(BuildPath, ClassWithoutKeysGivesBareClassName) {
  // What the storage providers do: a class object made of names only.
  CIMConstClass cls("SM_DiskDrive", "CIM_DiskDrive");
  CIMInstance inst("SM_DiskDrive");
  inst.addProperty(CIMProperty("DeviceID", String("sda")));
  CIMObjectPath p = inst.buildPath(cls);
  EXPECT_EQ(p.toString(), "SM_DiskDrive");
  EXPECT_EQ(p.getKeyBindings().size(), 0u);
  // The class name comes from the instance, not from the class object.
  CIMInstance other("SM_CDROMDrive");
  EXPECT_EQ(other.buildPath(cls).toString(), "SM_CDROMDrive");
}

TEST(BuildPath, MissingKeyPropertyThrows) {
  CIMInstance inst = device();
  inst.removeProperty(inst.findProperty("DeviceID"));
  EXPECT_THROW(inst.buildPath(deviceClass()), NoSuchProperty);
}

TEST(ClassDefinition, BuildInstanceAppliesPropertyList) {
  CIMClass cls = deviceClass();
  CIMInstance all = cls.buildInstance(false, false, CIMPropertyList());
  EXPECT_EQ(all.getPropertyCount(), cls.getPropertyCount());
  EXPECT_EQ(all.getProperty(0).getQualifierCount(), 0u);
  Array<CIMName> names;
  names.append("deviceid");
  names.append("NoSuchOne");
  CIMInstance some = cls.buildInstance(true, false, CIMPropertyList(names));
  ASSERT_EQ(some.getPropertyCount(), 1u);
  EXPECT_EQ(some.getProperty(0).getName().getString(), "DeviceID");
  EXPECT_EQ(some.getProperty(0).getQualifierCount(), 1u);
  // The instance's properties are copies, not the class's own.
  some.getProperty(0).setValue(CIMValue(String("changed")));
  String v;
  cls.getProperty(cls.findProperty("DeviceID")).getValue().get(v);
  EXPECT_EQ(v, "");
}

TEST(ClassDefinition, MethodsAndParameters) {
  CIMClass cls("HM_Thing");
  CIMMethod m("Reset", CIMTYPE_UINT32);
  m.addParameter(CIMParameter("Force", CIMTYPE_BOOLEAN));
  m.addParameter(CIMParameter("Targets", CIMTYPE_STRING, true));
  cls.addMethod(m);
  EXPECT_THROW(cls.addMethod(CIMMethod("RESET", CIMTYPE_UINT32)), AlreadyExistsException);
  EXPECT_THROW(m.addParameter(CIMParameter("force", CIMTYPE_BOOLEAN)), AlreadyExistsException);
  CIMConstClass view = cls;
  Uint32 pos = view.findMethod("reset");
  ASSERT_NE(pos, PEG_NOT_FOUND);
  CIMConstMethod cm = view.getMethod(pos);
  EXPECT_EQ(cm.getType(), CIMTYPE_UINT32);
  ASSERT_EQ(cm.getParameterCount(), 2u);
  EXPECT_TRUE(cm.getParameter(1).isArray());
  EXPECT_EQ(cm.getParameter(cm.findParameter("TARGETS")).getType(), CIMTYPE_STRING);
  EXPECT_TRUE(cls.clone().identical(cls));
}

}  // namespace
