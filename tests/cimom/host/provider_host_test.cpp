// The provider host driving the test module through every operation.
#include "HostFixture.h"

#include <Pegasus/Common/CIMDateTime.h>
#include <Pegasus/Common/CIMMethod.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMQualifier.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

using namespace Pegasus;
using namespace mgmt::cimom;
using cimomtest::CimError;

namespace {

class ProviderHostTest : public cimomtest::HostFixture {
 protected:
  static CIMObjectPath WidgetPath(const char* id, const char* cls = "Test_Widget") {
    Array<CIMKeyBinding> keys;
    keys.append(CIMKeyBinding(CIMName("Id"), String(id), CIMKeyBinding::STRING));
    return CIMObjectPath(String(), CIMNamespaceName(), CIMName(cls), keys);
  }
  static std::string StringProp(const CIMInstance& inst, const char* name) {
    Uint32 at = inst.findProperty(CIMName(name));
    if (at == PEG_NOT_FOUND) return "<absent>";
    String s;
    inst.getProperty(at).getValue().get(s);
    return ToStd(s);
  }
  std::multiset<std::string> Ids(const Array<CIMInstance>& insts) {
    std::multiset<std::string> out;
    for (Uint32 i = 0; i < insts.size(); ++i) out.insert(StringProp(insts[i], "Id"));
    return out;
  }
  MethodResult Call(const char* method, Array<CIMParamValue> in,
                    const CIMObjectPath& path = WidgetPath("w1")) {
    return host_->InvokeMethod(ctx_, ns_, path, CIMName(method), in);
  }
  static Array<CIMParamValue> Params(const char* name, const CIMValue& v, bool typed = true) {
    Array<CIMParamValue> in;
    in.append(CIMParamValue(name, v, typed));
    return in;
  }
};

TEST_F(ProviderHostTest, EnumerationReachesTheProvidersOfEverySubclass) {
  using Set = std::multiset<std::string>;
  EXPECT_EQ(Ids(host_->EnumerateInstances(ctx_, ns_, CIMName("Test_Widget"))),
            (Set{"w1", "w2", "g1", "g2"}));
  EXPECT_EQ(Ids(host_->EnumerateInstances(ctx_, ns_, CIMName("test_gadget"))), (Set{"g1", "g2"}));
  // The abstract root has no provider of its own; its subclasses answer, and the
  // subclasses whose providers cannot load are left out (see provider_failure_test).
  EXPECT_EQ(Ids(host_->EnumerateInstances(ctx_, ns_, CIMName("Test_Element"))),
            (Set{"w1", "w2", "g1", "g2"}));
  EXPECT_EQ(host_->EnumerateInstanceNames(ctx_, ns_, CIMName("Test_Widget")).size(), 4u);
  EXPECT_EQ(host_->EnumerateInstances(ctx_, ns_, CIMName("Test_Unserved")).size(), 0u);

  // Each instance keeps its own path as its name, class included.
  Array<CIMObjectPath> names = host_->EnumerateInstanceNames(ctx_, ns_, CIMName("Test_Widget"));
  std::set<std::string> printed;
  for (Uint32 i = 0; i < names.size(); ++i) printed.insert(ToStd(names[i].toString()));
  EXPECT_TRUE(printed.count("Test_Gadget.Id=\"g1\""));
  EXPECT_TRUE(printed.count("Test_Widget.Id=\"w2\""));
}

TEST_F(ProviderHostTest, ShallowEnumerationKeepsOnlyTheRequestedClassProperties) {
  Array<CIMInstance> all = host_->EnumerateInstances(ctx_, ns_, CIMName("Test_Widget"), false);
  ASSERT_EQ(all.size(), 4u);
  for (Uint32 i = 0; i < all.size(); ++i) {
    EXPECT_EQ(all[i].findProperty(CIMName("Extra")), PEG_NOT_FOUND);
    EXPECT_NE(all[i].findProperty(CIMName("Color")), PEG_NOT_FOUND);
  }
  Array<CIMInstance> deep = host_->EnumerateInstances(ctx_, ns_, CIMName("Test_Widget"), true);
  size_t withExtra = 0;
  for (Uint32 i = 0; i < deep.size(); ++i)
    withExtra += deep[i].findProperty(CIMName("Extra")) != PEG_NOT_FOUND;
  EXPECT_EQ(withExtra, 2u);
}

TEST_F(ProviderHostTest, ProvidersReceiveLocalPathsInTheRequestNamespace) {
  CIMObjectPath fromClient = WidgetPath("w1");
  fromClient.setHost("client.example:5988");
  fromClient.setNameSpace(CIMNamespaceName("elsewhere/ns"));
  CIMInstance got = host_->GetInstance(ctx_, ns_, fromClient);
  EXPECT_EQ(StringProp(got, "SeenPath"), "root/cimv2:Test_Widget.Id=\"w1\"");

  Array<CIMInstance> inTest =
      host_->EnumerateInstances(ctx_, CIMNamespaceName("ROOT/test"), CIMName("Test_Widget"));
  ASSERT_GE(inTest.size(), 1u);
  EXPECT_EQ(StringProp(inTest[0], "SeenPath"), "ROOT/test:Test_Widget");

  // Test_Bulk is registered for root/cimv2 only.
  EXPECT_EQ(
      host_->EnumerateInstances(ctx_, CIMNamespaceName("root/test"), CIMName("Test_Bulk")).size(),
      0u);
  EXPECT_EQ(CimError([&] {
              host_->EnumerateInstances(ctx_, CIMNamespaceName("root/none"),
                                        CIMName("Test_Widget"));
            }).first,
            CIM_ERR_INVALID_NAMESPACE);
}

TEST_F(ProviderHostTest, PropertyListsFilterPrivateCopies) {
  Array<CIMName> names;
  names.append(CIMName("label"));
  names.append(CIMName("Count"));
  names.append(CIMName("NoSuchProperty"));
  Array<CIMInstance> listed = host_->EnumerateInstances(
      ctx_, ns_, CIMName("Test_Gadget"), true, false, false, false, CIMPropertyList(names));
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].getPropertyCount(), 0u);  // gadgets have neither property

  CIMInstance w1 =
      host_->GetInstance(ctx_, ns_, WidgetPath("w1"), false, false, false, CIMPropertyList(names));
  EXPECT_EQ(w1.getPropertyCount(), 2u);
  EXPECT_EQ(StringProp(w1, "Label"), "first");
  EXPECT_EQ(ToStd(w1.getPath().toString()), "Test_Widget.Id=\"w1\"");  // the path keeps its keys

  CIMInstance none = host_->GetInstance(ctx_, ns_, WidgetPath("w1"), false, false, false,
                                        CIMPropertyList(Array<CIMName>()));
  EXPECT_EQ(none.getPropertyCount(), 0u);

  // The provider delivered its stored object; what the caller got is a copy.
  CIMInstance mine = host_->GetInstance(ctx_, ns_, WidgetPath("w1"));
  mine.getProperty(mine.findProperty(CIMName("Label")))
      .setValue(CIMValue(String("changed by caller")));
  mine.removeProperty(mine.findProperty(CIMName("Count")));
  CIMInstance again = host_->GetInstance(ctx_, ns_, WidgetPath("w1"));
  EXPECT_EQ(StringProp(again, "Label"), "first");
  EXPECT_NE(again.findProperty(CIMName("Count")), PEG_NOT_FOUND);
}

