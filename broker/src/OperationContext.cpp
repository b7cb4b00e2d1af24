// OperationContext and IdentityContainer.
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/OperationContext.h>

namespace Pegasus {

OperationContext::Container::~Container() = default;

OperationContext::OperationContext() = default;

OperationContext::OperationContext(const OperationContext& context) {
  _containers.reserve(context._containers.size());
  for (const auto& c : context._containers) _containers.emplace_back(c->clone());
}

OperationContext::~OperationContext() = default;

OperationContext& OperationContext::operator=(const OperationContext& context) {
  if (this != &context) {
    OperationContext copy(context);
    _containers.swap(copy._containers);
  }
  return *this;
}

void OperationContext::clear() { _containers.clear(); }

const OperationContext::Container& OperationContext::get(const String& containerName) const {
  for (const auto& c : _containers)
    if (c->getName() == containerName) return *c;
  throw Exception("object not found");
}

Boolean OperationContext::contains(const String& containerName) const {
  for (const auto& c : _containers)
    if (c->getName() == containerName) return true;
  return false;
}

void OperationContext::set(const Container& container) {
  for (auto& c : _containers)
    if (c->getName() == container.getName()) {
      c.reset(container.clone());
      return;
    }
  throw Exception("object not found");
}

void OperationContext::insert(const Container& container) {
  if (contains(container.getName())) throw Exception("object already exists.");
  _containers.emplace_back(container.clone());
}

void OperationContext::remove(const String& containerName) {
  for (auto it = _containers.begin(); it != _containers.end(); ++it)
    if ((*it)->getName() == containerName) {
      _containers.erase(it);
      return;
    }
  throw Exception("object not found");
}

const String IdentityContainer::NAME = "IdentityContainer";

IdentityContainer::IdentityContainer(const OperationContext::Container& container) {
  const auto* other = dynamic_cast<const IdentityContainer*>(&container);
  if (!other) throw DynamicCastFailedException();
  _userName = other->_userName;
}

IdentityContainer::IdentityContainer(const String& userName) : _userName(userName) {}
IdentityContainer::IdentityContainer(const IdentityContainer& container)
    : OperationContext::Container(), _userName(container._userName) {}
IdentityContainer::~IdentityContainer() = default;

IdentityContainer& IdentityContainer::operator=(const IdentityContainer& container) {
  _userName = container._userName;
  return *this;
}

String IdentityContainer::getName() const { return NAME; }

OperationContext::Container* IdentityContainer::clone() const {
  // Ownership passes to the caller, which releases it through destroy().
  return new IdentityContainer(*this);
}

void IdentityContainer::destroy() { delete this; }
String IdentityContainer::getUserName() const { return _userName; }

}  // namespace Pegasus
