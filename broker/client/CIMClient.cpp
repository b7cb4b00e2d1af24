#include <Pegasus/Client/CIMClient.h>

#include <Pegasus/Common/CIMStatusCode.h>

#include <cstdlib>
#include <functional>
#include <optional>

#include "CimNumber.h"
#include "ClientTransport.h"
#include "base/base64.h"
#include "cimxml/CimXmlError.h"
#include "cimxml/CimXmlReader.h"
#include "cimxml/CimXmlWriter.h"
#include "cimxml/ValueText.h"
#include "cimxml/XmlDocument.h"
#include "installroot.h"

namespace cx = mgmt::cimxml;

PEGASUS_NAMESPACE_BEGIN

namespace {

// Builds the body of one intrinsic call.
class Request {
 public:
  Request(const std::string& id, const char* method, const CIMNamespaceName& ns) : method_(method) {
    cx::appendMessageStart(body_, id);
    body_ += "<SIMPLEREQ><IMETHODCALL NAME=\"";
    body_ += method;
    body_ += "\">";
    cx::writeLocalNamespacePath(body_, ns);
  }
  void flag(const char* name, bool v) {
    open(name);
    body_ += v ? "<VALUE>TRUE</VALUE>" : "<VALUE>FALSE</VALUE>";
    close();
  }
  void className(const char* name, const CIMName& cls) {
    if (cls.isNull()) return;
    open(name);
    body_ += "<CLASSNAME NAME=\"";
    cx::appendAttrEscaped(body_, cx::utf8(cls.getString()));
    body_ += "\"></CLASSNAME>";
    close();
  }
  void propertyList(const CIMPropertyList& pl) {
    if (pl.isNull()) return;
    open("PropertyList");
    body_ += "<VALUE.ARRAY>";
    for (Uint32 i = 0; i < pl.size(); ++i) {
      body_ += "<VALUE>";
      cx::appendEscaped(body_, cx::utf8(pl[i].getString()));
      body_ += "</VALUE>";
    }
    body_ += "</VALUE.ARRAY>";
    close();
  }
  void text(const char* name, const std::string& value) {
    open(name);
    body_ += "<VALUE>";
    cx::appendEscaped(body_, value);
    body_ += "</VALUE>";
    close();
  }
  std::string& raw(const char* name) {
    open(name);
    return body_;
  }
  void close() { body_ += "</IPARAMVALUE>"; }
  std::string finish() {
    body_ += "</IMETHODCALL></SIMPLEREQ>";
    cx::appendMessageEnd(body_);
    return std::move(body_);
  }

 private:
  void open(const char* name) {
    body_ += "<IPARAMVALUE NAME=\"";
    body_ += name;
    body_ += "\">";
  }
  const char* method_;
  std::string body_;
};

[[noreturn]] void badResponse(const std::string& why) {
  throw CIMException(CIM_ERR_FAILED, cx::fromUtf8("invalid response: " + why));
}

// Throws the CIMException an ERROR element carries.
[[noreturn]] void throwError(pugi::xml_node error) {
  // A CODE that is missing, not a number or 0 (success) still reports a failure.
  Uint32 number = 0;
  const bool known = mgmt::broker::ParseInteger(error.attribute("CODE").value(), number) ==
                         mgmt::broker::NumberStatus::kOk &&
                     number != 0;
  const auto code = static_cast<CIMStatusCode>(known ? number : Uint32(CIM_ERR_FAILED));
  std::string description = error.attribute("DESCRIPTION").value();
  // The description repeats the symbol ("CIM_ERR_NOT_FOUND: text"); the message is the text.
  const std::string symbol = cimStatusCodeToString(code);
  if (description.rfind(symbol, 0) == 0) {
    description.erase(0, symbol.size());
    if (description.rfind(": ", 0) == 0) description.erase(0, 2);
  }
  throw CIMException(code, cx::fromUtf8(description));
}

}  // namespace

class CIMClientRep {
 public:
  Uint32 timeout = 20000;
  std::optional<mgmt::client::ClientTransport> transport;
  unsigned nextId = 1;

  std::chrono::milliseconds ms() const { return std::chrono::milliseconds(timeout); }

  mgmt::client::ClientTransport& connected() {
    if (!transport) throw NotConnectedException();
    return *transport;
  }

