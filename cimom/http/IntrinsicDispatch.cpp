#include "IntrinsicDispatch.h"

#include <Pegasus/Common/CIMStatusCode.h>
#include <Pegasus/Common/Exception.h>

#include <algorithm>
#include <cctype>
#include <exception>
#include <functional>
#include <map>
#include <vector>

#include "cimxml/CimXmlError.h"
#include "cimxml/CimXmlReader.h"
#include "cimxml/CimXmlWriter.h"
#include "cimxml/ValueText.h"

using namespace Pegasus;
namespace cx = mgmt::cimxml;

namespace mgmt::cimom {

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

[[noreturn]] void invalidParameter(const std::string& message) {
  throw CIMException(CIM_ERR_INVALID_PARAMETER, cx::fromUtf8(message));
}

// The IPARAMVALUEs of a call, by lower-cased name, checked against what the
// operation accepts.
class Params {
 public:
  Params(pugi::xml_node first, std::initializer_list<const char*> allowed) {
    for (pugi::xml_node p = first; p; p = cx::nextElement(p)) {
      if (!cx::is(p, "IPARAMVALUE")) invalidParameter(std::string("unexpected <") + p.name() + ">");
      pugi::xml_attribute name = p.attribute("NAME");
      if (!name) invalidParameter("IPARAMVALUE without NAME");
      const std::string key = lower(name.value());
      if (std::none_of(allowed.begin(), allowed.end(),
                       [&](const char* a) { return key == lower(a); }))
        throw CIMException(CIM_ERR_NOT_SUPPORTED,
                           cx::fromUtf8(std::string("unknown parameter ") + name.value()));
      if (!byName_.emplace(key, p).second)
        invalidParameter(std::string("duplicate parameter ") + name.value());
    }
  }

  // The parameter's value element, or an empty node when absent or NULL.
  pugi::xml_node value(const char* name) const {
    auto it = byName_.find(lower(name));
    return it == byName_.end() ? pugi::xml_node() : cx::firstElement(it->second);
  }
  pugi::xml_node required(const char* name) const {
    pugi::xml_node v = value(name);
    if (!v) invalidParameter(std::string("missing parameter ") + name);
    return v;
  }

  bool flag(const char* name, bool fallback) const {
    pugi::xml_node v = value(name);
    if (!v) return fallback;
    if (!cx::is(v, "VALUE")) invalidParameter(std::string(name) + " must be a boolean VALUE");
    CIMValue b = cx::scalarFromText(CIMTYPE_BOOLEAN, v.text().get());
    Boolean out = fallback;
    b.get(out);
    return out;
  }

  CIMName className(const char* name, bool isRequired) const {
    pugi::xml_node v = isRequired ? required(name) : value(name);
    if (!v) return CIMName();
    if (!cx::is(v, "CLASSNAME")) invalidParameter(std::string(name) + " must be a CLASSNAME");
    return cx::nameAttr(v, "NAME");
  }

  CIMPropertyList propertyList() const {
    pugi::xml_node v = value("PropertyList");
    if (!v) return CIMPropertyList();
    if (!cx::is(v, "VALUE.ARRAY")) invalidParameter("PropertyList must be a VALUE.ARRAY");
    Array<CIMName> names;
    for (pugi::xml_node e = cx::firstElement(v); e; e = cx::nextElement(e)) {
      if (!cx::is(e, "VALUE")) invalidParameter("PropertyList holds a non-VALUE");
      try {
        names.append(CIMName(cx::fromUtf8(e.text().get())));
      } catch (const Exception&) {
        invalidParameter(std::string("invalid property name \"") + e.text().get() + "\"");
      }
    }
    return CIMPropertyList(names);
  }

