#include "CimRequestHandler.h"

#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/Exception.h>

#include <pwd.h>
#include <syslog.h>
#include <unistd.h>

#include <vector>

#include "IntrinsicDispatch.h"
#include "cimxml/CimXmlError.h"
#include "cimxml/CimXmlReader.h"
#include "cimxml/ValueText.h"

using namespace Pegasus;
namespace cx = mgmt::cimxml;

namespace mgmt::cimom {

namespace {

http::Message Refusal(int status, const std::string& cimError, const std::string& detail) {
  http::Message m;
  m.status = status;
  if (!cimError.empty()) m.AddHeader("CIMError", cimError);
  m.AddHeader("Content-Type", "text/plain; charset=utf-8");
  m.body = detail + "\n";
  return m;
}

// The CIM headers of an M-POST carry the namespace prefix its Man header declares.
struct HeaderView {
  const http::Message& msg;
  std::string prefix;
  const std::string* Get(const std::string& name) const { return msg.Header(prefix + name); }
};

bool ContentTypeOk(const std::string* ct) {
  if (ct == nullptr) return true;  // be lenient: nothing else could be meant
  std::string_view v(*ct);
  auto semi = v.find(';');
  std::string_view media = http::Trim(v.substr(0, semi));
  if (!http::EqualsNoCase(media, "application/xml") && !http::EqualsNoCase(media, "text/xml"))
    return false;
  while (semi != std::string_view::npos) {
    v.remove_prefix(semi + 1);
    semi = v.find(';');
    std::string_view param = http::Trim(v.substr(0, semi));
    auto eq = param.find('=');
    if (eq == std::string_view::npos) continue;
    if (!http::EqualsNoCase(http::Trim(param.substr(0, eq)), "charset")) continue;
    std::string_view cs = http::Trim(param.substr(eq + 1));
    if (cs.size() >= 2 && cs.front() == '"' && cs.back() == '"') cs = cs.substr(1, cs.size() - 2);
    if (!http::EqualsNoCase(cs, "utf-8")) return false;
  }
  return true;
}

// The "ns=NN" of "Man: http://www.dmtf.org/cim/mapping.http/v1.0 ; ns=NN".
std::optional<std::string> ManPrefix(const std::string* man) {
  if (man == nullptr || man->find("http://www.dmtf.org/cim/mapping.http/v1.0") == std::string::npos)
    return std::nullopt;
  auto pos = man->find("ns=");
  if (pos == std::string::npos) return std::nullopt;
  std::string ns;
  for (std::size_t i = pos + 3;
       i < man->size() && std::isdigit(static_cast<unsigned char>((*man)[i])); ++i)
    ns += (*man)[i];
  if (ns.empty()) return std::nullopt;
  return ns + "-";
}

bool MajorIs(const char* version, char major) {
  return version[0] == major && (version[1] == '.' || version[1] == 0);
}

std::string UserOfUid(uid_t uid) {
  std::vector<char> buf(4096);
  passwd pw{};
  passwd* res = nullptr;
  if (::getpwuid_r(uid, &pw, buf.data(), buf.size(), &res) == 0 && res != nullptr)
    return pw.pw_name;
  return "uid" + std::to_string(uid);
}

}  // namespace

std::optional<std::string> UriDecode(std::string_view in) {
  std::string out;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '%') {
      out += in[i];
      continue;
    }
    if (i + 2 >= in.size() || !std::isxdigit(static_cast<unsigned char>(in[i + 1])) ||
        !std::isxdigit(static_cast<unsigned char>(in[i + 2])))
      return std::nullopt;
    out += static_cast<char>(std::stoi(std::string(in.substr(i + 1, 2)), nullptr, 16));
    i += 2;
  }
  return out;
}

CimRequestHandler::CimRequestHandler(CimOperations& ops, PasswordChecker* passwords,
                                     HandlerOptions options)
    : ops_(ops), passwords_(passwords), options_(std::move(options)) {}