  // Sends a request and returns the response's IMETHODRESPONSE or METHODRESPONSE
  // content node within `doc`, having thrown the ERROR it may carry.
  pugi::xml_node call(pugi::xml_document& doc, const std::string& id, const std::string& method,
                      const std::string& object, const std::string& body,
                      const char* responseElement) {
    mgmt::http::Message resp = connected().post(method, object, body, ms());
    cx::XmlLimits limits;
    limits.maxElements = 100000000;
    std::string detail;
    if (cx::parseDocument(doc, resp.body, limits, &detail) != cx::XmlProblem::None)
      badResponse(detail);
    pugi::xml_node message = cx::firstElement(doc.document_element());
    if (!cx::is(doc.document_element(), "CIM") || !cx::is(message, "MESSAGE"))
      badResponse("no CIM MESSAGE");
    if (id != message.attribute("ID").value()) badResponse("MESSAGE ID does not match the request");
    pugi::xml_node rsp = cx::firstElement(cx::firstElement(message));
    if (!cx::is(cx::firstElement(message), "SIMPLERSP") || !cx::is(rsp, responseElement))
      badResponse(std::string("no ") + responseElement);
    if (!http_equal(rsp.attribute("NAME").value(), method))
      badResponse("response names another method");
    pugi::xml_node first = cx::firstElement(rsp);
    if (cx::is(first, "ERROR")) throwError(first);
    return rsp;
  }

  // The IRETURNVALUE of an intrinsic call (empty node when there is none).
  template <typename F>
  void intrinsic(const char* method, const CIMNamespaceName& ns, F&& fill,
                 const std::function<void(pugi::xml_node)>& read) {
    const std::string id = std::to_string(nextId++);
    Request req(id, method, ns);
    fill(req);
    pugi::xml_document doc;
    pugi::xml_node rsp =
        call(doc, id, method, cx::utf8(ns.getString()), req.finish(), "IMETHODRESPONSE");
    pugi::xml_node ret = cx::firstElement(rsp);
    if (ret && !cx::is(ret, "IRETURNVALUE")) badResponse("IRETURNVALUE expected");
    try {
      read(ret);
    } catch (const cx::CimXmlError& e) {
      badResponse(e.what());
    }
  }

  static bool http_equal(const char* a, const std::string& b) {
    std::string_view x(a);
    if (x.size() != b.size()) return false;
    for (std::size_t i = 0; i < x.size(); ++i)
      if (std::tolower(static_cast<unsigned char>(x[i])) !=
          std::tolower(static_cast<unsigned char>(b[i])))
        return false;
    return true;
  }
};

CIMClient::CIMClient() : _rep(std::make_unique<CIMClientRep>()) {}
CIMClient::~CIMClient() = default;

Uint32 CIMClient::getTimeout() const { return _rep->timeout; }
void CIMClient::setTimeout(Uint32 timeoutMilliseconds) { _rep->timeout = timeoutMilliseconds; }

void CIMClient::connect(const String& host, const Uint32 portNumber, const String& userName,
                        const String& password) {
  if (_rep->transport) throw AlreadyConnectedException();
  if (host.size() == 0 || portNumber == 0 || portNumber > 65535)
    throw InvalidLocatorException(host);
  std::string auth;
  if (userName.size() != 0)
    auth = "Basic " + mgmt::base::Base64Encode(cx::utf8(userName) + ":" + cx::utf8(password));
  mgmt::client::ClientTransport t(cx::utf8(host), portNumber, auth);
  t.open(_rep->ms());
  _rep->transport.emplace(std::move(t));
}

void CIMClient::connectLocal() {
  if (_rep->transport) throw AlreadyConnectedException();
  const char* env = std::getenv("MGMT_CIMXML_SOCKET");
  std::string path = (env != nullptr && *env != '\0') ? std::string(env)
                                                      : mgmt::RootPath(PEGASUS_CIMXML_LOCAL_SOCKET);
  mgmt::client::ClientTransport t(path);
  t.open(_rep->ms());
  _rep->transport.emplace(std::move(t));
}

void CIMClient::disconnect() { _rep->transport.reset(); }

Array<CIMInstance> CIMClient::enumerateInstances(const CIMNamespaceName& nameSpace,
                                                 const CIMName& className, Boolean deepInheritance,
                                                 Boolean localOnly, Boolean includeQualifiers,
                                                 Boolean includeClassOrigin,
                                                 const CIMPropertyList& propertyList) {
  Array<CIMInstance> result;
  _rep->intrinsic(
      "EnumerateInstances", nameSpace,
      [&](Request& r) {
        r.className("ClassName", className);
        r.flag("DeepInheritance", deepInheritance);
        r.flag("LocalOnly", localOnly);
        r.flag("IncludeQualifiers", includeQualifiers);
        r.flag("IncludeClassOrigin", includeClassOrigin);
        r.propertyList(propertyList);
      },
      [&](pugi::xml_node ret) {
        for (pugi::xml_node n = cx::firstElement(ret); n; n = cx::nextElement(n)) {
          CIMInstance inst = cx::readNamedInstance(n);
          CIMObjectPath p = inst.getPath();
          p.setNameSpace(nameSpace);
          inst.setPath(p);
          result.append(inst);
        }
      });
  return result;
}

