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

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

[[noreturn]] void InvalidParameter(const std::string& message) {
  throw CIMException(CIM_ERR_INVALID_PARAMETER, cx::FromUtf8(message));
}

// The IPARAMVALUEs of a call, by lower-cased name, checked against what the
// operation accepts.
class Params {
 public:
  Params(pugi::xml_node first, std::initializer_list<const char*> allowed) {
    for (pugi::xml_node p = first; p; p = cx::NextElement(p)) {
      if (!cx::Is(p, "IPARAMVALUE")) InvalidParameter(std::string("unexpected <") + p.name() + ">");
      pugi::xml_attribute name = p.attribute("NAME");
      if (!name) InvalidParameter("IPARAMVALUE without NAME");
      const std::string key = Lower(name.value());
      if (std::none_of(allowed.begin(), allowed.end(),
                       [&](const char* a) { return key == Lower(a); }))
        throw CIMException(CIM_ERR_NOT_SUPPORTED,
                           cx::FromUtf8(std::string("unknown parameter ") + name.value()));
      if (!byName_.emplace(key, p).second)
        InvalidParameter(std::string("duplicate parameter ") + name.value());
    }
  }

  // The parameter's value element, or an empty node when absent or NULL.
  pugi::xml_node Value(const char* name) const {
    auto it = byName_.find(Lower(name));
    return it == byName_.end() ? pugi::xml_node() : cx::FirstElement(it->second);
  }
  pugi::xml_node Required(const char* name) const {
    pugi::xml_node v = Value(name);
    if (!v) InvalidParameter(std::string("missing parameter ") + name);
    return v;
  }

  bool Flag(const char* name, bool fallback) const {
    pugi::xml_node v = Value(name);
    if (!v) return fallback;
    if (!cx::Is(v, "VALUE")) InvalidParameter(std::string(name) + " must be a boolean VALUE");
    CIMValue b = cx::ScalarFromText(CIMTYPE_BOOLEAN, v.text().get());
    Boolean out = fallback;
    b.get(out);
    return out;
  }

  CIMName ClassName(const char* name, bool isRequired) const {
    pugi::xml_node v = isRequired ? Required(name) : Value(name);
    if (!v) return CIMName();
    if (!cx::Is(v, "CLASSNAME")) InvalidParameter(std::string(name) + " must be a CLASSNAME");
    return cx::NameAttr(v, "NAME");
  }

