// How containers (instances, classes) mark the properties they hold, so that
// renaming a property that sits in a container can be refused.
#ifndef BROKER_PROPERTYOWNERSHIP_H
#define BROKER_PROPERTYOWNERSHIP_H

#include <Pegasus/Common/CIMProperty.h>

namespace Pegasus {

struct PropertyAccess {
  static void adopt(const CIMProperty& p);
  static void release(const CIMProperty& p);
};

}  // namespace Pegasus

#endif
