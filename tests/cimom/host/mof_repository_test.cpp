// Class repository: the MOF subset, inheritance merging, and the shipped classes.
#include "ClassRepository.h"
#include "HostError.h"
#include "MofParser.h"
#include "NameKey.h"

#include <Pegasus/Common/CIMMethod.h>
#include <Pegasus/Common/CIMParameter.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMQualifier.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "support/temp_dir.h"

using namespace Pegasus;
using namespace mgmt::cimom;

namespace {

bool IsKey(const CIMConstProperty& p) {
  Uint32 at = p.findQualifier(CIMName("Key"));
  if (at == PEG_NOT_FOUND) return false;
  Boolean v = false;
  p.getQualifier(at).getValue().get(v);
  return v;
}

std::string PropName(const CIMClass& c, Uint32 i) {
  return ToStd(c.getProperty(i).getName().getString());
}

ClassRepository RepoFrom(const std::string& text) {
  return ClassRepository::Build(ParseMof(text, "t.mof"));
}

TEST(MofParser, ReadsClassesPropertiesAndMethods) {
  auto classes = ParseMof(R"(
        #pragma locale ("en_US")
        // a comment
        [Abstract, Description ("one " "two"), Version ("2.1")]
        class X_Base {
            [Key, MaxLen (16)] string Id;
            uint16 States[];
            uint8 Fixed[4];
            datetime When = "20240101000000.000000+000";
            X_Other REF Peer;
            /* methods */
            uint32 Act ([IN] boolean Force, [IN, OUT] string Notes[], [OUT] X_Other REF Who);
        };
        class x_sub : X_Base { real64 Ratio = 1.5; };
    )",
                          "t.mof");
  ASSERT_EQ(classes.size(), 2u);
  const CIMClass& base = classes[0].cls;
  EXPECT_EQ(classes[0].line, 5);
  EXPECT_TRUE(base.isAbstract());
  Uint32 d = base.findQualifier(CIMName("Description"));
  ASSERT_NE(d, PEG_NOT_FOUND);
  String desc;
  base.getQualifier(d).getValue().get(desc);
  EXPECT_EQ(desc, "one two");

  ASSERT_EQ(base.getPropertyCount(), 5u);
  CIMConstProperty id = base.getProperty(0);
  EXPECT_TRUE(IsKey(id));
  EXPECT_EQ(id.getType(), CIMTYPE_STRING);
  EXPECT_TRUE(id.getValue().isNull());
  EXPECT_TRUE(base.getProperty(1).isArray());
  EXPECT_EQ(base.getProperty(1).getType(), CIMTYPE_UINT16);
  EXPECT_TRUE(base.getProperty(2).isArray());  // fixed size not kept on properties
  EXPECT_EQ(base.getProperty(3).getType(), CIMTYPE_DATETIME);
  EXPECT_EQ(base.getProperty(4).getType(), CIMTYPE_REFERENCE);
  EXPECT_EQ(ToStd(base.getProperty(4).getReferenceClassName().getString()), "X_Other");

  ASSERT_EQ(base.getMethodCount(), 1u);
  CIMConstMethod act = base.getMethod(0);
  EXPECT_EQ(act.getType(), CIMTYPE_UINT32);
  ASSERT_EQ(act.getParameterCount(), 3u);
  EXPECT_EQ(act.getParameter(0).getType(), CIMTYPE_BOOLEAN);
  EXPECT_TRUE(act.getParameter(1).isArray());
  EXPECT_NE(act.getParameter(1).findQualifier(CIMName("OUT")), PEG_NOT_FOUND);
  EXPECT_EQ(act.getParameter(2).getType(), CIMTYPE_REFERENCE);

  EXPECT_EQ(ToStd(classes[1].cls.getSuperClassName().getString()), "X_Base");
}

TEST(MofParser, ErrorsNameFileAndLine) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"class A {\n string S = \"open;\n};", "t.mof:2: unterminated string"},
      {"class A {\n strng S;\n};", "t.mof:2: unknown type 'strng'"},
      {"class A {\n string S\n};", "t.mof:3: expected ';'"},
      {"class A {\n string S;\n", "class A is not closed"},
      {"instance of A { };", "t.mof:1: instance declarations are not supported"},
      {"class A {\n string S;\n string s;\n};", "t.mof:3: property s declared twice"},
      {"class A { string S = \"\\q\"; };", "unknown escape"},
      {"class A { uint8 N[x]; };", "expected ']'"},
      {"/* never closed", "t.mof:1: unterminated comment"},
      {"class A { string M(uint8 P, uint8 p); };", "parameter p declared twice"},
  };
  for (const auto& c : cases) {
    try {
      ParseMof(c.text, "t.mof");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ConfigError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
          << "text: " << c.text << "\nmessage: " << e.what();
    }
  }
}