TEST_F(ProviderHostTest, GetInstanceAppliesTheDeliveryRules) {
  const struct {
    CIMObjectPath path;
    CIMStatusCode code;
    const char* message;
  } cases[] = {
      {WidgetPath("nobody"), CIM_ERR_NOT_FOUND, "root/cimv2:Test_Widget.Id=\"nobody\""},
      {WidgetPath("twice"), CIM_ERR_FAILED, "Too many objects delivered"},
      {WidgetPath("uninit"), CIM_ERR_FAILED, "The object is not initialized"},
      {WidgetPath("x", "Test_NoSuchClass"), CIM_ERR_INVALID_CLASS, "Test_NoSuchClass"},
      {WidgetPath("x", "Test_Unserved"), CIM_ERR_NOT_FOUND, "root/cimv2:Test_Unserved.Id=\"x\""},
      {CIMObjectPath(), CIM_ERR_INVALID_PARAMETER, "class name missing"},
  };
  for (const auto& c : cases) {
    auto [code, message] = CimError([&] { host_->GetInstance(ctx_, ns_, c.path); });
    EXPECT_EQ(code, c.code) << ToStd(c.path.toString());
    EXPECT_EQ(message, c.message) << ToStd(c.path.toString());
  }
}

TEST_F(ProviderHostTest, WriteOperationsReachTheProvider) {
  CIMInstance w3{CIMName("Test_Widget")};
  w3.addProperty(CIMProperty(CIMName("Id"), CIMValue(String("w3"))));
  w3.addProperty(CIMProperty(CIMName("Label"), CIMValue(String("third"))));
  CIMObjectPath made = host_->CreateInstance(ctx_, ns_, w3);
  EXPECT_EQ(ToStd(made.toString()), "Test_Widget.Id=\"w3\"");
  EXPECT_EQ(CimError([&] { host_->CreateInstance(ctx_, ns_, w3); }).first, CIM_ERR_ALREADY_EXISTS);

  CIMInstance change{CIMName("Test_Widget")};
  change.addProperty(CIMProperty(CIMName("Label"), CIMValue(String("renamed"))));
  change.addProperty(CIMProperty(CIMName("Count"), CIMValue(Uint32(9))));
  change.setPath(WidgetPath("w3"));
  Array<CIMName> onlyCount;
  onlyCount.append(CIMName("Count"));
  host_->ModifyInstance(ctx_, ns_, change, false, CIMPropertyList(onlyCount));
  CIMInstance got = host_->GetInstance(ctx_, ns_, WidgetPath("w3"));
  EXPECT_EQ(StringProp(got, "Label"), "third");
  EXPECT_EQ(ToStd(got.getProperty(got.findProperty(CIMName("Count"))).getValue().toString()), "9");
  host_->ModifyInstance(ctx_, ns_, change);
  EXPECT_EQ(StringProp(host_->GetInstance(ctx_, ns_, WidgetPath("w3")), "Label"), "renamed");

  host_->DeleteInstance(ctx_, ns_, WidgetPath("w3"));
  EXPECT_EQ(CimError([&] { host_->GetInstance(ctx_, ns_, WidgetPath("w3")); }).first,
            CIM_ERR_NOT_FOUND);
  EXPECT_EQ(CimError([&] { host_->DeleteInstance(ctx_, ns_, WidgetPath("w3")); }).first,
            CIM_ERR_NOT_FOUND);

  CIMInstance gadget{CIMName("Test_Gadget")};
  gadget.setPath(WidgetPath("g1", "Test_Gadget"));
  EXPECT_EQ(CimError([&] { host_->ModifyInstance(ctx_, ns_, gadget); }),
            std::make_pair(CIM_ERR_NOT_SUPPORTED, std::string("modifyInstance")));
  CIMInstance unserved{CIMName("Test_Unserved")};
  EXPECT_EQ(CimError([&] { host_->CreateInstance(ctx_, ns_, unserved); }).first,
            CIM_ERR_NOT_SUPPORTED);
  EXPECT_EQ(CimError([&] { host_->ModifyInstance(ctx_, ns_, CIMInstance()); }).first,
            CIM_ERR_INVALID_PARAMETER);
}

