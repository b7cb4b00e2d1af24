// Name validation and case-insensitive comparison of CIMName and CIMNamespaceName.
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/Exception.h>

namespace Pegasus {

namespace {

bool isNameStart(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' ||
         (c >= 0x0080 && c <= 0xFFEF);
}

bool isNameChar(char16_t c) { return isNameStart(c) || (c >= u'0' && c <= u'9'); }

bool legalName(std::u16string_view s) {
  if (s.empty() || !isNameStart(s[0])) return false;
  for (size_t i = 1; i < s.size(); i++)
    if (!isNameChar(s[i])) return false;
  return true;
}

bool legalNamespace(std::u16string_view s) {
  if (s.empty()) return false;
  size_t start = 0;
  while (true) {
    size_t slash = s.find(u'/', start);
    std::u16string_view element =
        s.substr(start, slash == std::u16string_view::npos ? s.npos : slash - start);
    if (!legalName(element)) return false;
    if (slash == std::u16string_view::npos) return true;
    start = slash + 1;
  }
}

String stripLeadingSlash(const String& name) {
  if (name.size() > 0 && name[0] == '/') return name.subString(1);
  return name;
}

}  // namespace

CIMName::CIMName(const String& name) : _name(name) {
  if (!legal(name)) throw InvalidNameException(name);
}

CIMName::CIMName(const char* name) : CIMName(String(name)) {}

CIMName& CIMName::operator=(const String& name) {
  if (!legal(name)) throw InvalidNameException(name);
  _name = name;
  return *this;
}

CIMName& CIMName::operator=(const char* name) { return *this = String(name); }

Boolean CIMName::equal(const CIMName& name) const { return String::equalNoCase(_name, name._name); }

Boolean CIMName::equal(const char* name) const { return String::equalNoCase(_name, name); }

Boolean CIMName::legal(const String& name) { return legalName(name.view()); }

Boolean operator==(const CIMName& name1, const CIMName& name2) { return name1.equal(name2); }
Boolean operator!=(const CIMName& name1, const CIMName& name2) { return !name1.equal(name2); }

CIMNamespaceName::CIMNamespaceName(const String& name) : _name(stripLeadingSlash(name)) {
  if (!legalNamespace(_name.view())) throw InvalidNamespaceNameException(name);
}

CIMNamespaceName::CIMNamespaceName(const char* name) : CIMNamespaceName(String(name)) {}

CIMNamespaceName& CIMNamespaceName::operator=(const String& name) {
  *this = CIMNamespaceName(name);
  return *this;
}

CIMNamespaceName& CIMNamespaceName::operator=(const char* name) { return *this = String(name); }

Boolean CIMNamespaceName::equal(const CIMNamespaceName& name) const {
  return String::equalNoCase(_name, name._name);
}

Boolean CIMNamespaceName::equal(const char* name) const { return equal(CIMNamespaceName(name)); }

Boolean CIMNamespaceName::legal(const String& name) {
  return legalNamespace(stripLeadingSlash(name).view());
}

Boolean operator==(const CIMNamespaceName& name1, const CIMNamespaceName& name2) {
  return name1.equal(name2);
}

Boolean operator!=(const CIMNamespaceName& name1, const CIMNamespaceName& name2) {
  return !name1.equal(name2);
}

}  // namespace Pegasus
