#include "ParamTyping.h"

#include "NameKey.h"

#include <Pegasus/Common/CIMDateTime.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParameter.h>
#include <Pegasus/Common/Exception.h>

#include <type_traits>
#include <unordered_set>

#include "CimNumber.h"

using namespace Pegasus;

namespace mgmt::cimom {
namespace {

[[noreturn]] void Invalid(const std::string& what) {
  throw CIMException(CIM_ERR_INVALID_PARAMETER, String(what.c_str()));
}

template <class T>
T ParseNumber(const std::string& text) {
  T out{};
  mgmt::broker::NumberStatus status;
  if constexpr (std::is_floating_point_v<T>)
    status = mgmt::broker::ParseReal(text, out);
  else
    status = mgmt::broker::ParseInteger(text, out);
  if (status == mgmt::broker::NumberStatus::kOutOfRange) Invalid("'" + text + "' is out of range");
  if (status != mgmt::broker::NumberStatus::kOk)
    Invalid("'" + text +
            (std::is_floating_point_v<T> ? "' is not a real number" : "' is not an integer"));
  return out;
}

std::string TextOf(const String& s) { return ToStd(s); }

template <class T, class Conv>
CIMValue ConvertArray(const Array<String>& texts, Conv conv) {
  Array<T> out;
  out.reserveCapacity(texts.size());
  for (Uint32 i = 0; i < texts.size(); ++i) out.append(conv(texts[i]));
  return CIMValue(out);
}

}  // namespace

CIMValue ConvertTexts(const Array<String>& texts, CIMType type) {
  auto scalar = [type](const String& s) { return ConvertText(TextOf(s), type); };
  auto as = [&](auto tag) {
    using T = decltype(tag);
    return ConvertArray<T>(texts, [&](const String& s) {
      T v{};
      scalar(s).get(v);
      return v;
    });
  };
  switch (type) {
    case CIMTYPE_BOOLEAN:
      return as(Boolean{});
    case CIMTYPE_UINT8:
      return as(Uint8{});
    case CIMTYPE_SINT8:
      return as(Sint8{});
    case CIMTYPE_UINT16:
      return as(Uint16{});
    case CIMTYPE_SINT16:
      return as(Sint16{});
    case CIMTYPE_UINT32:
      return as(Uint32{});
    case CIMTYPE_SINT32:
      return as(Sint32{});
    case CIMTYPE_UINT64:
      return as(Uint64{});
    case CIMTYPE_SINT64:
      return as(Sint64{});
    case CIMTYPE_REAL32:
      return as(Real32{});
    case CIMTYPE_REAL64:
      return as(Real64{});
    case CIMTYPE_CHAR16:
      return as(Char16{});
    case CIMTYPE_STRING:
      return CIMValue(texts);
    case CIMTYPE_DATETIME:
      return as(CIMDateTime{});
    case CIMTYPE_REFERENCE:
      return as(CIMObjectPath{});
    default:
      Invalid(std::string("parameters of type ") + cimTypeToString(type) + " are not supported");
  }
}

CIMValue ConvertText(const std::string& text, CIMType type) {
  switch (type) {
    case CIMTYPE_BOOLEAN: {
      std::string folded = FoldCase(text);
      if (folded == "true") return CIMValue(Boolean(true));
      if (folded == "false") return CIMValue(Boolean(false));
      Invalid("'" + text + "' is not a boolean");
    }
    case CIMTYPE_UINT8:
      return CIMValue(ParseNumber<Uint8>(text));
    case CIMTYPE_SINT8:
      return CIMValue(ParseNumber<Sint8>(text));
    case CIMTYPE_UINT16:
      return CIMValue(ParseNumber<Uint16>(text));
    case CIMTYPE_SINT16:
      return CIMValue(ParseNumber<Sint16>(text));
    case CIMTYPE_UINT32:
      return CIMValue(ParseNumber<Uint32>(text));
    case CIMTYPE_SINT32:
      return CIMValue(ParseNumber<Sint32>(text));
    case CIMTYPE_UINT64:
      return CIMValue(ParseNumber<Uint64>(text));
    case CIMTYPE_SINT64:
      return CIMValue(ParseNumber<Sint64>(text));
    case CIMTYPE_REAL32:
      return CIMValue(ParseNumber<Real32>(text));
    case CIMTYPE_REAL64:
      return CIMValue(ParseNumber<Real64>(text));
    case CIMTYPE_CHAR16: {
      String s(text.c_str());
      if (s.size() != 1) Invalid("'" + text + "' is not one character");
      return CIMValue(Char16(s[0]));
    }
    case CIMTYPE_STRING:
      return CIMValue(String(text.c_str()));
    case CIMTYPE_DATETIME:
      try {
        return CIMValue(CIMDateTime(String(text.c_str())));
      } catch (const Exception&) {
        Invalid("'" + text + "' is not a CIM datetime");
      }
    case CIMTYPE_REFERENCE:
      try {
        return CIMValue(CIMObjectPath(String(text.c_str())));
      } catch (const Exception&) {
        Invalid("'" + text + "' is not an object path");
      }
    default:
      Invalid(std::string("parameters of type ") + cimTypeToString(type) + " are not supported");
  }
}

Array<CIMParamValue> TypeParameters(const CIMConstMethod& method, const Array<CIMParamValue>& in) {
  const std::string methodName = ToStd(method.getName().getString());
  Array<CIMParamValue> out;
  std::unordered_set<std::string> seen;
  for (Uint32 i = 0; i < in.size(); ++i) {
    if (in[i].isUninitialized()) Invalid("uninitialized parameter of method " + methodName);
    String paramName = in[i].getParameterName();
    const std::string nameText = ToStd(paramName);
    if (!CIMName::legal(paramName)) Invalid("'" + nameText + "' is not a legal parameter name");
    Uint32 at = method.findParameter(CIMName(paramName));
    if (at == PEG_NOT_FOUND) Invalid("method " + methodName + " has no parameter " + nameText);
    if (!seen.insert(FoldCase(nameText)).second) Invalid("parameter " + nameText + " given twice");

    CIMConstParameter decl = method.getParameter(at);
    CIMValue value = in[i].getValue();
    CIMType want = decl.getType();
    bool wantArray = decl.isArray();
    CIMValue typed;
    try {
      if (value.isNull()) {
        typed = CIMValue(want, wantArray);
      } else if (value.getType() == want && value.isArray() == wantArray) {
        typed = value;
      } else if (value.getType() == CIMTYPE_STRING && value.isArray() == wantArray) {
        if (wantArray) {
          Array<String> texts;
          value.get(texts);
          typed = ConvertTexts(texts, want);
        } else {
          String text;
          value.get(text);
          typed = ConvertText(TextOf(text), want);
        }
      } else {
        Invalid("parameter " + nameText + " must be " + (wantArray ? "an array of " : "") +
                cimTypeToString(want));
      }
    } catch (const CIMException& e) {
      if (e.getCode() != CIM_ERR_INVALID_PARAMETER) throw;
      String message = e.getMessage();
      std::string text = ToStd(message);
      if (text.rfind("parameter ", 0) == 0 || text.rfind("method ", 0) == 0) throw;
      Invalid("parameter " + nameText + ": " + text);
    }
    out.append(CIMParamValue(decl.getName().getString(), typed, true));
  }
  return out;
}

}  // namespace mgmt::cimom
