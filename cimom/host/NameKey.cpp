#include "NameKey.h"

namespace mgmt::cimom {

std::string FoldCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string ToStd(const Pegasus::String& text) {
  Pegasus::CString utf8 = text.getCString();
  return std::string(static_cast<const char*>(utf8));
}

std::string NameKey(const Pegasus::CIMName& name) {
  return name.isNull() ? std::string() : FoldCase(ToStd(name.getString()));
}

std::string NamespaceKey(const Pegasus::CIMNamespaceName& nameSpace) {
  return nameSpace.isNull() ? std::string() : FoldCase(ToStd(nameSpace.getString()));
}

}  // namespace mgmt::cimom
