#include "NameKey.h"

namespace mgmt::cimom {

std::string foldCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string toStd(const Pegasus::String& text) {
  Pegasus::CString utf8 = text.getCString();
  return std::string(static_cast<const char*>(utf8));
}

std::string nameKey(const Pegasus::CIMName& name) {
  return name.isNull() ? std::string() : foldCase(toStd(name.getString()));
}

std::string namespaceKey(const Pegasus::CIMNamespaceName& nameSpace) {
  return nameSpace.isNull() ? std::string() : foldCase(toStd(nameSpace.getString()));
}

}  // namespace mgmt::cimom
