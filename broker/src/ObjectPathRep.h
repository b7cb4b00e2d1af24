// The data behind CIMObjectPath and the pieces of its text form shared by
// the parser and the printer.
#ifndef BROKER_OBJECTPATHREP_H
#define BROKER_OBJECTPATHREP_H

#include <Pegasus/Common/CIMObjectPath.h>

#include <string>
#include <string_view>

namespace Pegasus {

struct CIMObjectPath::Rep {
  String host;
  CIMNamespaceName nameSpace;
  CIMName className;
  Array<CIMKeyBinding> keys;
};

namespace broker {

/// Sorts keys by name (ignoring case) and re-writes REFERENCE values in canonical form.
Array<CIMKeyBinding> normalizeKeys(Array<CIMKeyBinding> keys);
/// Parses the text form into rep; throws MalformedObjectNameException.
void parseObjectPath(const String& text, CIMObjectPath::Rep& rep);
/// Appends value in double quotes with '"' and '\\' escaped.
void appendQuoted(std::u16string& out, std::u16string_view value);

}  // namespace broker
}  // namespace Pegasus

#endif
