// CIMClient against the real CIM-XML front end (scripted backend): every value
// type, instance, path and error survives the trip through our encoder, the
// server's decoder and back; TCP with Basic credentials and the local socket.
#include <gtest/gtest.h>

#include <Pegasus/Client/CIMClient.h>
#include <Pegasus/Common/CIMDateTime.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "../../cimom/http/TestServer.h"

using namespace Pegasus;

namespace {

const CIMNamespaceName kNs("root/cimv2");

CIMInstance EveryType() {
  CIMInstance t(CIMName("Test_Thing"));
  t.addProperty(CIMProperty(CIMName("Id"), CIMValue(String("k\"1 <&>"))));
  t.addProperty(CIMProperty(CIMName("B"), CIMValue(Boolean(true))));
  t.addProperty(CIMProperty(CIMName("U8"), CIMValue(Uint8(255))));
  t.addProperty(CIMProperty(CIMName("S8"), CIMValue(Sint8(-128))));
  t.addProperty(CIMProperty(CIMName("U16"), CIMValue(Uint16(65535))));
  t.addProperty(CIMProperty(CIMName("S16"), CIMValue(Sint16(-32768))));
  t.addProperty(CIMProperty(CIMName("U32"), CIMValue(Uint32(4294967295u))));
  t.addProperty(CIMProperty(CIMName("S32"), CIMValue(Sint32(-2147483647 - 1))));
  t.addProperty(CIMProperty(CIMName("U64"), CIMValue(Uint64(18446744073709551615ull))));
  t.addProperty(CIMProperty(CIMName("S64"), CIMValue(Sint64(-9223372036854775807ll - 1))));
  t.addProperty(CIMProperty(CIMName("R32"), CIMValue(Real32(0.1f))));
  t.addProperty(CIMProperty(CIMName("R64"), CIMValue(Real64(-1.0e-300))));
  t.addProperty(CIMProperty(CIMName("C16"), CIMValue(Char16(0x00e9))));
  t.addProperty(CIMProperty(
      CIMName("Str"), CIMValue(String("  two  spaces, tab\t, line\n, \xc3\xa9\xe2\x82\xac"))));
  t.addProperty(
      CIMProperty(CIMName("Dt"), CIMValue(CIMDateTime(String("20240229123456.123456+060")))));
  t.addProperty(
      CIMProperty(CIMName("Iv"), CIMValue(CIMDateTime(String("00000001020304.000005:000")))));
  t.addProperty(CIMProperty(CIMName("Nul"), CIMValue(CIMTYPE_UINT16, false)));
  t.addProperty(CIMProperty(CIMName("NulArr"), CIMValue(CIMTYPE_STRING, true)));
  Array<String> strs;
  strs.append("a");
  strs.append("");
  strs.append("c,d");
  t.addProperty(CIMProperty(CIMName("StrArr"), CIMValue(strs)));
  t.addProperty(CIMProperty(CIMName("EmptyArr"), CIMValue(Array<Uint32>())));
  Array<Sint16> nums;
  nums.append(-1);
  nums.append(7);
  t.addProperty(CIMProperty(CIMName("S16Arr"), CIMValue(nums)));
  Array<CIMKeyBinding> keys;
  keys.append(CIMKeyBinding(CIMName("Name"), String("eth0"), CIMKeyBinding::STRING));
  keys.append(CIMKeyBinding(CIMName("Index"), String("3"), CIMKeyBinding::NUMERIC));
  keys.append(CIMKeyBinding(CIMName("On"), String("TRUE"), CIMKeyBinding::BOOLEAN));
  CIMObjectPath ref(String("host1"), CIMNamespaceName("root/cimv2"), CIMName("CIM_Other"), keys);
  t.addProperty(CIMProperty(CIMName("Ref"), CIMValue(ref), 0, CIMName("CIM_Other")));
  CIMObjectPath localRef(String(), CIMNamespaceName(), CIMName("CIM_Other"), keys);
  t.addProperty(CIMProperty(CIMName("LocalRef"), CIMValue(localRef), 0, CIMName("CIM_Other")));
  return t;
}

class CimClientRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    srv_.ops.Add(EveryType(), "k\"1 <&>");
    client_.connect("127.0.0.1", srv_.port, "alice", "wonderland");
  }
  mgmt::test::TestServer srv_;
  CIMClient client_;
};

}  // namespace

