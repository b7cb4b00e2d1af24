// Gives the in-parameters of a method call the types the class declares.
//
// Clients that send parameters without a type (CIM-XML PARAMVALUE without
// PARAMTYPE, wbemcli's "cm") deliver every value as text; providers expect the
// declared CIM types, so the host converts them before the call.
#ifndef MGMT_CIMOM_HOST_PARAMTYPING_H
#define MGMT_CIMOM_HOST_PARAMTYPING_H

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMMethod.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMValue.h>

#include <string>

namespace mgmt::cimom {

/// The in-parameters with string values converted to the declared types. Throws
/// CIMException(CIM_ERR_INVALID_PARAMETER) for an unknown or repeated parameter, a
/// text that does not convert, or a typed value of another type.
Pegasus::Array<Pegasus::CIMParamValue> TypeParameters(
    const Pegasus::CIMConstMethod& method, const Pegasus::Array<Pegasus::CIMParamValue>& in);

/// One text converted to `type` (scalar); throws CIM_ERR_INVALID_PARAMETER.
Pegasus::CIMValue ConvertText(const std::string& text, Pegasus::CIMType type);
/// Each text converted to `type`, as an array value; throws as ConvertText.
Pegasus::CIMValue ConvertTexts(const Pegasus::Array<Pegasus::String>& texts, Pegasus::CIMType type);

}  // namespace mgmt::cimom

#endif
