// What the object manager does to every instance a provider delivers before a
// client sees it (the agent has already made it a private copy): cut to the
// request's property list (and, for a shallow enumeration, to the properties of
// the requested class), with qualifiers and class origins only when asked for.
#ifndef MGMT_CIMOM_HOST_INSTANCEFILTER_H
#define MGMT_CIMOM_HOST_INSTANCEFILTER_H

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMPropertyList.h>

#include <optional>
#include <string>
#include <unordered_set>

namespace mgmt::cimom {

class InstanceFilter {
 public:
  /// `classProperties`: case-folded property names allowed by the class (null: any).
  InstanceFilter(const Pegasus::CIMPropertyList& propertyList, bool includeQualifiers,
                 bool includeClassOrigin,
                 const std::unordered_set<std::string>* classProperties = nullptr);

  /// `instance`, which must be a private copy (as agents return them), with the
  /// filter applied in place; its path is the one the provider set.
  Pegasus::CIMInstance Apply(Pegasus::CIMInstance instance) const;

 private:
  bool Keep(const Pegasus::CIMName& name) const;

  std::optional<std::unordered_set<std::string>> listed_;
  const std::unordered_set<std::string>* classProperties_;
  bool includeQualifiers_;
  bool includeClassOrigin_;
};

}  // namespace mgmt::cimom

#endif