TEST_F(ProviderHostTest, WrittenPropertiesGetTheirDeclaredTypesFirst) {
  // Untyped texts (what a CIM-XML client sends without TYPE) are converted.
  CIMInstance w4{CIMName("Test_Widget")};
  w4.addProperty(CIMProperty(CIMName("Id"), CIMValue(String("w4"))));
  w4.addProperty(CIMProperty(CIMName("Count"), CIMValue(String("12"))));
  Array<String> tags;
  tags.append("a");
  w4.addProperty(CIMProperty(CIMName("Tags"), CIMValue(tags)));
  host_->CreateInstance(ctx_, ns_, w4);
  CIMInstance change{CIMName("Test_Widget")};
  change.addProperty(CIMProperty(CIMName("count"), CIMValue(String("0x10"))));
  change.setPath(WidgetPath("w4"));
  host_->ModifyInstance(ctx_, ns_, change);
  const CIMInstance got = host_->GetInstance(ctx_, ns_, WidgetPath("w4"));
  const CIMValue count = got.getProperty(got.findProperty(CIMName("Count"))).getValue();
  EXPECT_EQ(count.getType(), CIMTYPE_UINT32);
  EXPECT_EQ(ToStd(count.toString()), "16");

  // What does not convert never reaches the provider (its setValue would throw
  // CIM_ERR_FAILED halfway through the change).
  const struct {
    const char* property;
    CIMValue value;
    CIMStatusCode code;
  } refused[] = {
      {"Count", CIMValue(String("nine")), CIM_ERR_TYPE_MISMATCH},
      {"Count", CIMValue(String("4294967296")), CIM_ERR_TYPE_MISMATCH},
      {"Count", CIMValue(Sint32(5)), CIM_ERR_TYPE_MISMATCH},
      {"Count", CIMValue(tags), CIM_ERR_TYPE_MISMATCH},
      {"Label", CIMValue(tags), CIM_ERR_TYPE_MISMATCH},
      {"NoSuchThing", CIMValue(String("x")), CIM_ERR_NO_SUCH_PROPERTY},
  };
  for (const auto& r : refused) {
    CIMInstance bad{CIMName("Test_Widget")};
    bad.addProperty(CIMProperty(CIMName("Color"), CIMValue(String("changed"))));
    bad.addProperty(CIMProperty(CIMName(r.property), r.value));
    bad.setPath(WidgetPath("w4"));
    EXPECT_EQ(CimError([&] { host_->ModifyInstance(ctx_, ns_, bad); }).first, r.code) << r.property;
    CIMInstance fresh{CIMName("Test_Widget")};
    fresh.addProperty(CIMProperty(CIMName("Id"), CIMValue(String("w5"))));
    fresh.addProperty(CIMProperty(CIMName(r.property), r.value));
    EXPECT_EQ(CimError([&] { host_->CreateInstance(ctx_, ns_, fresh); }).first, r.code)
        << r.property;
  }
  EXPECT_EQ(StringProp(host_->GetInstance(ctx_, ns_, WidgetPath("w4")), "Color"), "green");
  EXPECT_EQ(CimError([&] { host_->GetInstance(ctx_, ns_, WidgetPath("w5")); }).first,
            CIM_ERR_NOT_FOUND);
  host_->DeleteInstance(ctx_, ns_, WidgetPath("w4"));
}