TEST(ClassRepository, MergesInheritedFeaturesInOrder) {
  ClassRepository repo = RepoFrom(R"(
        class A { [Key] string Id; string Label; uint32 Reset(); };
        class B : A { string Id; string Label = "x"; string Extra; };
        class C : B { uint16 More; };
    )");
  const ClassInfo* c = repo.Find(CIMName("c"));
  ASSERT_NE(c, nullptr);
  CIMClass cls = repo.CopyClass(*c);
  ASSERT_EQ(cls.getPropertyCount(), 4u);
  EXPECT_EQ(PropName(cls, 0), "Id");
  EXPECT_EQ(PropName(cls, 1), "Label");
  EXPECT_EQ(PropName(cls, 2), "Extra");
  EXPECT_EQ(PropName(cls, 3), "More");
  // Redeclaring a key in a subclass keeps it a key.
  EXPECT_TRUE(IsKey(cls.getProperty(0)));
  Array<CIMName> keys;
  cls.getKeyNames(keys);
  ASSERT_EQ(keys.size(), 1u);
  // Class origin names the class that declared the property last; inherited ones are propagated.
  EXPECT_EQ(ToStd(cls.getProperty(1).getClassOrigin().getString()), "B");
  EXPECT_TRUE(cls.getProperty(1).getPropagated());
  EXPECT_FALSE(cls.getProperty(3).getPropagated());
  ASSERT_NE(cls.findMethod(CIMName("Reset")), PEG_NOT_FOUND);
  EXPECT_TRUE(cls.getMethod(cls.findMethod(CIMName("Reset"))).getPropagated());

  const ClassInfo* a = repo.Find(CIMName("A"));
  std::vector<std::string> order;
  for (const ClassInfo* info : repo.WithSubclasses(*a)) order.push_back(info->key);
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(repo.IsA(*c, *a));
  EXPECT_FALSE(repo.IsA(*a, *c));
  ASSERT_EQ(repo.Roots().size(), 1u);
  EXPECT_TRUE(c->propertyKeys.count("more"));
  EXPECT_FALSE(a->propertyKeys.count("more"));

  // The copy is private: changing it leaves the repository alone.
  cls.removeProperty(0);
  EXPECT_EQ(repo.CopyClass(*c).getPropertyCount(), 4u);
}

TEST(ClassRepository, RejectsBrokenHierarchies) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"class A : Missing { };", "superclass Missing is not defined"},
      {"class A : B { };\nclass B : A { };", "inherits from itself"},
      {"class A { };\nclass a { };", "t.mof:2: class a already defined at t.mof:1"},
  };
  for (const auto& c : cases) {
    try {
      RepoFrom(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ConfigError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

TEST(ClassRepository, ShippedClassesLoadAndKeyTheAgentsClasses) {
  ClassRepository repo = ClassRepository::Load(CIMOM_MOF_DIR);
  const ClassInfo* adapter = repo.Find(CIMName("CIM_NetworkAdapter"));
  ASSERT_NE(adapter, nullptr);
  Array<CIMName> keys;
  repo.CopyClass(*adapter).getKeyNames(keys);
  std::vector<std::string> names;
  for (Uint32 i = 0; i < keys.size(); ++i) names.push_back(ToStd(keys[i].getString()));
  EXPECT_EQ(names, (std::vector<std::string>{"SystemCreationClassName", "SystemName",
                                             "CreationClassName", "DeviceID"}));
  EXPECT_TRUE(adapter->propertyKeys.count("macaddress"));
  EXPECT_TRUE(adapter->propertyKeys.count("networkaddresses"));

  const ClassInfo* device = repo.Find(CIMName("CIM_LogicalDevice"));
  for (const char* sub : {"CIM_DiskDrive", "CIM_CDROMDrive", "CIM_DVDDrive", "CIM_FloppyDrive",
                          "CIM_LogicalDisk", "CIM_Processor", "CIM_EthernetAdapter"}) {
    const ClassInfo* info = repo.Find(CIMName(sub));
    ASSERT_NE(info, nullptr) << sub;
    EXPECT_TRUE(repo.IsA(*info, *device)) << sub;
  }
  for (const char* cls :
       {"CIM_Chassis", "CIM_Card", "CIM_PhysicalMemory", "CIM_Slot", "CIM_BIOSElement",
        "CIM_Product", "CIM_StatisticalData", "CIM_ComputerSystem"}) {
    EXPECT_NE(repo.Find(CIMName(cls)), nullptr) << cls;
  }
}

TEST(ClassRepository, LoadReportsTheFileOfAnError) {
  const mgmt::test::TempDir tmp("cimom-mof");
  const auto& dir = tmp.Path();
  std::ofstream(dir / "a.mof") << "class A { string S; };\n";
  std::ofstream(dir / "b.mof") << "class B : A {\n  sint99 N;\n};\n";
  std::ofstream(dir / "ignored.txt") << "not mof";
  try {
    ClassRepository::Load(dir);
    ADD_FAILURE() << "accepted a bad file";
  } catch (const ConfigError& e) {
    EXPECT_NE(std::string(e.what()).find("b.mof:2: unknown type 'sint99'"), std::string::npos)
        << e.what();
  }
}

}  // namespace
