// The CIM-XML request path of cimserver with a scripted backend: every kind of
// malformed request gets its HTTP status or CIM error and the server keeps
// serving; authentication; M-POST; the wbemcli-shaped requests and responses.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "PasswordFile.h"
#include "RequestFuzzEntry.h"
#include "TestServer.h"
#include "base/base64.h"
#include "base/connect.h"
#include "http/HttpMessage.h"
#include "net/Socket.h"

using namespace mgmt;
using namespace std::chrono_literals;

namespace {

const std::string kAuth = "Basic " + mgmt::base::Base64Encode("alice:wonderland");

std::string Envelope(const std::string& call) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?><CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">"
         "<MESSAGE ID=\"4711\" PROTOCOLVERSION=\"1.0\"><SIMPLEREQ>" +
         call + "</SIMPLEREQ></MESSAGE></CIM>";
}

const std::string kNs =
    "<LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"></NAMESPACE><NAMESPACE "
    "NAME=\"cimv2\"></NAMESPACE>"
    "</LOCALNAMESPACEPATH>";

std::string Imethod(const std::string& name, const std::string& params) {
  return Envelope("<IMETHODCALL NAME=\"" + name + "\">" + kNs + params + "</IMETHODCALL>");
}

struct Req {
  std::string method = "POST";
  std::string cimMethod;
  std::string cimObject = "root%2Fcimv2";
  std::string body;
  std::vector<std::pair<std::string, std::string>> extra;
  bool auth = true;
  std::string Wire() const {
    std::string w = method +
                    " /cimom HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                    "Content-Type: application/xml; charset=\"utf-8\"\r\n";
    if (method == "POST") {
      w += "CIMOperation: MethodCall\r\nCIMProtocolVersion: 1.0\r\n";
      if (!cimMethod.empty()) w += "CIMMethod: " + cimMethod + "\r\n";
      if (!cimObject.empty()) w += "CIMObject: " + cimObject + "\r\n";
    }
    if (auth) w += "Authorization: " + kAuth + "\r\n";
    for (auto& [k, v] : extra) w += k + ": " + v + "\r\n";
    return w + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  }
};

http::Message Send(unsigned port, const std::string& wire) {
  std::string err;
  mgmt::base::UniqueFd fd = mgmt::base::ConnectTcp("127.0.0.1", port, 2s, &err);
  EXPECT_TRUE(fd.Valid()) << err;
  net::Stream s(std::move(fd));
  EXPECT_EQ(s.WriteAll(wire, net::Clock::now() + 2s), net::IoStatus::kOk);
  http::Message resp;
  EXPECT_EQ(http::ReadResponse(s, resp, {}, net::Clock::now() + 5s), http::ReadResult::kOk);
  return resp;
}

std::string CimError(const http::Message& m) {
  const std::string* e = m.Header("CIMError");
  return e ? *e : std::string();
}

class CimXmlRequest : public ::testing::Test {
 protected:
  void SetUp() override {
    Pegasus::CIMInstance t(Pegasus::CIMName("Test_Thing"));
    t.addProperty(
        Pegasus::CIMProperty(Pegasus::CIMName("Id"), Pegasus::CIMValue(Pegasus::String("a 1"))));
    t.addProperty(Pegasus::CIMProperty(Pegasus::CIMName("Note"),
                                       Pegasus::CIMValue(Pegasus::String("x<&>\"y"))));
    srv_.ops.Add(t, "a 1");
  }
  http::Message Call(Req r) { return Send(srv_.port, r.Wire()); }
  test::TestServer srv_;
};

}  // namespace

