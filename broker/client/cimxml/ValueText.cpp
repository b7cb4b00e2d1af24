#include "cimxml/ValueText.h"

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMDateTime.h>
#include <Pegasus/Common/Char16.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/String.h>

#include <charconv>
#include <cmath>
#include <cstring>

#include "CimNumber.h"
#include "cimxml/CimXmlError.h"

using namespace Pegasus;

namespace mgmt::cimxml {

namespace {

struct TypeRow {
  CIMType type;
  const char* name;
};
constexpr TypeRow kTypes[] = {
    {CIMTYPE_BOOLEAN, "boolean"}, {CIMTYPE_UINT8, "uint8"},       {CIMTYPE_SINT8, "sint8"},
    {CIMTYPE_UINT16, "uint16"},   {CIMTYPE_SINT16, "sint16"},     {CIMTYPE_UINT32, "uint32"},
    {CIMTYPE_SINT32, "sint32"},   {CIMTYPE_UINT64, "uint64"},     {CIMTYPE_SINT64, "sint64"},
    {CIMTYPE_REAL32, "real32"},   {CIMTYPE_REAL64, "real64"},     {CIMTYPE_CHAR16, "char16"},
    {CIMTYPE_STRING, "string"},   {CIMTYPE_DATETIME, "datetime"}, {CIMTYPE_REFERENCE, "reference"},
};

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string Shown(const std::string& text) {
  return text.size() > 64 ? text.substr(0, 64) + "…" : text;
}

[[noreturn]] void Bad(CIMType type, const std::string& text) {
  throw CimXmlError(std::string("invalid ") + TypeName(type) + " value \"" + Shown(text) + "\"");
}

[[noreturn]] void OutOfRange(CIMType type, const std::string& text) {
  throw CimXmlError(std::string(TypeName(type)) + " value \"" + Shown(text) + "\" is out of range");
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && std::strchr(" \t\r\n", s.front())) s.remove_prefix(1);
  while (!s.empty() && std::strchr(" \t\r\n", s.back())) s.remove_suffix(1);
  return s;
}

template <typename T>
T ParseNumber(CIMType type, const std::string& text) {
  T out{};
  mgmt::broker::NumberStatus status;
  if constexpr (std::is_floating_point_v<T>)
    status = mgmt::broker::ParseReal(text, out);
  else
    status = mgmt::broker::ParseInteger(text, out);
  if (status == mgmt::broker::NumberStatus::kOutOfRange) OutOfRange(type, text);
  if (status != mgmt::broker::NumberStatus::kOk) Bad(type, text);
  return out;
}

// Shortest text that reads back to the same value; infinities and NaN in the
// spelling of XML Schema's float and double, which the reader takes back.
template <typename T>
std::string RealText(T x) {
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
  char buf[64];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, x);
  return ec == std::errc() ? std::string(buf, p) : std::string("0");
}

std::string Char16Text(Char16 c) {
  String s;
  s.append(c);
  return Utf8(s);
}

template <typename T>
std::string ScalarText(const T& x) {
  if constexpr (std::is_same_v<T, Boolean>)
    return x ? "TRUE" : "FALSE";
  else if constexpr (std::is_same_v<T, Uint8>)
    return std::to_string(static_cast<unsigned>(x));
  else if constexpr (std::is_same_v<T, Sint8>)
    return std::to_string(static_cast<int>(x));
  else if constexpr (std::is_integral_v<T>)
    return std::to_string(x);
  else if constexpr (std::is_floating_point_v<T>)
    return RealText(x);
  else if constexpr (std::is_same_v<T, Char16>)
    return Char16Text(x);
  else if constexpr (std::is_same_v<T, String>)
    return Utf8(x);
  else if constexpr (std::is_same_v<T, CIMDateTime>)
    return Utf8(x.toString());
  else
    return {};
}

template <typename T>
void AppendTexts(const CIMValue& v, std::vector<std::string>& out) {
  if (v.isArray()) {
    Array<T> a;
    v.get(a);
    out.reserve(a.size());
    for (Uint32 i = 0; i < a.size(); ++i) out.push_back(ScalarText(a[i]));
  } else {
    T x{};
    v.get(x);
    out.push_back(ScalarText(x));
  }
}

