// Which provider agent serves which class in which namespace.
#ifndef MGMT_CIMOM_HOST_ROUTINGTABLE_H
#define MGMT_CIMOM_HOST_ROUTINGTABLE_H

#include "ClassRepository.h"
#include "ProviderAgent.h"
#include "Registration.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace mgmt::cimom {

/// Creates the agent of one (module, provider name); called once per distinct pair.
using AgentFactory = std::function<std::shared_ptr<ProviderAgent>(const ProviderRegistration&)>;

/// Immutable after construction, so lookups need no lock.
class RoutingTable {
 public:
  RoutingTable() = default;

  /// Throws ConfigError for a class the repository does not know or a (class,
  /// namespace, type) claimed twice.
  void Add(const ProviderRegistration& registration, const ClassRepository& classes,
           const AgentFactory& makeAgent);

  /// Registers an agent built into the object manager for one class.
  void AddBuiltin(const std::string& nameSpace, const ClassInfo& cls,
                  std::shared_ptr<ProviderAgent> agent);

  ProviderAgent* InstanceProvider(const std::string& nsKey, const std::string& classKey) const;
  ProviderAgent* MethodProvider(const std::string& nsKey, const std::string& classKey) const;

  bool ServesNamespace(const std::string& nsKey) const { return namespaces_.count(nsKey) != 0; }
  void AddNamespace(const std::string& nsKey) { namespaces_.insert(nsKey); }

  /// Every agent, in the order first registered.
  const std::vector<std::shared_ptr<ProviderAgent>>& Agents() const { return agents_; }

 private:
  struct Route {
    std::shared_ptr<ProviderAgent> instance;
    std::shared_ptr<ProviderAgent> method;
    std::string instanceOrigin, methodOrigin;  ///< "file:line" of the registration
  };
  static std::string RouteKey(const std::string& nsKey, const std::string& classKey) {
    return nsKey + '\n' + classKey;
  }
  void Claim(std::shared_ptr<ProviderAgent>& slot, std::string& origin,
             const std::shared_ptr<ProviderAgent>& agent, const std::string& where,
             const std::string& what);

  std::unordered_map<std::string, Route> routes_;
  std::unordered_map<std::string, std::shared_ptr<ProviderAgent>> byProvider_;
  std::vector<std::shared_ptr<ProviderAgent>> agents_;
  std::unordered_set<std::string> namespaces_;
};

}  // namespace mgmt::cimom

#endif