TEST_F(CimXmlRequest, EnumerateInstancesAnswersInWbemcliShape) {
  Req r;
  r.cimMethod = "EnumerateInstances";
  r.body = Imethod("EnumerateInstances",
                   "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"Test_Thing\"/></IPARAMVALUE>"
                   "<IPARAMVALUE NAME=\"LocalOnly\"><VALUE>FALSE</VALUE></IPARAMVALUE>"
                   "<IPARAMVALUE NAME=\"includeclassorigin\"><VALUE>true</VALUE></IPARAMVALUE>");
  auto resp = Call(r);
  ASSERT_EQ(resp.status, 200) << resp.body;
  EXPECT_EQ(*resp.Header("CIMOperation"), "MethodResponse");
  EXPECT_NE(resp.body.find("<MESSAGE ID=\"4711\""), std::string::npos);
  EXPECT_NE(resp.body.find("<KEYVALUE VALUETYPE=\"string\">a 1</KEYVALUE>"), std::string::npos)
      << resp.body;
  EXPECT_NE(resp.body.find("<VALUE>x&lt;&amp;&gt;\"y</VALUE>"), std::string::npos) << resp.body;
  EXPECT_EQ(resp.body.find("&#"), std::string::npos);
  EXPECT_EQ(resp.body.find("/>"), std::string::npos) << "no empty-element tags in responses";
  EXPECT_FALSE(srv_.ops.lastLocalOnly);
  EXPECT_TRUE(srv_.ops.lastDeep);
  EXPECT_EQ(srv_.ops.lastUser, "alice");

  // Nothing to return: no IRETURNVALUE at all rather than an empty element.
  srv_.ops.things.clear();
  resp = Call(r);
  EXPECT_EQ(resp.body.find("IRETURNVALUE"), std::string::npos) << resp.body;
}

TEST_F(CimXmlRequest, CimErrorsTravelInTheBody) {
  struct Case {
    std::string method, params, code;
  } cases[] = {
      {"GetInstance",
       "<IPARAMVALUE NAME=\"InstanceName\"><INSTANCENAME CLASSNAME=\"Test_Thing\"><KEYBINDING "
       "NAME=\"Id\">"
       "<KEYVALUE VALUETYPE=\"string\">nope</KEYVALUE></KEYBINDING></INSTANCENAME></IPARAMVALUE>",
       "CODE=\"6\" DESCRIPTION=\"CIM_ERR_NOT_FOUND: no such thing\""},
      {"EnumerateInstances",
       "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"Other\"/></IPARAMVALUE>", "CODE=\"5\""},
      {"EnumerateInstances", "", "CODE=\"4\""},  // missing ClassName
      {"EnumerateInstances",
       "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"Test_Thing\"/></IPARAMVALUE>"
       "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"Test_Thing\"/></IPARAMVALUE>",
       "CODE=\"4\""},  // duplicate
      {"EnumerateInstances",
       "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"Test_Thing\"/></IPARAMVALUE>"
       "<IPARAMVALUE NAME=\"Bogus\"><VALUE>1</VALUE></IPARAMVALUE>",
       "CODE=\"7\""},  // unknown parameter
      {"EnumerateInstances",
       "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"Test_Thing\"/></IPARAMVALUE>"
       "<IPARAMVALUE NAME=\"LocalOnly\"><VALUE>maybe</VALUE></IPARAMVALUE>",
       "CODE=\"4\""},  // not a boolean
      {"EnumerateInstances",
       "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"1bad\"/></IPARAMVALUE>",
       "CODE=\"4\""},                   // illegal class name
      {"ExecQuery", "", "CODE=\"7\""},  // unknown intrinsic method
  };
  for (const auto& c : cases) {
    Req r;
    r.cimMethod = c.method;
    r.body = Imethod(c.method, c.params);
    auto resp = Call(r);
    ASSERT_EQ(resp.status, 200) << c.method << c.params;
    EXPECT_NE(resp.body.find(c.code), std::string::npos) << c.params << "\n" << resp.body;
  }
}

