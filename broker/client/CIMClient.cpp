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
    cx::AppendMessageStart(body_, id);
    body_ += "<SIMPLEREQ><IMETHODCALL NAME=\"";
    body_ += method;
    body_ += "\">";
    cx::WriteLocalNamespacePath(body_, ns);
  }
  void Flag(const char* name, bool v) {
    Open(name);
    body_ += v ? "<VALUE>TRUE</VALUE>" : "<VALUE>FALSE</VALUE>";
    Close();
  }
  void ClassName(const char* name, const CIMName& cls) {
    if (cls.isNull()) return;
    Open(name);
    body_ += "<CLASSNAME NAME=\"";
    cx::AppendAttrEscaped(body_, cx::Utf8(cls.getString()));
    body_ += "\"></CLASSNAME>";
    Close();
  }
  void PropertyList(const CIMPropertyList& pl) {
    if (pl.isNull()) return;
    Open("PropertyList");
    body_ += "<VALUE.ARRAY>";
    for (Uint32 i = 0; i < pl.size(); ++i) {
      body_ += "<VALUE>";
      cx::AppendEscaped(body_, cx::Utf8(pl[i].getString()));
      body_ += "</VALUE>";
    }
    body_ += "</VALUE.ARRAY>";
    Close();
  }
  void Text(const char* name, const std::string& value) {
    Open(name);
    body_ += "<VALUE>";
    cx::AppendEscaped(body_, value);
    body_ += "</VALUE>";
    Close();
  }
  std::string& Raw(const char* name) {
    Open(name);
    return body_;
  }
  void Close() { body_ += "</IPARAMVALUE>"; }
  std::string Finish() {
    body_ += "</IMETHODCALL></SIMPLEREQ>";
    cx::AppendMessageEnd(body_);
    return std::move(body_);
  }

 private:
  void Open(const char* name) {
    body_ += "<IPARAMVALUE NAME=\"";
    body_ += name;
    body_ += "\">";
  }
  const char* method_;
  std::string body_;
};

[[noreturn]] void BadResponse(const std::string& why) {
  throw CIMException(CIM_ERR_FAILED, cx::FromUtf8("invalid response: " + why));
}

// Throws the CIMException an ERROR element carries.
[[noreturn]] void ThrowError(pugi::xml_node error) {
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
  throw CIMException(code, cx::FromUtf8(description));
}

}  // namespace

class CIMClientRep {
 public:
  Uint32 timeout = 20000;
  std::optional<mgmt::client::ClientTransport> transport;
  unsigned nextId = 1;

  std::chrono::milliseconds Ms() const { return std::chrono::milliseconds(timeout); }

  mgmt::client::ClientTransport& Connected() {
    if (!transport) throw NotConnectedException();
    return *transport;
  }

  // Sends a request and returns the response's IMETHODRESPONSE or METHODRESPONSE
  // content node within `doc`, having thrown the ERROR it may carry.
  pugi::xml_node Call(pugi::xml_document& doc, const std::string& id, const std::string& method,
                      const std::string& object, const std::string& body,
                      const char* responseElement) {
    mgmt::http::Message resp = Connected().Post(method, object, body, Ms());
    cx::XmlLimits limits;
    limits.maxElements = 100000000;
    std::string detail;
    if (cx::ParseDocument(doc, resp.body, limits, &detail) != cx::XmlProblem::kNone)
      BadResponse(detail);
    pugi::xml_node message = cx::FirstElement(doc.document_element());
    if (!cx::Is(doc.document_element(), "CIM") || !cx::Is(message, "MESSAGE"))
      BadResponse("no CIM MESSAGE");
    if (id != message.attribute("ID").value()) BadResponse("MESSAGE ID does not match the request");
    pugi::xml_node rsp = cx::FirstElement(cx::FirstElement(message));
    if (!cx::Is(cx::FirstElement(message), "SIMPLERSP") || !cx::Is(rsp, responseElement))
      BadResponse(std::string("no ") + responseElement);
    if (!HttpEqual(rsp.attribute("NAME").value(), method))
      BadResponse("response names another method");
    pugi::xml_node first = cx::FirstElement(rsp);
    if (cx::Is(first, "ERROR")) ThrowError(first);
    return rsp;
  }