template <typename T>
T ParseScalar(CIMType type, const std::string& text) {
  if constexpr (std::is_same_v<T, Boolean>) {
    std::string_view t = Trimmed(text);
    if (EqualsNoCase(t, "true")) return true;
    if (EqualsNoCase(t, "false")) return false;
    Bad(type, text);
  } else if constexpr (std::is_integral_v<T> || std::is_floating_point_v<T>) {
    return ParseNumber<T>(type, text);
  } else if constexpr (std::is_same_v<T, Char16>) {
    String s = FromUtf8(text);
    if (s.size() != 1) Bad(type, text);
    return s[0];
  } else if constexpr (std::is_same_v<T, String>) {
    return FromUtf8(text);
  } else if constexpr (std::is_same_v<T, CIMDateTime>) {
    try {
      return CIMDateTime(FromUtf8(Trimmed(text)));
    } catch (const Exception&) {
      Bad(type, text);
    }
  }
}

// Calls f.template operator()<T>() for the C++ type of a CIM type.
template <typename F>
decltype(auto) WithType(CIMType type, F&& f) {
  switch (type) {
    case CIMTYPE_BOOLEAN:
      return f.template operator()<Boolean>();
    case CIMTYPE_UINT8:
      return f.template operator()<Uint8>();
    case CIMTYPE_SINT8:
      return f.template operator()<Sint8>();
    case CIMTYPE_UINT16:
      return f.template operator()<Uint16>();
    case CIMTYPE_SINT16:
      return f.template operator()<Sint16>();
    case CIMTYPE_UINT32:
      return f.template operator()<Uint32>();
    case CIMTYPE_SINT32:
      return f.template operator()<Sint32>();
    case CIMTYPE_UINT64:
      return f.template operator()<Uint64>();
    case CIMTYPE_SINT64:
      return f.template operator()<Sint64>();
    case CIMTYPE_REAL32:
      return f.template operator()<Real32>();
    case CIMTYPE_REAL64:
      return f.template operator()<Real64>();
    case CIMTYPE_CHAR16:
      return f.template operator()<Char16>();
    case CIMTYPE_STRING:
      return f.template operator()<String>();
    case CIMTYPE_DATETIME:
      return f.template operator()<CIMDateTime>();
    default:
      throw CimXmlError(std::string("values of type ") + cimTypeToString(type) +
                        " are not supported here");
  }
}

}  // namespace

const char* TypeName(CIMType type) {
  for (const auto& r : kTypes)
    if (r.type == type) return r.name;
  return cimTypeToString(type);
}

std::optional<CIMType> ParseTypeName(std::string_view name) {
  for (const auto& r : kTypes)
    if (EqualsNoCase(name, r.name)) return r.type;
  return std::nullopt;
}

std::string Utf8(const String& s) {
  CString c = s.getCString();
  return std::string(static_cast<const char*>(c));
}

String FromUtf8(std::string_view s) {
  if (s.find('\0') != std::string_view::npos) throw CimXmlError("NUL character in text");
  try {
    return String(std::string(s).c_str());
  } catch (const Exception&) {
    throw CimXmlError("text is not valid UTF-8");
  }
}

std::vector<std::string> ValueTexts(const CIMValue& value) {
  std::vector<std::string> out;
  if (value.isNull()) return out;
  WithType(value.getType(), [&]<typename T>() { AppendTexts<T>(value, out); });
  return out;
}

CIMValue ScalarFromText(CIMType type, const std::string& text) {
  return WithType(type, [&]<typename T>() { return CIMValue(ParseScalar<T>(type, text)); });
}

CIMValue ArrayFromTexts(CIMType type, const std::vector<std::string>& texts) {
  return WithType(type, [&]<typename T>() {
    Array<T> a;
    a.reserveCapacity(static_cast<Uint32>(texts.size()));
    for (const auto& t : texts) a.append(ParseScalar<T>(type, t));
    return CIMValue(a);
  });
}

}  // namespace mgmt::cimxml