std::optional<http::Message> CimRequestHandler::Authenticate(const http::Message& request,
                                                             Peer& peer, std::string& user) {
  if (peer.local) {
    // The socket's file mode decides who may connect; the kernel tells us who did.
    user = peer.uid ? UserOfUid(*peer.uid) : std::string("unknown");
    return std::nullopt;
  }
  const std::string* auth = request.Header("Authorization");
  if (!options_.requireAuthentication) {
    auto creds = auth ? DecodeBasicAuthorization(*auth) : std::nullopt;
    user = creds ? creds->first : std::string();
    return std::nullopt;
  }
  // Checking a crypt(3) hash is deliberately slow; a keep-alive connection that
  // repeats the credentials already accepted is not checked again, unless the
  // password file has changed since.
  const std::uint64_t generation = passwords_ != nullptr ? passwords_->Generation() : 0;
  if (auth != nullptr && !peer.authorizedHeader.empty() && *auth == peer.authorizedHeader &&
      peer.authorizedGeneration == generation) {
    user = peer.user;
    return std::nullopt;
  }
  peer.authorizedHeader.clear();
  if (auth != nullptr && passwords_ != nullptr) {
    if (auto creds = DecodeBasicAuthorization(*auth);
        creds && passwords_->Check(creds->first, creds->second)) {
      peer.authorizedHeader = *auth;
      peer.authorizedGeneration = generation;
      peer.user = creds->first;
      user = creds->first;
      return std::nullopt;
    }
    syslog(LOG_NOTICE, "%s: authentication failed", peer.address.c_str());
  }
  http::Message m = Refusal(401, "", "authentication required");
  m.AddHeader("WWW-Authenticate", "Basic realm=\"" + options_.realm + "\"");
  return m;
}