 private:
  std::map<std::string, pugi::xml_node> byName_;
};

struct Call {
  CimOperations& ops;
  const OperationContext& ctx;
  CIMNamespaceName ns;
  pugi::xml_node firstParam;
  std::string& out;  // IRETURNVALUE content
  bool hasResult = false;
};

using Handler = std::function<void(Call&)>;

void enumerateInstances(Call& c) {
  Params p(c.firstParam, {"ClassName", "DeepInheritance", "LocalOnly", "IncludeQualifiers",
                          "IncludeClassOrigin", "PropertyList"});
  const bool iq = p.flag("IncludeQualifiers", false), ico = p.flag("IncludeClassOrigin", false);
  auto result = c.ops.enumerateInstances(c.ctx, c.ns, p.className("ClassName", true),
                                         p.flag("DeepInheritance", true), p.flag("LocalOnly", true),
                                         iq, ico, p.propertyList());
  for (Uint32 i = 0; i < result.size(); ++i) cx::writeNamedInstance(c.out, result[i], iq, ico);
  c.hasResult = result.size() > 0;
}

void enumerateInstanceNames(Call& c) {
  Params p(c.firstParam, {"ClassName"});
  auto result = c.ops.enumerateInstanceNames(c.ctx, c.ns, p.className("ClassName", true));
  for (Uint32 i = 0; i < result.size(); ++i) cx::writeInstanceName(c.out, result[i]);
  c.hasResult = result.size() > 0;
}

void getInstance(Call& c) {
  Params p(c.firstParam, {"InstanceName", "LocalOnly", "IncludeQualifiers", "IncludeClassOrigin",
                          "PropertyList"});
  const bool iq = p.flag("IncludeQualifiers", false), ico = p.flag("IncludeClassOrigin", false);
  CIMObjectPath name = cx::readInstanceName(p.required("InstanceName"));
  CIMInstance inst =
      c.ops.getInstance(c.ctx, c.ns, name, p.flag("LocalOnly", true), iq, ico, p.propertyList());
  cx::writeInstance(c.out, inst, iq, ico);
  c.hasResult = true;
}

void modifyInstance(Call& c) {
  Params p(c.firstParam, {"ModifiedInstance", "IncludeQualifiers", "PropertyList"});
  CIMInstance inst = cx::readNamedInstance(p.required("ModifiedInstance"));
  c.ops.modifyInstance(c.ctx, c.ns, inst, p.flag("IncludeQualifiers", true), p.propertyList());
}

void createInstance(Call& c) {
  Params p(c.firstParam, {"NewInstance"});
  CIMObjectPath path =
      c.ops.createInstance(c.ctx, c.ns, cx::readInstance(p.required("NewInstance")));
  cx::writeInstanceName(c.out, path);
  c.hasResult = true;
}

void deleteInstance(Call& c) {
  Params p(c.firstParam, {"InstanceName"});
  c.ops.deleteInstance(c.ctx, c.ns, cx::readInstanceName(p.required("InstanceName")));
}

void getClass(Call& c) {
  Params p(c.firstParam,
           {"ClassName", "LocalOnly", "IncludeQualifiers", "IncludeClassOrigin", "PropertyList"});
  const bool iq = p.flag("IncludeQualifiers", true), ico = p.flag("IncludeClassOrigin", false);
  CIMClass cls = c.ops.getClass(c.ctx, c.ns, p.className("ClassName", true),
                                p.flag("LocalOnly", true), iq, ico, p.propertyList());
  cx::writeClass(c.out, cls, iq, ico);
  c.hasResult = true;
}

void enumerateClassNames(Call& c) {
  Params p(c.firstParam, {"ClassName", "DeepInheritance"});
  auto names = c.ops.enumerateClassNames(c.ctx, c.ns, p.className("ClassName", false),
                                         p.flag("DeepInheritance", false));
  for (Uint32 i = 0; i < names.size(); ++i) {
    c.out += "<CLASSNAME NAME=\"";
    cx::appendAttrEscaped(c.out, cx::utf8(names[i].getString()));
    c.out += "\"></CLASSNAME>";
  }
  c.hasResult = names.size() > 0;
}

void enumerateClasses(Call& c) {
  Params p(c.firstParam, {"ClassName", "DeepInheritance", "LocalOnly", "IncludeQualifiers",
                          "IncludeClassOrigin"});
  const bool iq = p.flag("IncludeQualifiers", true), ico = p.flag("IncludeClassOrigin", false);
  auto classes =
      c.ops.enumerateClasses(c.ctx, c.ns, p.className("ClassName", false),
                             p.flag("DeepInheritance", false), p.flag("LocalOnly", true), iq, ico);
  for (Uint32 i = 0; i < classes.size(); ++i) cx::writeClass(c.out, classes[i], iq, ico);
  c.hasResult = classes.size() > 0;
}

CIMName propertyName(const Params& p) {
  pugi::xml_node v = p.required("PropertyName");
  if (!cx::is(v, "VALUE")) invalidParameter("PropertyName must be a VALUE");
  try {
    return CIMName(cx::fromUtf8(v.text().get()));
  } catch (const Exception&) {
    invalidParameter(std::string("invalid property name \"") + v.text().get() + "\"");
  }
}

// GetProperty and SetProperty have no provider operation of their own: they are
// GetInstance and ModifyInstance narrowed to one property.
void getProperty(Call& c) {
  Params p(c.firstParam, {"InstanceName", "PropertyName"});
  CIMObjectPath name = cx::readInstanceName(p.required("InstanceName"));
  CIMName prop = propertyName(p);
  Array<CIMName> only;
  only.append(prop);
  CIMInstance inst =
      c.ops.getInstance(c.ctx, c.ns, name, false, false, false, CIMPropertyList(only));
  Uint32 at = inst.findProperty(prop);
  if (at == PEG_NOT_FOUND) throw CIMException(CIM_ERR_NO_SUCH_PROPERTY, prop.getString());
  CIMValue v = inst.getProperty(at).getValue();
  cx::writeValue(c.out, v);
  c.hasResult = !v.isNull();
}

void setProperty(Call& c) {
  Params p(c.firstParam, {"InstanceName", "PropertyName", "NewValue"});
  CIMObjectPath name = cx::readInstanceName(p.required("InstanceName"));
  CIMName prop = propertyName(p);
  // The wire value carries no type; the class declaration supplies it.
  CIMClass cls =
      c.ops.getClass(c.ctx, c.ns, name.getClassName(), false, false, false, CIMPropertyList());
  Uint32 at = cls.findProperty(prop);
  if (at == PEG_NOT_FOUND) throw CIMException(CIM_ERR_NO_SUCH_PROPERTY, prop.getString());
  CIMConstProperty decl = cls.getProperty(at);
  CIMValue v = cx::readValue(p.value("NewValue"), decl.getType(), decl.isArray());
  CIMInstance inst(name.getClassName());
  inst.addProperty(CIMProperty(decl.getName(), v, 0, decl.getReferenceClassName()));
  inst.setPath(name);
  Array<CIMName> only;
  only.append(prop);
  c.ops.modifyInstance(c.ctx, c.ns, inst, false, CIMPropertyList(only));
}

const std::map<std::string, Handler>& handlers() {
  static const std::map<std::string, Handler> table = {
      {"enumerateinstances", enumerateInstances},
      {"enumerateinstancenames", enumerateInstanceNames},
      {"getinstance", getInstance},
      {"modifyinstance", modifyInstance},
      {"createinstance", createInstance},
      {"deleteinstance", deleteInstance},
      {"getclass", getClass},
      {"enumerateclassnames", enumerateClassNames},
      {"enumerateclasses", enumerateClasses},
      {"getproperty", getProperty},
      {"setproperty", setProperty},
  };
  return table;
}

// Runs `f`, turning whatever it throws into a CIM status code and message.
template <typename F>
bool runCaught(F&& f, unsigned& code, std::string& message) {
  try {
    f();
    return true;
  } catch (const CIMException& e) {
    code = static_cast<unsigned>(e.getCode());
    message = cx::utf8(e.getMessage());
  } catch (const cx::CimXmlError& e) {
    code = CIM_ERR_INVALID_PARAMETER;
    message = e.what();
  } catch (const Exception& e) {
    code = CIM_ERR_FAILED;
    message = cx::utf8(e.getMessage());
  } catch (const std::exception& e) {
    code = CIM_ERR_FAILED;
    message = e.what();
  } catch (...) {
    code = CIM_ERR_FAILED;
    message = "Unknown error.";
  }
  if (code == CIM_ERR_SUCCESS) code = CIM_ERR_FAILED;  // a "success" thrown is still a failure
  return false;
}

void openResponse(std::string& out, const char* element, const char* name) {
  out += '<';
  out += element;
  out += " NAME=\"";
  cx::appendAttrEscaped(out, name);
  out += "\">";
}

}  // namespace

