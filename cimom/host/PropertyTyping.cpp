#include "PropertyTyping.h"

#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMQualifier.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>

#include <string>

#include "NameKey.h"
#include "ParamTyping.h"

using namespace Pegasus;

namespace mgmt::cimom {
namespace {

[[noreturn]] void Mismatch(const std::string& what) {
  throw CIMException(CIM_ERR_TYPE_MISMATCH, String(what.c_str()));
}

std::string Describe(CIMType type, bool isArray) {
  return std::string(isArray ? "an array of " : "") + cimTypeToString(type);
}

CIMValue TypedValue(const CIMConstProperty& decl, const CIMValue& value, const std::string& name) {
  const CIMType want = decl.getType();
  const bool wantArray = decl.isArray();
  if (value.isNull()) return CIMValue(want, wantArray);
  if (value.getType() == want && value.isArray() == wantArray) return value;
  if (value.getType() != CIMTYPE_STRING || value.isArray() != wantArray) {
    Mismatch("property " + name + " must be " + Describe(want, wantArray) + ", not " +
             Describe(value.getType(), value.isArray()));
  }
  try {
    if (wantArray) {
      Array<String> texts;
      value.get(texts);
      return ConvertTexts(texts, want);
    }
    String text;
    value.get(text);
    return ConvertText(ToStd(text), want);
  } catch (const CIMException& e) {
    Mismatch("property " + name + ": " + ToStd(e.getMessage()));
  }
}

}  // namespace

CIMInstance TypeProperties(const CIMConstClass& declaration, const CIMInstance& instance) {
  CIMInstance out(instance.getClassName());
  for (Uint32 i = 0; i < instance.getQualifierCount(); ++i)
    out.addQualifier(instance.getQualifier(i).clone());
  for (Uint32 i = 0; i < instance.getPropertyCount(); ++i) {
    const CIMConstProperty given = instance.getProperty(i);
    const std::string name = ToStd(given.getName().getString());
    const Uint32 at = declaration.findProperty(given.getName());
    if (at == PEG_NOT_FOUND) {
      throw CIMException(CIM_ERR_NO_SUCH_PROPERTY,
                         String(("class " + ToStd(declaration.getClassName().getString()) +
                                 " has no property " + name)
                                    .c_str()));
    }
    const CIMConstProperty decl = declaration.getProperty(at);
    CIMProperty typed(decl.getName(), TypedValue(decl, given.getValue(), name), 0,
                      decl.getReferenceClassName(), given.getClassOrigin(), given.getPropagated());
    for (Uint32 q = 0; q < given.getQualifierCount(); ++q)
      typed.addQualifier(given.getQualifier(q).clone());
    out.addProperty(typed);
  }
  if (!instance.getPath().getClassName().isNull()) out.setPath(instance.getPath());
  return out;
}

}  // namespace mgmt::cimom
