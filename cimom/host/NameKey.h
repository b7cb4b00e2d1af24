// Case-folded lookup keys for CIM names and namespaces.
//
// CIM names compare without regard to ASCII case, so every map of the host is keyed
// by the ASCII-lower-cased UTF-8 text of the name. Non-ASCII units are left alone,
// as the broker's own comparisons do.
#ifndef MGMT_CIMOM_HOST_NAMEKEY_H
#define MGMT_CIMOM_HOST_NAMEKEY_H

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/String.h>

#include <string>
#include <string_view>

namespace mgmt::cimom {

/// `text` with A-Z turned into a-z.
std::string FoldCase(std::string_view text);

/// UTF-8 text of a broker string.
std::string ToStd(const Pegasus::String& text);

/// Lookup key of a CIM name (empty for a null name).
std::string NameKey(const Pegasus::CIMName& name);

/// Lookup key of a namespace name (empty for a null one).
std::string NamespaceKey(const Pegasus::CIMNamespaceName& nameSpace);

}  // namespace mgmt::cimom

#endif