  CIMPropertyList PropertyList() const {
    pugi::xml_node v = Value("PropertyList");
    if (!v) return CIMPropertyList();
    if (!cx::Is(v, "VALUE.ARRAY")) InvalidParameter("PropertyList must be a VALUE.ARRAY");
    Array<CIMName> names;
    for (pugi::xml_node e = cx::FirstElement(v); e; e = cx::NextElement(e)) {
      if (!cx::Is(e, "VALUE")) InvalidParameter("PropertyList holds a non-VALUE");
      try {
        names.append(CIMName(cx::FromUtf8(e.text().get())));
      } catch (const Exception&) {
        InvalidParameter(std::string("invalid property name \"") + e.text().get() + "\"");
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

void EnumerateInstances(Call& c) {
  Params p(c.firstParam, {"ClassName", "DeepInheritance", "LocalOnly", "IncludeQualifiers",
                          "IncludeClassOrigin", "PropertyList"});
  const bool iq = p.Flag("IncludeQualifiers", false), ico = p.Flag("IncludeClassOrigin", false);
  auto result = c.ops.EnumerateInstances(c.ctx, c.ns, p.ClassName("ClassName", true),
                                         p.Flag("DeepInheritance", true), p.Flag("LocalOnly", true),
                                         iq, ico, p.PropertyList());
  for (Uint32 i = 0; i < result.size(); ++i) cx::WriteNamedInstance(c.out, result[i], iq, ico);
  c.hasResult = result.size() > 0;
}

void EnumerateInstanceNames(Call& c) {
  Params p(c.firstParam, {"ClassName"});
  auto result = c.ops.EnumerateInstanceNames(c.ctx, c.ns, p.ClassName("ClassName", true));
  for (Uint32 i = 0; i < result.size(); ++i) cx::WriteInstanceName(c.out, result[i]);
  c.hasResult = result.size() > 0;
}

void GetInstance(Call& c) {
  Params p(c.firstParam, {"InstanceName", "LocalOnly", "IncludeQualifiers", "IncludeClassOrigin",
                          "PropertyList"});
  const bool iq = p.Flag("IncludeQualifiers", false), ico = p.Flag("IncludeClassOrigin", false);
  CIMObjectPath name = cx::ReadInstanceName(p.Required("InstanceName"));
  CIMInstance inst =
      c.ops.GetInstance(c.ctx, c.ns, name, p.Flag("LocalOnly", true), iq, ico, p.PropertyList());
  cx::WriteInstance(c.out, inst, iq, ico);
  c.hasResult = true;
}

void ModifyInstance(Call& c) {
  Params p(c.firstParam, {"ModifiedInstance", "IncludeQualifiers", "PropertyList"});
  CIMInstance inst = cx::ReadNamedInstance(p.Required("ModifiedInstance"));
  c.ops.ModifyInstance(c.ctx, c.ns, inst, p.Flag("IncludeQualifiers", true), p.PropertyList());
}

void CreateInstance(Call& c) {
  Params p(c.firstParam, {"NewInstance"});
  CIMObjectPath path =
      c.ops.CreateInstance(c.ctx, c.ns, cx::ReadInstance(p.Required("NewInstance")));
  cx::WriteInstanceName(c.out, path);
  c.hasResult = true;
}

void DeleteInstance(Call& c) {
  Params p(c.firstParam, {"InstanceName"});
  c.ops.DeleteInstance(c.ctx, c.ns, cx::ReadInstanceName(p.Required("InstanceName")));
}

void GetClass(Call& c) {
  Params p(c.firstParam,
           {"ClassName", "LocalOnly", "IncludeQualifiers", "IncludeClassOrigin", "PropertyList"});
  const bool iq = p.Flag("IncludeQualifiers", true), ico = p.Flag("IncludeClassOrigin", false);
  CIMClass cls = c.ops.GetClass(c.ctx, c.ns, p.ClassName("ClassName", true),
                                p.Flag("LocalOnly", true), iq, ico, p.PropertyList());
  cx::WriteClass(c.out, cls, iq, ico);
  c.hasResult = true;
}

void EnumerateClassNames(Call& c) {
  Params p(c.firstParam, {"ClassName", "DeepInheritance"});
  auto names = c.ops.EnumerateClassNames(c.ctx, c.ns, p.ClassName("ClassName", false),
                                         p.Flag("DeepInheritance", false));
  for (Uint32 i = 0; i < names.size(); ++i) {
    c.out += "<CLASSNAME NAME=\"";
    cx::AppendAttrEscaped(c.out, cx::Utf8(names[i].getString()));
    c.out += "\"></CLASSNAME>";
  }
  c.hasResult = names.size() > 0;
}

void EnumerateClasses(Call& c) {
  Params p(c.firstParam, {"ClassName", "DeepInheritance", "LocalOnly", "IncludeQualifiers",
                          "IncludeClassOrigin"});
  const bool iq = p.Flag("IncludeQualifiers", true), ico = p.Flag("IncludeClassOrigin", false);
  auto classes =
      c.ops.EnumerateClasses(c.ctx, c.ns, p.ClassName("ClassName", false),
                             p.Flag("DeepInheritance", false), p.Flag("LocalOnly", true), iq, ico);
  for (Uint32 i = 0; i < classes.size(); ++i) cx::WriteClass(c.out, classes[i], iq, ico);
  c.hasResult = classes.size() > 0;
}

CIMName PropertyName(const Params& p) {
  pugi::xml_node v = p.Required("PropertyName");
  if (!cx::Is(v, "VALUE")) InvalidParameter("PropertyName must be a VALUE");
  try {
    return CIMName(cx::FromUtf8(v.text().get()));
  } catch (const Exception&) {
    InvalidParameter(std::string("invalid property name \"") + v.text().get() + "\"");
  }
}

// GetProperty and SetProperty have no provider operation of their own: they are
// GetInstance and ModifyInstance narrowed to one property.
void GetProperty(Call& c) {
  Params p(c.firstParam, {"InstanceName", "PropertyName"});
  CIMObjectPath name = cx::ReadInstanceName(p.Required("InstanceName"));
  CIMName prop = PropertyName(p);
  Array<CIMName> only;
  only.append(prop);
  CIMInstance inst =
      c.ops.GetInstance(c.ctx, c.ns, name, false, false, false, CIMPropertyList(only));
  Uint32 at = inst.findProperty(prop);
  if (at == PEG_NOT_FOUND) throw CIMException(CIM_ERR_NO_SUCH_PROPERTY, prop.getString());
  CIMValue v = inst.getProperty(at).getValue();
  cx::WriteValue(c.out, v);
  c.hasResult = !v.isNull();
}

void SetProperty(Call& c) {
  Params p(c.firstParam, {"InstanceName", "PropertyName", "NewValue"});
  CIMObjectPath name = cx::ReadInstanceName(p.Required("InstanceName"));
  CIMName prop = PropertyName(p);
  // The wire value carries no type; the class declaration supplies it.
  CIMClass cls =
      c.ops.GetClass(c.ctx, c.ns, name.getClassName(), false, false, false, CIMPropertyList());
  Uint32 at = cls.findProperty(prop);
  if (at == PEG_NOT_FOUND) throw CIMException(CIM_ERR_NO_SUCH_PROPERTY, prop.getString());
  CIMConstProperty decl = cls.getProperty(at);
  CIMValue v = cx::ReadValue(p.Value("NewValue"), decl.getType(), decl.isArray());
  CIMInstance inst(name.getClassName());
  inst.addProperty(CIMProperty(decl.getName(), v, 0, decl.getReferenceClassName()));
  inst.setPath(name);
  Array<CIMName> only;
  only.append(prop);
  c.ops.ModifyInstance(c.ctx, c.ns, inst, false, CIMPropertyList(only));
}

const std::map<std::string, Handler>& Handlers() {
  static const std::map<std::string, Handler> kTable = {
      {"enumerateinstances", EnumerateInstances},
      {"enumerateinstancenames", EnumerateInstanceNames},
      {"getinstance", GetInstance},
      {"modifyinstance", ModifyInstance},
      {"createinstance", CreateInstance},
      {"deleteinstance", DeleteInstance},
      {"getclass", GetClass},
      {"enumerateclassnames", EnumerateClassNames},
      {"enumerateclasses", EnumerateClasses},
      {"getproperty", GetProperty},
      {"setproperty", SetProperty},
  };
  return kTable;
}

// Runs `f`, turning whatever it throws into a CIM status code and message.
template <typename F>
bool RunCaught(F&& f, unsigned& code, std::string& message) {
  try {
    f();
    return true;
  } catch (const CIMException& e) {
    code = static_cast<unsigned>(e.getCode());
    message = cx::Utf8(e.getMessage());
  } catch (const cx::CimXmlError& e) {
    code = CIM_ERR_INVALID_PARAMETER;
    message = e.what();
  } catch (const Exception& e) {
    code = CIM_ERR_FAILED;
    message = cx::Utf8(e.getMessage());
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

void OpenResponse(std::string& out, const char* element, const char* name) {
  out += '<';
  out += element;
  out += " NAME=\"";
  cx::AppendAttrEscaped(out, name);
  out += "\">";
}

}  // namespace

void AppendError(std::string& out, unsigned code, const std::string& message) {
  std::string description = cimStatusCodeToString(static_cast<CIMStatusCode>(code));
  if (!message.empty()) description += ": " + message;
  out += "<ERROR CODE=\"" + std::to_string(code) + "\" DESCRIPTION=\"";
  cx::AppendAttrEscaped(out, description);
  out += "\"></ERROR>";
}

void DispatchIntrinsic(CimOperations& ops, const OperationContext& ctx, pugi::xml_node call,
                       std::string& out) {
  const char* name = call.attribute("NAME").value();
  OpenResponse(out, "IMETHODRESPONSE", name);
  // Results are written in place behind an IRETURNVALUE start tag; a failure
  // part-way cuts the output back to `mark` and writes the ERROR instead.
  const std::size_t mark = out.size();
  out += "<IRETURNVALUE>";
  std::string& result = out;
  bool hasResult = false;
  unsigned code = 0;
  std::string message;
  const bool ok = RunCaught(
      [&] {
        auto it = Handlers().find(Lower(name));
        if (it == Handlers().end())
          throw CIMException(CIM_ERR_NOT_SUPPORTED, cx::FromUtf8(std::string("operation ") + name));
        pugi::xml_node nsNode = cx::FirstElement(call);
        Call c{ops, ctx, cx::ReadLocalNamespacePath(nsNode), cx::NextElement(nsNode), result};
        it->second(c);
        hasResult = c.hasResult;
      },
      code, message);
  if (!ok || !hasResult) out.resize(mark);
  if (!ok) AppendError(out, code, message);
  // Never <IRETURNVALUE/>: some clients cannot parse the empty-element form, so an
  // empty result has no IRETURNVALUE at all.
  else if (hasResult)
    out += "</IRETURNVALUE>";
  out += "</IMETHODRESPONSE>";
}

void DispatchExtrinsic(CimOperations& ops, const OperationContext& ctx, pugi::xml_node call,
                       std::string& out) {
  const char* name = call.attribute("NAME").value();
  OpenResponse(out, "METHODRESPONSE", name);
  std::string result;
  unsigned code = 0;
  std::string message;
  const bool ok = RunCaught(
      [&] {
        CIMName method = cx::NameAttr(call, "NAME");
        pugi::xml_node target = cx::FirstElement(call);
        if (!cx::Is(target, "LOCALINSTANCEPATH") && !cx::Is(target, "LOCALCLASSPATH"))
          InvalidParameter("METHODCALL needs a LOCALINSTANCEPATH or LOCALCLASSPATH");
        CIMObjectPath path = cx::ReadLocalObjectPath(target);
        Array<CIMParamValue> in;
        std::vector<std::string> seen;
        for (pugi::xml_node p = cx::NextElement(target); p; p = cx::NextElement(p)) {
          if (!cx::Is(p, "PARAMVALUE"))
            InvalidParameter(std::string("unexpected <") + p.name() + ">");
          CIMParamValue pv = cx::ReadParamValue(p);
          std::string key = Lower(cx::Utf8(pv.getParameterName()));
          if (std::find(seen.begin(), seen.end(), key) != seen.end())
            InvalidParameter("duplicate parameter " + cx::Utf8(pv.getParameterName()));
          seen.push_back(key);
          in.append(pv);
        }
        MethodOutcome r = ops.InvokeMethod(ctx, path.getNameSpace(), path, method, in);
        if (!r.returnValue.isNull()) {
          result += "<RETURNVALUE PARAMTYPE=\"";
          result += cx::TypeName(r.returnValue.getType());
          result += "\">";
          cx::WriteValue(result, r.returnValue);
          result += "</RETURNVALUE>";
        }
        for (Uint32 i = 0; i < r.outParameters.size(); ++i)
          cx::WriteParamValue(result, r.outParameters[i]);
      },
      code, message);
  if (ok)
    out += result;
  else
    AppendError(out, code, message);
  out += "</METHODRESPONSE>";
}

}  // namespace mgmt::cimom