void appendError(std::string& out, unsigned code, const std::string& message) {
  std::string description = cimStatusCodeToString(static_cast<CIMStatusCode>(code));
  if (!message.empty()) description += ": " + message;
  out += "<ERROR CODE=\"" + std::to_string(code) + "\" DESCRIPTION=\"";
  cx::appendAttrEscaped(out, description);
  out += "\"></ERROR>";
}

void dispatchIntrinsic(CimOperations& ops, const OperationContext& ctx, pugi::xml_node call,
                       std::string& out) {
  const char* name = call.attribute("NAME").value();
  openResponse(out, "IMETHODRESPONSE", name);
  // Results are written in place behind an IRETURNVALUE start tag; a failure
  // part-way cuts the output back to `mark` and writes the ERROR instead.
  const std::size_t mark = out.size();
  out += "<IRETURNVALUE>";
  std::string& result = out;
  bool hasResult = false;
  unsigned code = 0;
  std::string message;
  const bool ok = runCaught(
      [&] {
        auto it = handlers().find(lower(name));
        if (it == handlers().end())
          throw CIMException(CIM_ERR_NOT_SUPPORTED, cx::fromUtf8(std::string("operation ") + name));
        pugi::xml_node nsNode = cx::firstElement(call);
        Call c{ops, ctx, cx::readLocalNamespacePath(nsNode), cx::nextElement(nsNode), result};
        it->second(c);
        hasResult = c.hasResult;
      },
      code, message);
  if (!ok || !hasResult) out.resize(mark);
  if (!ok) appendError(out, code, message);
  // Never <IRETURNVALUE/>: some clients cannot parse the empty-element form, so an
  // empty result has no IRETURNVALUE at all.
  else if (hasResult)
    out += "</IRETURNVALUE>";
  out += "</IMETHODRESPONSE>";
}

