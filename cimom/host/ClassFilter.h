// GetClass / EnumerateClasses views of a repository class.
#ifndef MGMT_CIMOM_HOST_CLASSFILTER_H
#define MGMT_CIMOM_HOST_CLASSFILTER_H

#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMPropertyList.h>

namespace mgmt::cimom {

/// Cuts a (private) class copy in place: localOnly drops inherited properties and
/// methods, a non-null property list drops unlisted properties, includeQualifiers
/// false drops every qualifier (class, properties, methods, parameters), and
/// includeClassOrigin false clears the class origins.
void FilterClass(Pegasus::CIMClass& cls, bool localOnly, bool includeQualifiers,
                 bool includeClassOrigin, const Pegasus::CIMPropertyList& propertyList);

}  // namespace mgmt::cimom

#endif
