#include "ClassFilter.h"

#include <Pegasus/Common/CIMMethod.h>
#include <Pegasus/Common/CIMParameter.h>
#include <Pegasus/Common/CIMProperty.h>

using namespace Pegasus;

namespace mgmt::cimom {
namespace {

template <class T>
void DropQualifiers(T& item) {
  for (Uint32 q = item.getQualifierCount(); q-- > 0;) item.removeQualifier(q);
}

}  // namespace

void FilterClass(CIMClass& cls, bool localOnly, bool includeQualifiers, bool includeClassOrigin,
                 const CIMPropertyList& propertyList) {
  if (!includeQualifiers) DropQualifiers(cls);
  for (Uint32 i = cls.getPropertyCount(); i-- > 0;) {
    CIMProperty prop = cls.getProperty(i);
    if ((localOnly && prop.getPropagated()) || !propertyList.useThisProperty(prop.getName())) {
      cls.removeProperty(i);
      continue;
    }
    if (!includeQualifiers) DropQualifiers(prop);
    if (!includeClassOrigin) prop.setClassOrigin(CIMName());
  }
  for (Uint32 i = cls.getMethodCount(); i-- > 0;) {
    CIMMethod method = cls.getMethod(i);
    if (localOnly && method.getPropagated()) {
      cls.removeMethod(i);
      continue;
    }
    if (!includeQualifiers) {
      DropQualifiers(method);
      for (Uint32 p = 0; p < method.getParameterCount(); ++p) {
        CIMParameter param = method.getParameter(p);
        DropQualifiers(param);
      }
    }
    if (!includeClassOrigin) method.setClassOrigin(CIMName());
  }
}

}  // namespace mgmt::cimom