TEST_F(CimClientRoundTrip, EveryValueTypeSurvivesGetInstance) {
  const CIMInstance sent = EveryType();
  CIMInstance got = client_.getInstance(kNs, mgmt::test::FakeOperations::PathOf("k\"1 <&>"));
  ASSERT_EQ(got.getPropertyCount(), sent.getPropertyCount());
  for (Uint32 i = 0; i < sent.getPropertyCount(); ++i) {
    CIMConstProperty want = sent.getProperty(i);
    Uint32 j = got.findProperty(want.getName());
    ASSERT_NE(j, PEG_NOT_FOUND) << want.getName().getString();
    CIMConstProperty have = got.getProperty(j);
    EXPECT_TRUE(have.getValue() == want.getValue())
        << want.getName().getString() << ": sent " << want.getValue().toString() << " got "
        << have.getValue().toString();
    EXPECT_EQ(have.getValue().isArray(), want.getValue().isArray());
  }
  EXPECT_EQ(srv_.ops.lastUser, "alice");
}

TEST_F(CimClientRoundTrip, EnumerationsCarryPathsAndPropertyLists) {
  Array<CIMName> props;
  props.append(CIMName("U8"));
  Array<CIMInstance> all = client_.enumerateInstances(kNs, CIMName("Test_Thing"), true, false,
                                                      false, false, CIMPropertyList(props));
  ASSERT_EQ(all.size(), 1u);
  EXPECT_TRUE(all[0].getPath() ==
              CIMObjectPath(String(), kNs, CIMName("Test_Thing"),
                            mgmt::test::FakeOperations::PathOf("k\"1 <&>").getKeyBindings()));
  EXPECT_FALSE(srv_.ops.lastPropertyList.isNull());
  EXPECT_TRUE(srv_.ops.lastPropertyList.contains(CIMName("u8")));

  client_.enumerateInstances(kNs, CIMName("Test_Thing"), true, false, false, false,
                             CIMPropertyList(Array<CIMName>()));
  EXPECT_FALSE(srv_.ops.lastPropertyList.isNull());
  EXPECT_EQ(srv_.ops.lastPropertyList.size(), 0u);
  client_.enumerateInstances(kNs, CIMName("Test_Thing"));
  EXPECT_TRUE(srv_.ops.lastPropertyList.isNull());

  Array<CIMObjectPath> names = client_.enumerateInstanceNames(kNs, CIMName("Test_Thing"));
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].getKeyBindings()[0].getValue(), String("k\"1 <&>"));
}

TEST_F(CimClientRoundTrip, WritesReachTheBackend) {
  CIMInstance changed = client_.getInstance(kNs, mgmt::test::FakeOperations::PathOf("k\"1 <&>"));
  changed.getProperty(changed.findProperty(CIMName("U32"))).setValue(CIMValue(Uint32(7)));
  client_.modifyInstance(kNs, changed);
  Uint32 v = 0;
  srv_.ops.things.begin()
      ->second.getProperty(srv_.ops.things.begin()->second.findProperty(CIMName("U32")))
      .getValue()
      .get(v);
  EXPECT_EQ(v, 7u);

  CIMInstance fresh(CIMName("Test_Thing"));
  fresh.addProperty(CIMProperty(CIMName("Id"), CIMValue(String("new"))));
  CIMObjectPath p = client_.createInstance(kNs, fresh);
  EXPECT_EQ(p.getKeyBindings()[0].getValue(), String("new"));
  EXPECT_EQ(srv_.ops.things.size(), 2u);
  client_.deleteInstance(kNs, p);
  EXPECT_EQ(srv_.ops.things.size(), 1u);
}

