#include "ParamTyping.h"

#include "NameKey.h"

#include <Pegasus/Common/CIMDateTime.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParameter.h>
#include <Pegasus/Common/Exception.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <unordered_set>

using namespace Pegasus;

namespace mgmt::cimom {
namespace {

[[noreturn]] void invalid(const std::string& what) {
  throw CIMException(CIM_ERR_INVALID_PARAMETER, String(what.c_str()));
}

template <class T>
T parseInteger(const std::string& text) {
  std::string_view s = text;
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  bool negative = !s.empty() && s.front() == '-';
  std::string_view digits = negative ? s.substr(1) : s;
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  if (digits.empty() || digits.front() == '-' || digits.front() == '+')
    invalid("'" + text + "' is not an integer");
  using Wide = std::conditional_t<std::is_signed_v<T>, long long, unsigned long long>;
  Wide magnitude{};
  if constexpr (std::is_signed_v<T>) {
    unsigned long long m = 0;
    auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), m, base);
    if (ec != std::errc() || p != digits.data() + digits.size())
      invalid("'" + text + "' is not an integer");
    const unsigned long long limit =
        negative ? static_cast<unsigned long long>(std::numeric_limits<T>::max()) + 1
                 : static_cast<unsigned long long>(std::numeric_limits<T>::max());
    if (m > limit) invalid("'" + text + "' is out of range");
    magnitude =
        negative ? static_cast<Wide>(-static_cast<long long>(m - 1) - 1) : static_cast<Wide>(m);
  } else {
    if (negative) invalid("'" + text + "' is out of range");
    auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    if (ec != std::errc() || p != digits.data() + digits.size())
      invalid("'" + text + "' is not an integer");
    if (magnitude > std::numeric_limits<T>::max()) invalid("'" + text + "' is out of range");
  }
  return static_cast<T>(magnitude);
}

double parseReal(const std::string& text, bool single) {
  if (text.empty()) invalid("empty text is not a real number");
  char* end = nullptr;
  double d = std::strtod(text.c_str(), &end);
  if (end == nullptr || *end != '\0' || !std::isfinite(d))
    invalid("'" + text + "' is not a real number");
  if (single && std::fabs(d) > std::numeric_limits<float>::max())
    invalid("'" + text + "' is out of range");
  return d;
}

std::string textOf(const String& s) { return toStd(s); }

template <class T, class Conv>
CIMValue convertArray(const Array<String>& texts, Conv conv) {
  Array<T> out;
  out.reserveCapacity(texts.size());
  for (Uint32 i = 0; i < texts.size(); ++i) out.append(conv(texts[i]));
  return CIMValue(out);
}

CIMValue convertTextArray(const Array<String>& texts, CIMType type) {
  auto scalar = [type](const String& s) { return convertText(textOf(s), type); };
  auto as = [&](auto tag) {
    using T = decltype(tag);
    return convertArray<T>(texts, [&](const String& s) {
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
      invalid(std::string("parameters of type ") + cimTypeToString(type) + " are not supported");
  }
}

}  // namespace

CIMValue convertText(const std::string& text, CIMType type) {
  switch (type) {
    case CIMTYPE_BOOLEAN: {
      std::string folded = foldCase(text);
      if (folded == "true") return CIMValue(Boolean(true));
      if (folded == "false") return CIMValue(Boolean(false));
      invalid("'" + text + "' is not a boolean");
    }
    case CIMTYPE_UINT8:
      return CIMValue(parseInteger<Uint8>(text));
    case CIMTYPE_SINT8:
      return CIMValue(parseInteger<Sint8>(text));
    case CIMTYPE_UINT16:
      return CIMValue(parseInteger<Uint16>(text));
    case CIMTYPE_SINT16:
      return CIMValue(parseInteger<Sint16>(text));
    case CIMTYPE_UINT32:
      return CIMValue(parseInteger<Uint32>(text));
    case CIMTYPE_SINT32:
      return CIMValue(parseInteger<Sint32>(text));
    case CIMTYPE_UINT64:
      return CIMValue(parseInteger<Uint64>(text));
    case CIMTYPE_SINT64:
      return CIMValue(parseInteger<Sint64>(text));
    case CIMTYPE_REAL32:
      return CIMValue(static_cast<Real32>(parseReal(text, true)));
    case CIMTYPE_REAL64:
      return CIMValue(static_cast<Real64>(parseReal(text, false)));
    case CIMTYPE_CHAR16: {
      String s(text.c_str());
      if (s.size() != 1) invalid("'" + text + "' is not one character");
      return CIMValue(Char16(s[0]));
    }
    case CIMTYPE_STRING:
      return CIMValue(String(text.c_str()));
    case CIMTYPE_DATETIME:
      try {
        return CIMValue(CIMDateTime(String(text.c_str())));
      } catch (const Exception&) {
        invalid("'" + text + "' is not a CIM datetime");
      }
    case CIMTYPE_REFERENCE:
      try {
        return CIMValue(CIMObjectPath(String(text.c_str())));
      } catch (const Exception&) {
        invalid("'" + text + "' is not an object path");
      }
    default:
      invalid(std::string("parameters of type ") + cimTypeToString(type) + " are not supported");
  }
}

Array<CIMParamValue> typeParameters(const CIMConstMethod& method, const Array<CIMParamValue>& in) {
  const std::string methodName = toStd(method.getName().getString());
  Array<CIMParamValue> out;
  std::unordered_set<std::string> seen;
  for (Uint32 i = 0; i < in.size(); ++i) {
    if (in[i].isUninitialized()) invalid("uninitialized parameter of method " + methodName);
    String paramName = in[i].getParameterName();
    const std::string nameText = toStd(paramName);
    if (!CIMName::legal(paramName)) invalid("'" + nameText + "' is not a legal parameter name");
    Uint32 at = method.findParameter(CIMName(paramName));
    if (at == PEG_NOT_FOUND) invalid("method " + methodName + " has no parameter " + nameText);
    if (!seen.insert(foldCase(nameText)).second) invalid("parameter " + nameText + " given twice");

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
          typed = convertTextArray(texts, want);
        } else {
          String text;
          value.get(text);
          typed = convertText(textOf(text), want);
        }
      } else {
        invalid("parameter " + nameText + " must be " + (wantArray ? "an array of " : "") +
                cimTypeToString(want));
      }
    } catch (const CIMException& e) {
      if (e.getCode() != CIM_ERR_INVALID_PARAMETER) throw;
      String message = e.getMessage();
      std::string text = toStd(message);
      if (text.rfind("parameter ", 0) == 0 || text.rfind("method ", 0) == 0) throw;
      invalid("parameter " + nameText + ": " + text);
    }
    out.append(CIMParamValue(decl.getName().getString(), typed, true));
  }
  return out;
}

}  // namespace mgmt::cimom
