// Gives the properties of an instance a client creates or modifies the types
// the class declares.
//
// A CIM-XML client may send a property without its type (then it arrives as
// text) or with another one; a provider reads the declared type, and a value
// of any other type would make it fail halfway through a change. The host
// converts or refuses before the provider is called.
#ifndef MGMT_CIMOM_HOST_PROPERTYTYPING_H
#define MGMT_CIMOM_HOST_PROPERTYTYPING_H

#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMInstance.h>

namespace mgmt::cimom {

/// A copy of `instance` (path, qualifiers and property order kept) whose
/// properties have their declared types: text converted, a null value made a
/// null of the declared type. Throws CIMException CIM_ERR_NO_SUCH_PROPERTY for
/// a property the class does not declare, CIM_ERR_TYPE_MISMATCH for a value
/// that does not convert or is of another type (or arrayness).
Pegasus::CIMInstance TypeProperties(const Pegasus::CIMConstClass& declaration,
                                    const Pegasus::CIMInstance& instance);

}  // namespace mgmt::cimom

#endif
