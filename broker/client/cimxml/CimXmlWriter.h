// Writes CIM objects as DSP0201 CIM-XML, appending to a string. The output is
// shaped for the clients we must satisfy: every element has an explicit end tag
// (never <IRETURNVALUE/>), KEYVALUE always carries VALUETYPE, and text is escaped
// with the five named entities only (no numeric character references).
#ifndef MGMT_CIMXML_CIMXMLWRITER_H
#define MGMT_CIMXML_CIMXMLWRITER_H

#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMQualifier.h>
#include <Pegasus/Common/CIMValue.h>

#include <string>
#include <string_view>

namespace mgmt::cimxml {

/// Appends `text` escaped for element content.
void AppendEscaped(std::string& out, std::string_view text);
/// Appends `text` escaped for a double-quoted attribute value.
void AppendAttrEscaped(std::string& out, std::string_view text);

/// VALUE, VALUE.ARRAY, VALUE.REFERENCE or VALUE.REFARRAY; nothing for a null value.
void WriteValue(std::string& out, const Pegasus::CIMValue& value);
/// VALUE.REFERENCE holding INSTANCEPATH, LOCALINSTANCEPATH or INSTANCENAME (or
/// the class forms for a path without keys), as much as the path carries.
void WriteReference(std::string& out, const Pegasus::CIMObjectPath& path);
void WriteLocalNamespacePath(std::string& out, const Pegasus::CIMNamespaceName& ns);
void WriteInstanceName(std::string& out, const Pegasus::CIMObjectPath& path);
void WriteQualifier(std::string& out, const Pegasus::CIMConstQualifier& q);
void WriteProperty(std::string& out, const Pegasus::CIMConstProperty& p, bool includeQualifiers,
                   bool includeClassOrigin);
void WriteInstance(std::string& out, const Pegasus::CIMConstInstance& inst,
                   bool includeQualifiers = true, bool includeClassOrigin = true);
/// VALUE.NAMEDINSTANCE: the instance's own path as INSTANCENAME, then the instance.
void WriteNamedInstance(std::string& out, const Pegasus::CIMConstInstance& inst,
                        bool includeQualifiers = true, bool includeClassOrigin = true);
void WriteClass(std::string& out, const Pegasus::CIMConstClass& cls, bool includeQualifiers = true,
                bool includeClassOrigin = true);
/// PARAMVALUE with PARAMTYPE (as a request or an out-parameter).
void WriteParamValue(std::string& out, const Pegasus::CIMParamValue& pv);

}  // namespace mgmt::cimxml

#endif
