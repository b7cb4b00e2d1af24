#include "RoutingTable.h"

#include "HostError.h"
#include "NameKey.h"

namespace mgmt::cimom {

void RoutingTable::Claim(std::shared_ptr<ProviderAgent>& slot, std::string& origin,
                         const std::shared_ptr<ProviderAgent>& agent, const std::string& where,
                         const std::string& what) {
  if (slot && slot != agent)
    throw ConfigError(where + ": " + what + " is already registered at " + origin);
  slot = agent;
  origin = where;
}

void RoutingTable::Add(const ProviderRegistration& reg, const ClassRepository& classes,
                       const AgentFactory& makeAgent) {
  const std::string where = reg.file + ":" + std::to_string(reg.line);
  std::vector<const ClassInfo*> infos;
  for (const std::string& name : reg.classes) {
    const ClassInfo* info = classes.FindKey(FoldCase(name));
    if (info == nullptr) throw ConfigError(where + ": class " + name + " is not defined");
    infos.push_back(info);
  }
  const std::string providerKey = reg.module + '\n' + FoldCase(reg.providerName);
  std::shared_ptr<ProviderAgent>& agent = byProvider_[providerKey];
  if (!agent) {
    agent = makeAgent(reg);
    agents_.push_back(agent);
  }
  for (const std::string& ns : reg.namespaces) {
    const std::string nsKey = FoldCase(ns.front() == '/' ? ns.substr(1) : ns);
    namespaces_.insert(nsKey);
    for (const ClassInfo* info : infos) {
      Route& route = routes_[RouteKey(nsKey, info->key)];
      const std::string what = ToStd(info->name.getString()) + " in " + ns;
      if (reg.instanceProvider)
        Claim(route.instance, route.instanceOrigin, agent, where, "instance provider of " + what);
      if (reg.methodProvider)
        Claim(route.method, route.methodOrigin, agent, where, "method provider of " + what);
    }
  }
}

void RoutingTable::AddBuiltin(const std::string& nameSpace, const ClassInfo& cls,
                              std::shared_ptr<ProviderAgent> agent) {
  const std::string nsKey = FoldCase(nameSpace);
  namespaces_.insert(nsKey);
  Route& route = routes_[RouteKey(nsKey, cls.key)];
  Claim(route.instance, route.instanceOrigin, agent, "built-in",
        "instance provider of " + ToStd(cls.name.getString()) + " in " + nameSpace);
  agents_.push_back(std::move(agent));
}

ProviderAgent* RoutingTable::InstanceProvider(const std::string& nsKey,
                                              const std::string& classKey) const {
  auto it = routes_.find(RouteKey(nsKey, classKey));
  return it == routes_.end() ? nullptr : it->second.instance.get();
}

ProviderAgent* RoutingTable::MethodProvider(const std::string& nsKey,
                                            const std::string& classKey) const {
  auto it = routes_.find(RouteKey(nsKey, classKey));
  return it == routes_.end() ? nullptr : it->second.method.get();
}

}  // namespace mgmt::cimom
