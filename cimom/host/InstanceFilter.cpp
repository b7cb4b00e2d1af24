#include "InstanceFilter.h"

#include "NameKey.h"

#include <Pegasus/Common/CIMProperty.h>

using namespace Pegasus;

namespace mgmt::cimom {

InstanceFilter::InstanceFilter(const CIMPropertyList& propertyList, bool includeQualifiers,
                               bool includeClassOrigin,
                               const std::unordered_set<std::string>* classProperties)
    : classProperties_(classProperties),
      includeQualifiers_(includeQualifiers),
      includeClassOrigin_(includeClassOrigin) {
  if (!propertyList.isNull()) {
    listed_.emplace();
    for (Uint32 i = 0; i < propertyList.size(); ++i) listed_->insert(NameKey(propertyList[i]));
  }
}

bool InstanceFilter::Keep(const CIMName& name) const {
  if (!listed_ && classProperties_ == nullptr) return true;
  std::string key = NameKey(name);
  if (listed_ && !listed_->count(key)) return false;
  return classProperties_ == nullptr || classProperties_->count(key) != 0;
}

CIMInstance InstanceFilter::Apply(CIMInstance out) const {
  if (!includeQualifiers_) {
    for (Uint32 q = out.getQualifierCount(); q-- > 0;) out.removeQualifier(q);
  }
  for (Uint32 i = out.getPropertyCount(); i-- > 0;) {
    CIMProperty prop = out.getProperty(i);
    if (!Keep(prop.getName())) {
      out.removeProperty(i);
      continue;
    }
    if (!includeQualifiers_) {
      for (Uint32 q = prop.getQualifierCount(); q-- > 0;) prop.removeQualifier(q);
    }
    if (!includeClassOrigin_ && !prop.getClassOrigin().isNull()) prop.setClassOrigin(CIMName());
  }
  return out;
}

}  // namespace mgmt::cimom