  // The IRETURNVALUE of an intrinsic call (empty node when there is none).
  template <typename F>
  void Intrinsic(const char* method, const CIMNamespaceName& ns, F&& fill,
                 const std::function<void(pugi::xml_node)>& read) {
    const std::string id = std::to_string(nextId++);
    Request req(id, method, ns);
    fill(req);
    pugi::xml_document doc;
    pugi::xml_node rsp =
        Call(doc, id, method, cx::Utf8(ns.getString()), req.Finish(), "IMETHODRESPONSE");
    pugi::xml_node ret = cx::FirstElement(rsp);
    if (ret && !cx::Is(ret, "IRETURNVALUE")) BadResponse("IRETURNVALUE expected");
    try {
      read(ret);
    } catch (const cx::CimXmlError& e) {
      BadResponse(e.what());
    }
  }

  static bool HttpEqual(const char* a, const std::string& b) {
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
    auth = "Basic " + mgmt::base::Base64Encode(cx::Utf8(userName) + ":" + cx::Utf8(password));
  mgmt::client::ClientTransport t(cx::Utf8(host), portNumber, auth);
  t.Open(_rep->Ms());
  _rep->transport.emplace(std::move(t));
}

void CIMClient::connectLocal() {
  if (_rep->transport) throw AlreadyConnectedException();
  const char* env = std::getenv("MGMT_CIMXML_SOCKET");
  std::string path = (env != nullptr && *env != '\0') ? std::string(env)
                                                      : mgmt::RootPath(PEGASUS_CIMXML_LOCAL_SOCKET);
  mgmt::client::ClientTransport t(path);
  t.Open(_rep->Ms());
  _rep->transport.emplace(std::move(t));
}

void CIMClient::disconnect() { _rep->transport.reset(); }

Array<CIMInstance> CIMClient::enumerateInstances(const CIMNamespaceName& nameSpace,
                                                 const CIMName& className, Boolean deepInheritance,
                                                 Boolean localOnly, Boolean includeQualifiers,
                                                 Boolean includeClassOrigin,
                                                 const CIMPropertyList& propertyList) {
  Array<CIMInstance> result;
  _rep->Intrinsic(
      "EnumerateInstances", nameSpace,
      [&](Request& r) {
        r.ClassName("ClassName", className);
        r.Flag("DeepInheritance", deepInheritance);
        r.Flag("LocalOnly", localOnly);
        r.Flag("IncludeQualifiers", includeQualifiers);
        r.Flag("IncludeClassOrigin", includeClassOrigin);
        r.PropertyList(propertyList);
      },
      [&](pugi::xml_node ret) {
        for (pugi::xml_node n = cx::FirstElement(ret); n; n = cx::NextElement(n)) {
          CIMInstance inst = cx::ReadNamedInstance(n);
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
  _rep->Intrinsic(
      "EnumerateInstanceNames", nameSpace, [&](Request& r) { r.ClassName("ClassName", className); },
      [&](pugi::xml_node ret) {
        for (pugi::xml_node n = cx::FirstElement(ret); n; n = cx::NextElement(n)) {
          CIMObjectPath p = cx::ReadInstanceName(n);
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
  _rep->Intrinsic(
      "GetInstance", nameSpace,
      [&](Request& r) {
        cx::WriteInstanceName(r.Raw("InstanceName"), instanceName);
        r.Close();
        r.Flag("LocalOnly", localOnly);
        r.Flag("IncludeQualifiers", includeQualifiers);
        r.Flag("IncludeClassOrigin", includeClassOrigin);
        r.PropertyList(propertyList);
      },
      [&](pugi::xml_node ret) {
        pugi::xml_node n = cx::FirstElement(ret);
        if (!n || cx::NextElement(n)) BadResponse("GetInstance must return one INSTANCE");
        result = cx::ReadInstance(n);
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
  _rep->Intrinsic(
      "ModifyInstance", nameSpace,
      [&](Request& r) {
        cx::WriteNamedInstance(r.Raw("ModifiedInstance"), modifiedInstance);
        r.Close();
        r.Flag("IncludeQualifiers", includeQualifiers);
        r.PropertyList(propertyList);
      },
      [](pugi::xml_node) {});
}

CIMObjectPath CIMClient::createInstance(const CIMNamespaceName& nameSpace,
                                        const CIMInstance& newInstance) {
  CIMObjectPath result;
  _rep->Intrinsic(
      "CreateInstance", nameSpace,
      [&](Request& r) {
        cx::WriteInstance(r.Raw("NewInstance"), newInstance);
        r.Close();
      },
      [&](pugi::xml_node ret) {
        pugi::xml_node n = cx::FirstElement(ret);
        if (!n) BadResponse("CreateInstance returned no INSTANCENAME");
        result = cx::ReadInstanceName(n);
        result.setNameSpace(nameSpace);
      });
  return result;
}

void CIMClient::deleteInstance(const CIMNamespaceName& nameSpace,
                               const CIMObjectPath& instanceName) {
  _rep->Intrinsic(
      "DeleteInstance", nameSpace,
      [&](Request& r) {
        cx::WriteInstanceName(r.Raw("InstanceName"), instanceName);
        r.Close();
      },
      [](pugi::xml_node) {});
}

CIMClass CIMClient::getClass(const CIMNamespaceName& nameSpace, const CIMName& className,
                             Boolean localOnly, Boolean includeQualifiers,
                             Boolean includeClassOrigin, const CIMPropertyList& propertyList) {
  CIMClass result;
  _rep->Intrinsic(
      "GetClass", nameSpace,
      [&](Request& r) {
        r.ClassName("ClassName", className);
        r.Flag("LocalOnly", localOnly);
        r.Flag("IncludeQualifiers", includeQualifiers);
        r.Flag("IncludeClassOrigin", includeClassOrigin);
        r.PropertyList(propertyList);
      },
      [&](pugi::xml_node ret) {
        pugi::xml_node n = cx::FirstElement(ret);
        if (!n) BadResponse("GetClass returned no CLASS");
        result = cx::ReadClass(n);
      });
  return result;
}

Array<CIMName> CIMClient::enumerateClassNames(const CIMNamespaceName& nameSpace,
                                              const CIMName& className, Boolean deepInheritance) {
  Array<CIMName> result;
  _rep->Intrinsic(
      "EnumerateClassNames", nameSpace,
      [&](Request& r) {
        r.ClassName("ClassName", className);
        r.Flag("DeepInheritance", deepInheritance);
      },
      [&](pugi::xml_node ret) {
        for (pugi::xml_node n = cx::FirstElement(ret); n; n = cx::NextElement(n)) {
          if (!cx::Is(n, "CLASSNAME")) BadResponse("CLASSNAME expected");
          result.append(cx::NameAttr(n, "NAME"));
        }
      });
  return result;
}

Array<CIMClass> CIMClient::enumerateClasses(const CIMNamespaceName& nameSpace,
                                            const CIMName& className, Boolean deepInheritance,
                                            Boolean localOnly, Boolean includeQualifiers,
                                            Boolean includeClassOrigin) {
  Array<CIMClass> result;
  _rep->Intrinsic(
      "EnumerateClasses", nameSpace,
      [&](Request& r) {
        r.ClassName("ClassName", className);
        r.Flag("DeepInheritance", deepInheritance);
        r.Flag("LocalOnly", localOnly);
        r.Flag("IncludeQualifiers", includeQualifiers);
        r.Flag("IncludeClassOrigin", includeClassOrigin);
      },
      [&](pugi::xml_node ret) {
        for (pugi::xml_node n = cx::FirstElement(ret); n; n = cx::NextElement(n))
          result.append(cx::ReadClass(n));
      });
  return result;
}

CIMValue CIMClient::getProperty(const CIMNamespaceName& nameSpace,
                                const CIMObjectPath& instanceName, const CIMName& propertyName) {
  CIMValue result;
  _rep->Intrinsic(
      "GetProperty", nameSpace,
      [&](Request& r) {
        cx::WriteInstanceName(r.Raw("InstanceName"), instanceName);
        r.Close();
        r.Text("PropertyName", cx::Utf8(propertyName.getString()));
      },
      [&](pugi::xml_node ret) {
        pugi::xml_node v = cx::FirstElement(ret);
        if (!v) return;
        const bool ref = cx::Is(v, "VALUE.REFERENCE") || cx::Is(v, "VALUE.REFARRAY");
        result = cx::ReadValue(v, ref ? CIMTYPE_REFERENCE : CIMTYPE_STRING,
                               cx::Is(v, "VALUE.ARRAY") || cx::Is(v, "VALUE.REFARRAY"));
      });
  return result;
}

void CIMClient::setProperty(const CIMNamespaceName& nameSpace, const CIMObjectPath& instanceName,
                            const CIMName& propertyName, const CIMValue& newValue) {
  _rep->Intrinsic(
      "SetProperty", nameSpace,
      [&](Request& r) {
        cx::WriteInstanceName(r.Raw("InstanceName"), instanceName);
        r.Close();
        r.Text("PropertyName", cx::Utf8(propertyName.getString()));
        if (!newValue.isNull()) {
          cx::WriteValue(r.Raw("NewValue"), newValue);
          r.Close();
        }
      },
      [](pugi::xml_node) {});
}

CIMValue CIMClient::invokeMethod(const CIMNamespaceName& nameSpace,
                                 const CIMObjectPath& instanceName, const CIMName& methodName,
                                 const Array<CIMParamValue>& inParameters,
                                 Array<CIMParamValue>& outParameters) {
  const std::string id = std::to_string(_rep->nextId++);
  const std::string method = cx::Utf8(methodName.getString());
  CIMObjectPath target = instanceName;
  target.setHost(String());
  target.setNameSpace(nameSpace);
  std::string body;
  cx::AppendMessageStart(body, id);
  body += "<SIMPLEREQ><METHODCALL NAME=\"";
  cx::AppendAttrEscaped(body, method);
  body += "\">";
  const bool isClass = target.getKeyBindings().size() == 0;
  body += isClass ? "<LOCALCLASSPATH>" : "<LOCALINSTANCEPATH>";
  cx::WriteLocalNamespacePath(body, nameSpace);
  if (isClass) {
    body += "<CLASSNAME NAME=\"";
    cx::AppendAttrEscaped(body, cx::Utf8(target.getClassName().getString()));
    body += "\"></CLASSNAME></LOCALCLASSPATH>";
  } else {
    cx::WriteInstanceName(body, target);
    body += "</LOCALINSTANCEPATH>";
  }
  for (Uint32 i = 0; i < inParameters.size(); ++i) cx::WriteParamValue(body, inParameters[i]);
  body += "</METHODCALL></SIMPLEREQ>";
  cx::AppendMessageEnd(body);

  pugi::xml_document doc;
  pugi::xml_node rsp =
      _rep->Call(doc, id, method, cx::Utf8(target.toString()), body, "METHODRESPONSE");
  CIMValue result;
  Array<CIMParamValue> out;
  try {
    for (pugi::xml_node n = cx::FirstElement(rsp); n; n = cx::NextElement(n)) {
      if (cx::Is(n, "RETURNVALUE"))
        result = cx::ReadReturnValue(n);
      else if (cx::Is(n, "PARAMVALUE"))
        out.append(cx::ReadParamValue(n));
      else
        BadResponse(std::string("unexpected <") + n.name() + ">");
    }
  } catch (const cx::CimXmlError& e) {
    BadResponse(e.what());
  }
  outParameters = out;
  return result;
}

PEGASUS_NAMESPACE_END