Array<CIMObjectPath> CIMClient::enumerateInstanceNames(const CIMNamespaceName& nameSpace,
                                                       const CIMName& className) {
  Array<CIMObjectPath> result;
  _rep->intrinsic(
      "EnumerateInstanceNames", nameSpace, [&](Request& r) { r.className("ClassName", className); },
      [&](pugi::xml_node ret) {
        for (pugi::xml_node n = cx::firstElement(ret); n; n = cx::nextElement(n)) {
          CIMObjectPath p = cx::readInstanceName(n);
          p.setNameSpace(nameSpace);
          result.append(p);
        }
      });
  return result;
}

CIMInstance CIMClient::getInstance(const CIMNamespaceName& nameSpace,
                                   const CIMObjectPath& instanceName, Boolean localOnly,
                                   Boolean includeQualifiers, Boolean includeClassOrigin,
                                   const CIMPropertyList& propertyList) {
  CIMInstance result;
  _rep->intrinsic(
      "GetInstance", nameSpace,
      [&](Request& r) {
        cx::writeInstanceName(r.raw("InstanceName"), instanceName);
        r.close();
        r.flag("LocalOnly", localOnly);
        r.flag("IncludeQualifiers", includeQualifiers);
        r.flag("IncludeClassOrigin", includeClassOrigin);
        r.propertyList(propertyList);
      },
      [&](pugi::xml_node ret) {
        pugi::xml_node n = cx::firstElement(ret);
        if (!n || cx::nextElement(n)) badResponse("GetInstance must return one INSTANCE");
        result = cx::readInstance(n);
        CIMObjectPath p = instanceName;
        p.setHost(String());
        p.setNameSpace(nameSpace);
        try {
          result.setPath(p);
        } catch (const Exception&) {
          // A subclass instance keeps its own class name; leave its path unset.
        }
      });
  return result;
}

void CIMClient::modifyInstance(const CIMNamespaceName& nameSpace,
                               const CIMInstance& modifiedInstance, Boolean includeQualifiers,
                               const CIMPropertyList& propertyList) {
  _rep->intrinsic(
      "ModifyInstance", nameSpace,
      [&](Request& r) {
        cx::writeNamedInstance(r.raw("ModifiedInstance"), modifiedInstance);
        r.close();
        r.flag("IncludeQualifiers", includeQualifiers);
        r.propertyList(propertyList);
      },
      [](pugi::xml_node) {});
}

CIMObjectPath CIMClient::createInstance(const CIMNamespaceName& nameSpace,
                                        const CIMInstance& newInstance) {
  CIMObjectPath result;
  _rep->intrinsic(
      "CreateInstance", nameSpace,
      [&](Request& r) {
        cx::writeInstance(r.raw("NewInstance"), newInstance);
        r.close();
      },
      [&](pugi::xml_node ret) {
        pugi::xml_node n = cx::firstElement(ret);
        if (!n) badResponse("CreateInstance returned no INSTANCENAME");
        result = cx::readInstanceName(n);
        result.setNameSpace(nameSpace);
      });
  return result;
}

void CIMClient::deleteInstance(const CIMNamespaceName& nameSpace,
                               const CIMObjectPath& instanceName) {
  _rep->intrinsic(
      "DeleteInstance", nameSpace,
      [&](Request& r) {
        cx::writeInstanceName(r.raw("InstanceName"), instanceName);
        r.close();
      },
      [](pugi::xml_node) {});
}

CIMClass CIMClient::getClass(const CIMNamespaceName& nameSpace, const CIMName& className,
                             Boolean localOnly, Boolean includeQualifiers,
                             Boolean includeClassOrigin, const CIMPropertyList& propertyList) {
  CIMClass result;
  _rep->intrinsic(
      "GetClass", nameSpace,
      [&](Request& r) {
        r.className("ClassName", className);
        r.flag("LocalOnly", localOnly);
        r.flag("IncludeQualifiers", includeQualifiers);
        r.flag("IncludeClassOrigin", includeClassOrigin);
        r.propertyList(propertyList);
      },
      [&](pugi::xml_node ret) {
        pugi::xml_node n = cx::firstElement(ret);
        if (!n) badResponse("GetClass returned no CLASS");
        result = cx::readClass(n);
      });
  return result;
}

Array<CIMName> CIMClient::enumerateClassNames(const CIMNamespaceName& nameSpace,
                                              const CIMName& className, Boolean deepInheritance) {
  Array<CIMName> result;
  _rep->intrinsic(
      "EnumerateClassNames", nameSpace,
      [&](Request& r) {
        r.className("ClassName", className);
        r.flag("DeepInheritance", deepInheritance);
      },
      [&](pugi::xml_node ret) {
        for (pugi::xml_node n = cx::firstElement(ret); n; n = cx::nextElement(n)) {
          if (!cx::is(n, "CLASSNAME")) badResponse("CLASSNAME expected");
          result.append(cx::nameAttr(n, "NAME"));
        }
      });
  return result;
}