TEST_F(ProviderHostTest, EveryProviderExceptionBecomesItsCimError) {
  const struct {
    Uint16 code;
    CIMStatusCode expected;
    const char* message;
  } cases[] = {
      {1, CIM_ERR_FAILED, "operation failed on purpose"},
      {2, CIM_ERR_ACCESS_DENIED, "access denied on purpose"},
      {3, CIM_ERR_INVALID_NAMESPACE, "plain CIMException"},
      {4, CIM_ERR_INVALID_PARAMETER, "invalid parameter on purpose"},
      {5, CIM_ERR_INVALID_CLASS, "invalid class on purpose"},
      {6, CIM_ERR_NOT_FOUND, "not found on purpose"},
      {7, CIM_ERR_NOT_SUPPORTED, "not supported on purpose"},
      {11, CIM_ERR_ALREADY_EXISTS, "already exists on purpose"},
      {12, CIM_ERR_NO_SUCH_PROPERTY, "no such property on purpose"},
      {15, CIM_ERR_INVALID_QUERY, "invalid query on purpose"},
      {17, CIM_ERR_METHOD_NOT_FOUND, "method not found on purpose"},
      {100, CIM_ERR_FAILED, "a plain broker exception"},
      {101, CIM_ERR_FAILED, "a standard exception"},
      {102, CIM_ERR_FAILED, "Unknown error."},
  };
  for (const auto& c : cases) {
    auto fromMethod = CimError([&] { Call("Fail", Params("Code", CIMValue(c.code))); });
    EXPECT_EQ(fromMethod, std::make_pair(c.expected, std::string(c.message))) << "code " << c.code;
    std::string id = "throw-" + std::to_string(c.code);
    auto fromGet = CimError([&] { host_->GetInstance(ctx_, ns_, WidgetPath(id.c_str())); });
    EXPECT_EQ(fromGet, std::make_pair(c.expected, std::string(c.message))) << "code " << c.code;
  }
  // The provider is still in service.
  EXPECT_EQ(host_->EnumerateInstances(ctx_, ns_, CIMName("Test_Widget")).size(), 4u);
}