TEST_F(CimClientRoundTrip, ServerErrorsArriveAsCIMExceptionWithTheirCode) {
  auto codeOf = [](auto&& f) {
    try {
      f();
    } catch (const CIMException& e) {
      return e.getCode();
    }
    return CIM_ERR_SUCCESS;
  };
  EXPECT_EQ(
      codeOf([&] { client_.getInstance(kNs, mgmt::test::FakeOperations::PathOf("missing")); }),
      CIM_ERR_NOT_FOUND);
  EXPECT_EQ(codeOf([&] { client_.enumerateInstances(kNs, CIMName("Nope")); }),
            CIM_ERR_INVALID_CLASS);
  try {
    client_.deleteInstance(kNs, mgmt::test::FakeOperations::PathOf("missing"));
    FAIL();
  } catch (const CIMException& e) {
    EXPECT_EQ(e.getMessage(), String("no such thing"));  // the symbol is not repeated
  }
  Array<CIMParamValue> out;
  EXPECT_EQ(codeOf([&] {
              client_.invokeMethod(kNs, mgmt::test::FakeOperations::PathOf("x"), CIMName("Boom"),
                                   Array<CIMParamValue>(), out);
            }),
            CIM_ERR_FAILED);

  CIMClient anonymous;
  anonymous.connect("127.0.0.1", srv_.port, "alice", "not-it");
  EXPECT_EQ(codeOf([&] { anonymous.enumerateInstanceNames(kNs, CIMName("Test_Thing")); }),
            CIM_ERR_ACCESS_DENIED);
  EXPECT_THROW(anonymous.connect("127.0.0.1", srv_.port, "", ""), AlreadyConnectedException);
  anonymous.disconnect();
  anonymous.disconnect();
  EXPECT_THROW(anonymous.enumerateInstanceNames(kNs, CIMName("Test_Thing")), NotConnectedException);
  EXPECT_THROW(anonymous.connect("", 5988, "", ""), InvalidLocatorException);
}

TEST_F(CimClientRoundTrip, RemovingAUserEndsItsOpenSession) {
  EXPECT_EQ(client_.enumerateInstanceNames(kNs, CIMName("Test_Thing")).size(), 1u);
  ASSERT_EQ(mgmt::cimom::RemoveUser((srv_.dir / "passwd").string(), "alice"), "");
  try {
    client_.enumerateInstanceNames(kNs, CIMName("Test_Thing"));
    FAIL() << "the kept-alive connection still passed";
  } catch (const CIMException& e) {
    EXPECT_EQ(e.getCode(), CIM_ERR_ACCESS_DENIED);
  }
}

TEST_F(CimClientRoundTrip, MethodsAndClasses) {
  Array<CIMParamValue> in, out;
  in.append(CIMParamValue("Text", CIMValue(String("hi"))));
  Array<Sint16> nums;
  nums.append(-5);
  in.append(CIMParamValue("Numbers", CIMValue(nums)));
  in.append(CIMParamValue("Who", CIMValue(mgmt::test::FakeOperations::PathOf("k"))));
  CIMValue ret = client_.invokeMethod(kNs, mgmt::test::FakeOperations::PathOf("k\"1 <&>"),
                                      CIMName("Echo"), in, out);
  Uint32 n = 0;
  ret.get(n);
  EXPECT_EQ(n, 3u);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_TRUE(out[1].getValue() == CIMValue(nums));
  CIMObjectPath who;
  out[2].getValue().get(who);
  EXPECT_EQ(who.getKeyBindings()[0].getValue(), String("k"));

  CIMClass cls = client_.getClass(kNs, CIMName("Test_Thing"));
  EXPECT_TRUE(cls.getSuperClassName().equal(CIMName("Test_Base")));
  Array<CIMName> keys;
  cls.getKeyNames(keys);
  ASSERT_EQ(keys.size(), 1u);
  Uint32 m = cls.findMethod(CIMName("Echo"));
  ASSERT_NE(m, PEG_NOT_FOUND);
  EXPECT_EQ(cls.getMethod(m).getParameterCount(), 2u);
  EXPECT_TRUE(cls.getMethod(m).getParameter(1).isArray());

  Array<CIMName> names = client_.enumerateClassNames(kNs);
  ASSERT_EQ(names.size(), 1u);
  Array<CIMClass> classes = client_.enumerateClasses(kNs);
  ASSERT_EQ(classes.size(), 1u);
  EXPECT_TRUE(classes[0].getClassName().equal(CIMName("Test_Thing")));
}