TEST_F(CimXmlRequest, HttpLevelRefusals) {
  Req ok;
  ok.cimMethod = "EnumerateInstanceNames";
  ok.body =
      Imethod("EnumerateInstanceNames",
              "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"Test_Thing\"/></IPARAMVALUE>");
  EXPECT_EQ(Call(ok).status, 200);

  Req r = ok;
  r.auth = false;
  auto resp = Call(r);
  EXPECT_EQ(resp.status, 401);
  ASSERT_NE(resp.Header("WWW-Authenticate"), nullptr);
  r.auth = false;
  r.extra = {{"Authorization", "Basic " + mgmt::base::Base64Encode("alice:wrong")}};
  EXPECT_EQ(Call(r).status, 401);

  r = ok;
  r.cimMethod = "GetInstance";
  resp = Call(r);
  EXPECT_EQ(resp.status, 400);
  EXPECT_EQ(CimError(resp), "header-mismatch");
  r = ok;
  r.cimObject = "root%2Fother";
  EXPECT_EQ(CimError(Call(r)), "header-mismatch");
  r = ok;
  r.cimObject = "";
  EXPECT_EQ(CimError(Call(r)), "header-mismatch");
  r = ok;
  r.body = "<CIM><unclosed>";
  EXPECT_EQ(CimError(Call(r)), "request-not-well-formed");
  r = ok;
  r.body = "<?xml version=\"1.0\"?><!DOCTYPE CIM [<!ENTITY x \"boom\">]>" +
           ok.body.substr(ok.body.find("<CIM"));
  EXPECT_EQ(CimError(Call(r)), "request-not-well-formed");
  r = ok;
  r.body = Envelope(std::string(50, '<') + "x>");
  EXPECT_EQ(Call(r).status, 400);
  std::string deep;
  for (int i = 0; i < 60; ++i) deep += "<a>";
  for (int i = 0; i < 60; ++i) deep += "</a>";
  r.body = Envelope(deep);
  EXPECT_EQ(CimError(Call(r)), "request-not-valid");
  std::string many;
  for (int i = 0; i < 6000; ++i) many += "<b></b>";
  r.body = Envelope(many);
  EXPECT_EQ(CimError(Call(r)), "request-not-valid");
  r = ok;
  r.body =
      "<CIM CIMVERSION=\"3.0\" DTDVERSION=\"2.0\"><MESSAGE ID=\"1\" "
      "PROTOCOLVERSION=\"1.0\"></MESSAGE></CIM>";
  resp = Call(r);
  EXPECT_EQ(resp.status, 501);
  EXPECT_EQ(CimError(resp), "unsupported-cim-version");
  r.body =
      "<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\"><MESSAGE ID=\"1\" "
      "PROTOCOLVERSION=\"1.0\"><MULTIREQ/>"
      "</MESSAGE></CIM>";
  EXPECT_EQ(CimError(Call(r)), "multiple-requests-unsupported");
  r = ok;
  r.extra = {{"CIMBatch", "x"}};
  EXPECT_EQ(Call(r).status, 501);

  std::string wire = ok.Wire();
  auto replace = [&](const std::string& from, const std::string& to) {
    std::string w = wire;
    w.replace(w.find(from), from.size(), to);
    return Send(srv_.port, w);
  };
  resp = replace("CIMOperation: MethodCall", "CIMOperation: MethodResponse");
  EXPECT_EQ(CimError(resp), "unsupported-operation");
  resp = replace("CIMProtocolVersion: 1.0", "CIMProtocolVersion: 2.0");
  EXPECT_EQ(CimError(resp), "unsupported-protocol-version");
  EXPECT_EQ(replace("POST /cimom", "GET /cimom").status, 405);
  EXPECT_EQ(replace("Host: 127.0.0.1\r\n", "").status, 400);
  EXPECT_EQ(replace("application/xml; charset=\"utf-8\"", "text/plain").status, 400);
  EXPECT_EQ(replace("application/xml; charset=\"utf-8\"", "text/xml; charset=latin1").status, 400);

  // After all of that the server still answers.
  EXPECT_EQ(Call(ok).status, 200);
}

TEST(CimXmlNoAuth, ClaimedUserNameThatIsNotUtf8) {
  test::TestServer srv(false);
  Req r;
  r.auth = false;
  r.extra = {{"Authorization", "Basic " + mgmt::base::Base64Encode("\xff\xfe:pw")}};
  r.cimMethod = "EnumerateClassNames";
  r.body = Imethod("EnumerateClassNames", "");
  EXPECT_EQ(Send(srv.port, r.Wire()).status, 200);
}