TEST_F(ProviderHostTest, MethodCallsTypeTheirParameters) {
  Array<CIMParamValue> add;
  add.append(CIMParamValue("A", CIMValue(Uint32(40))));
  add.append(CIMParamValue("b", CIMValue(String("2")), false));
  MethodResult sum = Call("ADD", add);
  EXPECT_EQ(ToStd(sum.returnValue.toString()), "42");
  EXPECT_EQ(sum.returnValue.getType(), CIMTYPE_UINT32);

  Array<CIMParamValue> echo;
  echo.append(CIMParamValue("Small", CIMValue(String("-5")), false));
  echo.append(CIMParamValue("Flag", CIMValue(String("true")), false));
  echo.append(CIMParamValue("When", CIMValue(String("20240102030405.000000+000")), false));
  Array<String> bytes;
  bytes.append("1");
  bytes.append("0xff");
  echo.append(CIMParamValue("Bytes", CIMValue(bytes), false));
  echo.append(CIMParamValue("Where", CIMValue(String("CIM_ComputerSystem.Name=\"h\"")), false));
  CIMObjectPath target = WidgetPath("w2");
  target.setHost("client.example");
  MethodResult r = Call("Echo", echo, target);
  EXPECT_EQ(ToStd(r.returnValue.toString()),
            "Small:sint16=-5;Flag:boolean=TRUE;When:datetime=20240102030405.000000+000;"
            "Bytes:uint8[]=1 255 ;Where:reference=CIM_ComputerSystem.Name=\"h\";"
            "user=tester;path=root/cimv2:Test_Widget.Id=\"w2\"");
  ASSERT_EQ(r.outParameters.size(), 1u);
  EXPECT_EQ(r.outParameters[0].getParameterName(), "Copy");

  // Providers reach the object manager through their CIMOMHandle.
  EXPECT_EQ(ToStd(Call("CountGadgets", {}).returnValue.toString()), "2");

  // A class path (no keys) also reaches the method provider.
  EXPECT_EQ(ToStd(Call("Add", add, CIMObjectPath("Test_Widget")).returnValue.toString()), "42");

  const struct {
    const char* method;
    Array<CIMParamValue> in;
    CIMObjectPath path;
    CIMStatusCode code;
  } refused[] = {
      {"Frobnicate", {}, WidgetPath("w1"), CIM_ERR_METHOD_NOT_FOUND},
      {"Add", Params("C", CIMValue(Uint32(1))), WidgetPath("w1"), CIM_ERR_INVALID_PARAMETER},
      {"Add", Params("A", CIMValue(String("many")), false), WidgetPath("w1"),
       CIM_ERR_INVALID_PARAMETER},
      {"Poke", {}, WidgetPath("x", "Test_Unserved"), CIM_ERR_NOT_SUPPORTED},
      {"Add", {}, WidgetPath("x", "Test_Nothing"), CIM_ERR_INVALID_CLASS},
      {"Misdeliver", Params("How", CIMValue(Uint16(1))), WidgetPath("w1"), CIM_ERR_FAILED},
      {"Misdeliver", Params("How", CIMValue(Uint16(2))), WidgetPath("w1"), CIM_ERR_FAILED},
      {"Misdeliver", Params("How", CIMValue(Uint16(3))), WidgetPath("w1"), CIM_ERR_FAILED},
  };
  for (const auto& c : refused) {
    EXPECT_EQ(CimError([&] { Call(c.method, c.in, c.path); }).first, c.code) << c.method;
  }
  // Test_Gadget is an instance provider only; it inherits the declarations, not the provider.
  EXPECT_EQ(CimError([&] { Call("Add", add, WidgetPath("g1", "Test_Gadget")); }).first,
            CIM_ERR_NOT_SUPPORTED);
}

TEST_F(ProviderHostTest, ClassOperationsServeTheRepository) {
  CIMClass full = host_->GetClass(ctx_, ns_, CIMName("test_gadget"), false, true, true);
  EXPECT_EQ(ToStd(full.getClassName().getString()), "Test_Gadget");
  Uint32 id = full.findProperty(CIMName("Id"));
  ASSERT_NE(id, PEG_NOT_FOUND);
  EXPECT_NE(full.getProperty(id).findQualifier(CIMName("Key")), PEG_NOT_FOUND);
  EXPECT_EQ(ToStd(full.getProperty(id).getClassOrigin().getString()), "Test_Element");
  EXPECT_NE(full.findMethod(CIMName("Echo")), PEG_NOT_FOUND);

  CIMClass local =
      host_->GetClass(ctx_, ns_, CIMName("Test_Gadget"));  // localOnly, qualifiers, no origin
  EXPECT_EQ(local.getPropertyCount(), 1u);
  EXPECT_EQ(local.getMethodCount(), 0u);
  EXPECT_TRUE(local.getProperty(0).getClassOrigin().isNull());

  CIMClass bare = host_->GetClass(ctx_, ns_, CIMName("Test_Widget"), false, false, false);
  EXPECT_EQ(bare.getProperty(bare.findProperty(CIMName("Id"))).getQualifierCount(), 0u);
  Array<CIMName> only;
  only.append(CIMName("Color"));
  EXPECT_EQ(
      host_->GetClass(ctx_, ns_, CIMName("Test_Widget"), false, true, false, CIMPropertyList(only))
          .getPropertyCount(),
      1u);
  EXPECT_EQ(CimError([&] { host_->GetClass(ctx_, ns_, CIMName("Test_Nothing")); }).first,
            CIM_ERR_NOT_FOUND);

  auto names = [&](const char* cls, bool deep) {
    Array<CIMName> got =
        host_->EnumerateClassNames(ctx_, ns_, cls ? CIMName(cls) : CIMName(), deep);
    std::set<std::string> out;
    for (Uint32 i = 0; i < got.size(); ++i) out.insert(ToStd(got[i].getString()));
    return out;
  };
  EXPECT_EQ(names("Test_Widget", false), (std::set<std::string>{"Test_Gadget"}));
  EXPECT_EQ(names("Test_Widget", true), (std::set<std::string>{"Test_Gadget"}));
  EXPECT_TRUE(names("Test_Element", true).count("Test_Gadget"));
  EXPECT_FALSE(names("Test_Element", false).count("Test_Gadget"));
  EXPECT_TRUE(names(nullptr, false).count("CIM_ManagedElement"));
  EXPECT_FALSE(names(nullptr, false).count("Test_Element"));
  EXPECT_TRUE(names(nullptr, true).count("CIM_NetworkAdapter"));
  EXPECT_EQ(CimError([&] { names("Test_Nothing", false); }).first, CIM_ERR_INVALID_CLASS);
  EXPECT_EQ(host_->EnumerateClasses(ctx_, ns_, CIMName("Test_Element"), true).size(),
            names("Test_Element", true).size());
}

