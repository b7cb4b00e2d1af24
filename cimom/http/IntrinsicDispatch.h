// Decodes the parameters of one CIM operation, calls it, and writes the response
// body (SIMPLERSP content). CIM errors become an ERROR element, never an HTTP
// status: at this point the request was well-formed HTTP and CIM-XML.
#ifndef MGMT_CIMOM_INTRINSICDISPATCH_H
#define MGMT_CIMOM_INTRINSICDISPATCH_H

#include <pugixml.hpp>

#include <string>

#include "CimOperations.h"

namespace mgmt::cimom {

/// Handles an IMETHODCALL element; appends the IMETHODRESPONSE to `out`.
void DispatchIntrinsic(CimOperations& ops, const Pegasus::OperationContext& ctx,
                       pugi::xml_node call, std::string& out);
/// Handles a METHODCALL element; appends the METHODRESPONSE to `out`.
void DispatchExtrinsic(CimOperations& ops, const Pegasus::OperationContext& ctx,
                       pugi::xml_node call, std::string& out);

/// Appends <ERROR CODE DESCRIPTION> with the "CIM_ERR_…: message" description.
void AppendError(std::string& out, unsigned code, const std::string& message);

}  // namespace mgmt::cimom

#endif
