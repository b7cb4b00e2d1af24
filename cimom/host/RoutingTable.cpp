#include "RoutingTable.h"

#include "HostError.h"
#include "NameKey.h"

namespace mgmt::cimom {

void RoutingTable::claim(std::shared_ptr<ProviderAgent>& slot, std::string& origin,
                         const std::shared_ptr<ProviderAgent>& agent, const std::string& where,
                         const std::string& what) {
  if (slot && slot != agent)
    throw ConfigError(where + ": " + what + " is already registered at " + origin);
  slot = agent;
  origin = where;
}

void RoutingTable::add(const ProviderRegistration& reg, const ClassRepository& classes,
                       const AgentFactory& makeAgent) {
  const std::string where = reg.file + ":" + std::to_string(reg.line);
  std::vector<const ClassInfo*> infos;
  for (const std::string& name : reg.classes) {
    const ClassInfo* info = classes.findKey(foldCase(name));
    if (info == nullptr) throw ConfigError(where + ": class " + name + " is not defined");
    infos.push_back(info);
  }
  const std::string providerKey = reg.module + '\n' + foldCase(reg.providerName);
  std::shared_ptr<ProviderAgent>& agent = byProvider_[providerKey];
  if (!agent) {
    agent = makeAgent(reg);
    agents_.push_back(agent);
  }
  for (const std::string& ns : reg.namespaces) {
    const std::string nsKey = foldCase(ns.front() == '/' ? ns.substr(1) : ns);
    namespaces_.insert(nsKey);
    for (const ClassInfo* info : infos) {
      Route& route = routes_[routeKey(nsKey, info->key)];
      const std::string what = toStd(info->name.getString()) + " in " + ns;
      if (reg.instanceProvider)
        claim(route.instance, route.instanceOrigin, agent, where, "instance provider of " + what);
      if (reg.methodProvider)
        claim(route.method, route.methodOrigin, agent, where, "method provider of " + what);
    }
  }
}

void RoutingTable::addBuiltin(const std::string& nameSpace, const ClassInfo& cls,
                              std::shared_ptr<ProviderAgent> agent) {
  const std::string nsKey = foldCase(nameSpace);
  namespaces_.insert(nsKey);
  Route& route = routes_[routeKey(nsKey, cls.key)];
  claim(route.instance, route.instanceOrigin, agent, "built-in",
        "instance provider of " + toStd(cls.name.getString()) + " in " + nameSpace);
  agents_.push_back(std::move(agent));
}

ProviderAgent* RoutingTable::instanceProvider(const std::string& nsKey,
                                              const std::string& classKey) const {
  auto it = routes_.find(routeKey(nsKey, classKey));
  return it == routes_.end() ? nullptr : it->second.instance.get();
}

ProviderAgent* RoutingTable::methodProvider(const std::string& nsKey,
                                            const std::string& classKey) const {
  auto it = routes_.find(routeKey(nsKey, classKey));
  return it == routes_.end() ? nullptr : it->second.method.get();
}

}  // namespace mgmt::cimom