// The widget provider records the request path in each stored instance, under
// its lock, just before delivering that instance. What a caller gets must be the
// copy taken at delivery: a copy made after the provider returned can already
// carry the path of another request running at the same time.
TEST_F(ProviderHostTest, InstancesAreCopiedWhileTheProviderDelivers) {
  std::atomic<int> foreign{0};
  const auto enumerateIn = [&](const char* nameSpace) {
    for (int i = 0; i < 300; ++i) {
      const Array<CIMInstance> all =
          host_->EnumerateInstances(ctx_, CIMNamespaceName(nameSpace), CIMName("Test_Widget"));
      for (Uint32 k = 0; k < all.size(); ++k) {
        const std::string seen =
            std::string(nameSpace) + ":" + ToStd(all[k].getClassName().getString());
        const std::string got = StringProp(all[k], "SeenPath");
        if (got != "<absent>" && got != seen) ++foreign;
      }
    }
  };
  std::thread first(enumerateIn, "root/cimv2");
  std::thread second(enumerateIn, "root/test");
  first.join();
  second.join();
  EXPECT_EQ(foreign.load(), 0);
}

TEST_F(ProviderHostTest, OperationsRunConcurrentlyOnOneProvider) {
  // Four callers must be inside the provider at the same time for Rendezvous to
  // return 4; a host that serialised calls would make it time out with fewer.
  constexpr int kParties = 4;
  std::vector<std::thread> meeting;
  std::atomic<int> met{0};
  for (int t = 0; t < kParties; ++t) {
    meeting.emplace_back([&] {
      MethodResult r = Call("Rendezvous", Params("Parties", CIMValue(Uint32(kParties))));
      Uint32 n = 0;
      r.returnValue.get(n);
      if (n == kParties) ++met;
    });
  }
  for (auto& t : meeting) t.join();
  EXPECT_EQ(met.load(), kParties);

  // Mixed traffic from several threads leaves a consistent store.
  std::vector<std::thread> workers;
  std::atomic<int> failures{0};
  for (int t = 0; t < 6; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < 30; ++i) {
        std::string id = "t" + std::to_string(t) + "-" + std::to_string(i);
        try {
          CIMInstance inst{CIMName("Test_Widget")};
          inst.addProperty(CIMProperty(CIMName("Id"), CIMValue(String(id.c_str()))));
          host_->CreateInstance(ctx_, ns_, inst);
          CIMInstance got = host_->GetInstance(ctx_, ns_, WidgetPath(id.c_str()));
          if (StringProp(got, "Id") != id) ++failures;
          host_->EnumerateInstances(ctx_, ns_, CIMName("Test_Element"));
          if (i % 2 == 0) host_->DeleteInstance(ctx_, ns_, WidgetPath(id.c_str()));
        } catch (const CIMException&) {
          ++failures;
        }
      }
    });
  }
  for (auto& t : workers) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(host_->EnumerateInstanceNames(ctx_, ns_, CIMName("Test_Widget")).size(), 4u + 6 * 15);
}

}  // namespace