Array<CIMClass> CIMClient::enumerateClasses(const CIMNamespaceName& nameSpace,
                                            const CIMName& className, Boolean deepInheritance,
                                            Boolean localOnly, Boolean includeQualifiers,
                                            Boolean includeClassOrigin) {
  Array<CIMClass> result;
  _rep->intrinsic(
      "EnumerateClasses", nameSpace,
      [&](Request& r) {
        r.className("ClassName", className);
        r.flag("DeepInheritance", deepInheritance);
        r.flag("LocalOnly", localOnly);
        r.flag("IncludeQualifiers", includeQualifiers);
        r.flag("IncludeClassOrigin", includeClassOrigin);
      },
      [&](pugi::xml_node ret) {
        for (pugi::xml_node n = cx::firstElement(ret); n; n = cx::nextElement(n))
          result.append(cx::readClass(n));
      });
  return result;
}

CIMValue CIMClient::getProperty(const CIMNamespaceName& nameSpace,
                                const CIMObjectPath& instanceName, const CIMName& propertyName) {
  CIMValue result;
  _rep->intrinsic(
      "GetProperty", nameSpace,
      [&](Request& r) {
        cx::writeInstanceName(r.raw("InstanceName"), instanceName);
        r.close();
        r.text("PropertyName", cx::utf8(propertyName.getString()));
      },
      [&](pugi::xml_node ret) {
        pugi::xml_node v = cx::firstElement(ret);
        if (!v) return;
        const bool ref = cx::is(v, "VALUE.REFERENCE") || cx::is(v, "VALUE.REFARRAY");
        result = cx::readValue(v, ref ? CIMTYPE_REFERENCE : CIMTYPE_STRING,
                               cx::is(v, "VALUE.ARRAY") || cx::is(v, "VALUE.REFARRAY"));
      });
  return result;
}

void CIMClient::setProperty(const CIMNamespaceName& nameSpace, const CIMObjectPath& instanceName,
                            const CIMName& propertyName, const CIMValue& newValue) {
  _rep->intrinsic(
      "SetProperty", nameSpace,
      [&](Request& r) {
        cx::writeInstanceName(r.raw("InstanceName"), instanceName);
        r.close();
        r.text("PropertyName", cx::utf8(propertyName.getString()));
        if (!newValue.isNull()) {
          cx::writeValue(r.raw("NewValue"), newValue);
          r.close();
        }
      },
      [](pugi::xml_node) {});
}

CIMValue CIMClient::invokeMethod(const CIMNamespaceName& nameSpace,
                                 const CIMObjectPath& instanceName, const CIMName& methodName,
                                 const Array<CIMParamValue>& inParameters,
                                 Array<CIMParamValue>& outParameters) {
  const std::string id = std::to_string(_rep->nextId++);
  const std::string method = cx::utf8(methodName.getString());
  CIMObjectPath target = instanceName;
  target.setHost(String());
  target.setNameSpace(nameSpace);
  std::string body;
  cx::appendMessageStart(body, id);
  body += "<SIMPLEREQ><METHODCALL NAME=\"";
  cx::appendAttrEscaped(body, method);
  body += "\">";
  const bool isClass = target.getKeyBindings().size() == 0;
  body += isClass ? "<LOCALCLASSPATH>" : "<LOCALINSTANCEPATH>";
  cx::writeLocalNamespacePath(body, nameSpace);
  if (isClass) {
    body += "<CLASSNAME NAME=\"";
    cx::appendAttrEscaped(body, cx::utf8(target.getClassName().getString()));
    body += "\"></CLASSNAME></LOCALCLASSPATH>";
  } else {
    cx::writeInstanceName(body, target);
    body += "</LOCALINSTANCEPATH>";
  }
  for (Uint32 i = 0; i < inParameters.size(); ++i) cx::writeParamValue(body, inParameters[i]);
  body += "</METHODCALL></SIMPLEREQ>";
  cx::appendMessageEnd(body);

  pugi::xml_document doc;
  pugi::xml_node rsp =
      _rep->call(doc, id, method, cx::utf8(target.toString()), body, "METHODRESPONSE");
  CIMValue result;
  Array<CIMParamValue> out;
  try {
    for (pugi::xml_node n = cx::firstElement(rsp); n; n = cx::nextElement(n)) {
      if (cx::is(n, "RETURNVALUE"))
        result = cx::readReturnValue(n);
      else if (cx::is(n, "PARAMVALUE"))
        out.append(cx::readParamValue(n));
      else
        badResponse(std::string("unexpected <") + n.name() + ">");
    }
  } catch (const cx::CimXmlError& e) {
    badResponse(e.what());
  }
  outParameters = out;
  return result;
}

PEGASUS_NAMESPACE_END