http::Message CimRequestHandler::Handle(const http::Message& request, Peer& peer) {
  HeaderView h{request, {}};
  const bool mpost = request.method == "M-POST";
  if (!mpost && request.method != "POST") {
    http::Message m = Refusal(405, "", "only POST and M-POST are served");
    m.AddHeader("Allow", "POST, M-POST");
    return m;
  }
  if (request.version == "HTTP/1.1" && request.Header("Host") == nullptr)
    return Refusal(400, "", "HTTP/1.1 request without Host header");
  if (mpost) {
    if (request.version == "HTTP/1.0") return Refusal(400, "", "M-POST is not valid with HTTP/1.0");
    auto prefix = ManPrefix(request.Header("Man"));
    if (!prefix) return Refusal(400, "", "M-POST without a CIM mapping Man header");
    h.prefix = *prefix;
  }

  std::string user;
  if (auto refused = Authenticate(request, peer, user)) return *refused;

  const std::string* op = h.Get("CIMOperation");
  if (op == nullptr || !http::EqualsNoCase(http::Trim(*op), "MethodCall"))
    return Refusal(400, "unsupported-operation", "CIMOperation must be MethodCall");
  if (h.Get("CIMBatch") != nullptr)
    return Refusal(501, "multiple-requests-unsupported", "batch requests");
  const std::string* protoHeader = h.Get("CIMProtocolVersion");
  if (protoHeader != nullptr && !MajorIs(http::Trim(*protoHeader).data(), '1'))
    return Refusal(501, "unsupported-protocol-version", "CIMProtocolVersion " + *protoHeader);
  if (!ContentTypeOk(request.Header("Content-Type")))
    return Refusal(400, "request-not-valid",
                   "Content-Type must be application/xml or text/xml in UTF-8");

  pugi::xml_document doc;
  std::string detail;
  switch (cx::ParseDocument(doc, request.body, options_.xml, &detail)) {
    case cx::XmlProblem::kNone:
      break;
    case cx::XmlProblem::kNotWellFormed:
      return Refusal(400, "request-not-well-formed", detail);
    case cx::XmlProblem::kHasDoctype:
      return Refusal(400, "request-not-well-formed", "document type declarations are not accepted");
    case cx::XmlProblem::kTooDeep:
      return Refusal(400, "request-not-valid", "XML nested too deeply");
    case cx::XmlProblem::kTooManyElements:
      return Refusal(400, "request-not-valid", "too many XML elements");
  }

  pugi::xml_node cim = doc.document_element();
  if (!cx::Is(cim, "CIM")) return Refusal(400, "request-not-valid", "root element must be CIM");
  if (!MajorIs(cim.attribute("CIMVERSION").value(), '2'))
    return Refusal(501, "unsupported-cim-version", "CIMVERSION must be 2.x");
  if (!MajorIs(cim.attribute("DTDVERSION").value(), '2'))
    return Refusal(501, "unsupported-dtd-version", "DTDVERSION must be 2.x");
  pugi::xml_node message = cx::FirstElement(cim);
  if (!cx::Is(message, "MESSAGE") || !message.attribute("ID") ||
      !message.attribute("PROTOCOLVERSION"))
    return Refusal(400, "request-not-valid", "MESSAGE with ID and PROTOCOLVERSION expected");
  const std::string protocol = message.attribute("PROTOCOLVERSION").value();
  if (!MajorIs(protocol.c_str(), '1'))
    return Refusal(501, "unsupported-protocol-version", "PROTOCOLVERSION " + protocol);
  if (protoHeader != nullptr && http::Trim(*protoHeader) != protocol)
    return Refusal(400, "header-mismatch", "CIMProtocolVersion differs from PROTOCOLVERSION");
  pugi::xml_node simple = cx::FirstElement(message);
  if (cx::Is(simple, "MULTIREQ")) return Refusal(501, "multiple-requests-unsupported", "MULTIREQ");
  if (!cx::Is(simple, "SIMPLEREQ")) return Refusal(400, "request-not-valid", "SIMPLEREQ expected");
  pugi::xml_node call = cx::FirstElement(simple);
  const bool intrinsic = cx::Is(call, "IMETHODCALL");
  if ((!intrinsic && !cx::Is(call, "METHODCALL")) || !call.attribute("NAME") ||
      cx::NextElement(call))
    return Refusal(400, "request-not-valid", "one IMETHODCALL or METHODCALL expected");

  // The CIMMethod and CIMObject headers must agree with the body, so that
  // intermediaries filtering on headers see what will actually run.
  const std::string* methodHeader = h.Get("CIMMethod");
  auto method = methodHeader ? UriDecode(http::Trim(*methodHeader)) : std::nullopt;
  if (!method || !http::EqualsNoCase(*method, call.attribute("NAME").value()))
    return Refusal(400, "header-mismatch", "CIMMethod does not name the method in the body");
  const std::string* objectHeader = h.Get("CIMObject");
  auto object = objectHeader ? UriDecode(http::Trim(*objectHeader)) : std::nullopt;
  if (!object) return Refusal(400, "header-mismatch", "CIMObject header missing or malformed");
  try {
    pugi::xml_node target = cx::FirstElement(call);
    if (intrinsic) {
      CIMNamespaceName ns = cx::ReadLocalNamespacePath(target);
      if (!ns.equal(CIMNamespaceName(cx::FromUtf8(*object))))
        return Refusal(400, "header-mismatch", "CIMObject does not name the request's namespace");
    } else {
      CIMObjectPath path = cx::ReadLocalObjectPath(target);
      CIMObjectPath fromHeader(cx::FromUtf8(*object));
      // Namespace and class must agree; key texts are left to the body, since
      // clients differ in how they spell a key in a header.
      if (!fromHeader.getNameSpace().equal(path.getNameSpace()) ||
          !fromHeader.getClassName().equal(path.getClassName()))
        return Refusal(400, "header-mismatch", "CIMObject does not name the target");
    }
  } catch (const cx::CimXmlError& e) {
    return Refusal(400, "request-not-valid", e.what());
  } catch (const Exception& e) {
    return Refusal(400, "header-mismatch", "CIMObject: " + cx::Utf8(e.getMessage()));
  }

  http::Message resp;
  resp.status = 200;
  resp.AddHeader("Content-Type", "application/xml; charset=\"utf-8\"");
  if (mpost) {
    resp.AddHeader("Ext", "");
    resp.AddHeader("Man", "http://www.dmtf.org/cim/mapping.http/v1.0 ; ns=" +
                              h.prefix.substr(0, h.prefix.size() - 1));
  }
  resp.AddHeader(h.prefix + "CIMOperation", "MethodResponse");
  std::string& body = resp.body;
  cx::AppendMessageStart(body, message.attribute("ID").value());
  body += "<SIMPLERSP>";
  OperationContext ctx;
  String userName;
  try {
    userName = cx::FromUtf8(user);
  } catch (const cx::CimXmlError&) {
    // Only reachable without authentication, where the name is the client's claim.
  }
  ctx.insert(IdentityContainer(userName));
  if (intrinsic)
    DispatchIntrinsic(ops_, ctx, call, body);
  else
    DispatchExtrinsic(ops_, ctx, call, body);
  body += "</SIMPLERSP>";
  cx::AppendMessageEnd(body);
  return resp;
}

}  // namespace mgmt::cimom