TEST_F(CimXmlRequest, MPostUsesTheDeclaredHeaderPrefix) {
  Req r;
  r.method = "M-POST";
  r.body = Imethod("EnumerateClassNames", "");
  r.extra = {{"Man", "http://www.dmtf.org/cim/mapping.http/v1.0 ; ns=73"},
             {"73-CIMOperation", "MethodCall"},
             {"73-CIMMethod", "EnumerateClassNames"},
             {"73-CIMObject", "root%2Fcimv2"}};
  auto resp = Call(r);
  ASSERT_EQ(resp.status, 200) << resp.body;
  ASSERT_NE(resp.Header("73-CIMOperation"), nullptr);
  EXPECT_NE(resp.body.find("<CLASSNAME NAME=\"Test_Thing\"></CLASSNAME>"), std::string::npos);
  r.extra.erase(r.extra.begin());  // no Man header
  EXPECT_EQ(Call(r).status, 400);
}

TEST_F(CimXmlRequest, ExtrinsicCallWithUntypedParameters) {
  Req r;
  r.cimMethod = "Echo";
  r.cimObject = "root%2Fcimv2%3ATest_Thing.Id%3D%22a%201%22";
  r.body = Envelope("<METHODCALL NAME=\"Echo\"><LOCALINSTANCEPATH>" + kNs +
                    "<INSTANCENAME CLASSNAME=\"Test_Thing\"><KEYBINDING NAME=\"Id\"><KEYVALUE "
                    "VALUETYPE=\"string\">a 1</KEYVALUE>"
                    "</KEYBINDING></INSTANCENAME></LOCALINSTANCEPATH>"
                    "<PARAMVALUE NAME=\"Text\"><VALUE>true</VALUE></PARAMVALUE></METHODCALL>");
  auto resp = Call(r);
  ASSERT_EQ(resp.status, 200) << resp.body;
  EXPECT_NE(resp.body.find("<RETURNVALUE PARAMTYPE=\"uint32\"><VALUE>1</VALUE></RETURNVALUE>"),
            std::string::npos)
      << resp.body;
  // An untyped parameter goes back without PARAMTYPE, as it came.
  EXPECT_NE(resp.body.find("<PARAMVALUE NAME=\"Text\"><VALUE>true</VALUE></PARAMVALUE>"),
            std::string::npos);

  r.cimMethod = "Boom";
  r.body.replace(r.body.find("\"Echo\""), 6, "\"Boom\"");
  resp = Call(r);
  EXPECT_NE(resp.body.find("CODE=\"1\" DESCRIPTION=\"CIM_ERR_FAILED: provider blew up\""),
            std::string::npos)
      << resp.body;
}

// Replays the malformed-input corpus (also the fuzzer's seed corpus) through the
// fuzzer's entry point, each file both as a body and as raw wire bytes, then a few
// files over a real connection: every input is answered and the server still serves.
TEST(CimXmlCorpus, ReplayNeverBreaksTheServer) {
  const auto corpus = std::filesystem::path(MGMT_SOURCE_DIR) / "tests/cimom/http/corpus";
  test::TestServer srv(false);
  int n = 0;
  for (const auto& e : std::filesystem::directory_iterator(corpus)) {
    std::ifstream in(e.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::uint8_t selector : {0x00, 0x01, 0x02, 0x03, 0x0b, 0x80}) {
      std::string input = static_cast<char>(selector) + bytes;
      int status =
          test::FuzzOneRequest(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
      EXPECT_TRUE(status == 0 || status == 200 || status == 400 || status == 501)
          << e.path() << " " << status;
    }
    Req r;
    r.auth = false;
    r.cimMethod = "GetInstance";
    r.body = bytes;
    auto resp = Send(srv.port, r.Wire());
    EXPECT_TRUE(resp.status == 200 || resp.status == 400 || resp.status == 501)
        << e.path() << resp.status;
    ++n;
  }
  EXPECT_GT(n, 5);
  Req ok;
  ok.auth = false;
  ok.cimMethod = "EnumerateClassNames";
  ok.body = Imethod("EnumerateClassNames", "");
  EXPECT_EQ(Send(srv.port, ok.Wire()).status, 200);
}
