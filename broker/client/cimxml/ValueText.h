// Text forms of CIM values inside CIM-XML: type names, scalar values as the
// content of a VALUE element, and the reverse, checked against the target type.
#ifndef MGMT_CIMXML_VALUETEXT_H
#define MGMT_CIMXML_VALUETEXT_H

#include <Pegasus/Common/CIMType.h>
#include <Pegasus/Common/CIMValue.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mgmt::cimxml {

/// The DSP0201 TYPE attribute value ("uint8", "reference", …).
const char* TypeName(Pegasus::CIMType type);
/// The type a TYPE/PARAMTYPE attribute names; nullopt for anything else (also
/// "object" and "instance", which travel as embedded objects we do not accept).
std::optional<Pegasus::CIMType> ParseTypeName(std::string_view name);

/// The texts of a value's elements, one per array element (one for a scalar, none
/// for null). References are not handled here (they are XML, not text).
std::vector<std::string> ValueTexts(const Pegasus::CIMValue& value);

/// One scalar value of `type` from its text; throws CimXmlError naming the type
/// when the text does not fit it (out of range, not a number, bad datetime, …).
Pegasus::CIMValue ScalarFromText(Pegasus::CIMType type, const std::string& text);
/// An array value of `type` from element texts.
Pegasus::CIMValue ArrayFromTexts(Pegasus::CIMType type, const std::vector<std::string>& texts);

/// UTF-8 text of a broker String, and back (throws CimXmlError on invalid UTF-8).
std::string Utf8(const Pegasus::String& s);
Pegasus::String FromUtf8(std::string_view s);

}  // namespace mgmt::cimxml

#endif