void dispatchExtrinsic(CimOperations& ops, const OperationContext& ctx, pugi::xml_node call,
                       std::string& out) {
  const char* name = call.attribute("NAME").value();
  openResponse(out, "METHODRESPONSE", name);
  std::string result;
  unsigned code = 0;
  std::string message;
  const bool ok = runCaught(
      [&] {
        CIMName method = cx::nameAttr(call, "NAME");
        pugi::xml_node target = cx::firstElement(call);
        if (!cx::is(target, "LOCALINSTANCEPATH") && !cx::is(target, "LOCALCLASSPATH"))
          invalidParameter("METHODCALL needs a LOCALINSTANCEPATH or LOCALCLASSPATH");
        CIMObjectPath path = cx::readLocalObjectPath(target);
        Array<CIMParamValue> in;
        std::vector<std::string> seen;
        for (pugi::xml_node p = cx::nextElement(target); p; p = cx::nextElement(p)) {
          if (!cx::is(p, "PARAMVALUE"))
            invalidParameter(std::string("unexpected <") + p.name() + ">");
          CIMParamValue pv = cx::readParamValue(p);
          std::string key = lower(cx::utf8(pv.getParameterName()));
          if (std::find(seen.begin(), seen.end(), key) != seen.end())
            invalidParameter("duplicate parameter " + cx::utf8(pv.getParameterName()));
          seen.push_back(key);
          in.append(pv);
        }
        MethodOutcome r = ops.invokeMethod(ctx, path.getNameSpace(), path, method, in);
        if (!r.returnValue.isNull()) {
          result += "<RETURNVALUE PARAMTYPE=\"";
          result += cx::typeName(r.returnValue.getType());
          result += "\">";
          cx::writeValue(result, r.returnValue);
          result += "</RETURNVALUE>";
        }
        for (Uint32 i = 0; i < r.outParameters.size(); ++i)
          cx::writeParamValue(result, r.outParameters[i]);
      },
      code, message);
  if (ok)
    out += result;
  else
    appendError(out, code, message);
  out += "</METHODRESPONSE>";
}

}  // namespace mgmt::cimom