TEST_F(CimClientRoundTrip, SinglePropertyReadAndWrite) {
  const CIMObjectPath path = mgmt::test::FakeOperations::PathOf("k\"1 <&>");
  // No type travels with the value: it comes back as text.
  EXPECT_TRUE(client_.getProperty(kNs, path, CIMName("U16")) == CIMValue(String("65535")));
  EXPECT_TRUE(client_.getProperty(kNs, path, CIMName("Nul")).isNull());
  // The server types the new value from the class declaration (Count is uint32).
  client_.setProperty(kNs, path, CIMName("Count"), CIMValue(Uint32(12)));
  const CIMInstance& stored = srv_.ops.things.begin()->second;
  Uint32 at = stored.findProperty(CIMName("Count"));
  ASSERT_NE(at, PEG_NOT_FOUND);
  EXPECT_TRUE(stored.getProperty(at).getValue() == CIMValue(Uint32(12)));
  try {
    client_.setProperty(kNs, path, CIMName("NotDeclared"), CIMValue(String("x")));
    FAIL();
  } catch (const CIMException& e) {
    EXPECT_EQ(e.getCode(), CIM_ERR_NO_SUCH_PROPERTY);
  }
}

TEST_F(CimClientRoundTrip, ConnectLocalUsesTheSocketAndPeerIdentity) {
  ::setenv("MGMT_CIMXML_SOCKET", srv_.socketPath.c_str(), 1);
  CIMClient local;
  local.connectLocal();
  ::unsetenv("MGMT_CIMXML_SOCKET");
  EXPECT_EQ(local.enumerateInstances(kNs, CIMName("Test_Thing")).size(), 1u);
  EXPECT_EQ(srv_.ops.lastUser, ::getuid() == 0 ? "root" : srv_.ops.lastUser);
  EXPECT_FALSE(srv_.ops.lastUser.empty());
}

TEST(CimClientConnect, ReconnectsWhenTheServerClosedAnIdleConnection) {
  mgmt::cimom::ServerOptions opt;
  opt.idleTimeout = std::chrono::milliseconds(100);
  mgmt::test::TestServer srv(true, opt);
  CIMClient c;
  c.connect("127.0.0.1", srv.port, "alice", "wonderland");
  EXPECT_EQ(c.enumerateInstanceNames(kNs, CIMName("Test_Thing")).size(), 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));  // the server has hung up by now
  EXPECT_EQ(c.enumerateInstanceNames(kNs, CIMName("Test_Thing")).size(), 0u);
}

TEST(CimClientConnect, SilentServerTimesOut) {
  // A listener that accepts (through the kernel's backlog) but never answers.
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(fd, 4), 0);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  CIMClient c;
  c.setTimeout(300);
  c.connect("127.0.0.1", ntohs(addr.sin_port), "", "");
  auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(c.enumerateInstanceNames(kNs, CIMName("Test_Thing")), ConnectionTimeoutException);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  ::close(fd);
}

TEST(CimClientConnect, RefusedPortIsCannotConnect) {
  CIMClient c;
  c.setTimeout(2000);
  EXPECT_EQ(c.getTimeout(), 2000u);
  // Port 1 on loopback: nothing listens there in a test environment.
  EXPECT_THROW(c.connect("127.0.0.1", 1, "", ""), CannotConnectException);
}
