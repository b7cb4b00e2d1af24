// Reads CIM objects from DSP0201 CIM-XML elements (parsed by pugixml). Every
// function checks the element it is given and throws CimXmlError on anything
// that is not what the DTD allows there or that does not fit the CIM object model.
#ifndef MGMT_CIMXML_CIMXMLREADER_H
#define MGMT_CIMXML_CIMXMLREADER_H

#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMType.h>
#include <Pegasus/Common/CIMValue.h>

#include <pugixml.hpp>

#include <string>

namespace mgmt::cimxml {

/// The first child element of `node`, or an empty node.
pugi::xml_node FirstElement(pugi::xml_node node);
/// The next sibling element, or an empty node.
pugi::xml_node NextElement(pugi::xml_node node);
/// True when the element's name is `name`.
bool Is(pugi::xml_node node, const char* name);

/// A required attribute's value; throws when it is missing.
std::string RequiredAttr(pugi::xml_node node, const char* name);
/// A CIM name from an attribute; throws when it is missing or not a legal name.
Pegasus::CIMName NameAttr(pugi::xml_node node, const char* name);

/// LOCALNAMESPACEPATH.
Pegasus::CIMNamespaceName ReadLocalNamespacePath(pugi::xml_node node);
/// INSTANCENAME.
Pegasus::CIMObjectPath ReadInstanceName(pugi::xml_node node);
/// VALUE.REFERENCE (any of its six forms).
Pegasus::CIMObjectPath ReadReference(pugi::xml_node node);
/// LOCALINSTANCEPATH or LOCALCLASSPATH (the target of a method call).
Pegasus::CIMObjectPath ReadLocalObjectPath(pugi::xml_node node);

/// VALUE, VALUE.ARRAY, VALUE.REFERENCE or VALUE.REFARRAY as a value of `type`.
/// An empty node gives a null value of that type (`isArray` says which).
Pegasus::CIMValue ReadValue(pugi::xml_node node, Pegasus::CIMType type, bool isArray);

/// INSTANCE (no path set).
Pegasus::CIMInstance ReadInstance(pugi::xml_node node);
/// VALUE.NAMEDINSTANCE: the instance with its path set from the INSTANCENAME.
Pegasus::CIMInstance ReadNamedInstance(pugi::xml_node node);
/// CLASS, with qualifiers, properties and methods.
Pegasus::CIMClass ReadClass(pugi::xml_node node);
/// PARAMVALUE (or RETURNVALUE's content): untyped when PARAMTYPE is absent, the
/// value then carried as a string or string array.
Pegasus::CIMParamValue ReadParamValue(pugi::xml_node node);
/// RETURNVALUE: typed by PARAMTYPE, a string value when that is absent.
Pegasus::CIMValue ReadReturnValue(pugi::xml_node node);

}  // namespace mgmt::cimxml

#endif
