// A list of named handles (properties, qualifiers, methods, parameters) kept
// in insertion order, looked up by name without regard to case, refusing
// duplicates. Shared by every container of the object model.
#ifndef BROKER_NAMEDLIST_H
#define BROKER_NAMEDLIST_H

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/Exception.h>

#include <vector>

namespace Pegasus::broker {

template <class T>
class NamedList {
 public:
  /// Throws UninitializedObjectException or AlreadyExistsException("kind \"name\"").
  void add(const T& x, const char* kind) {
    if (x.isUninitialized()) throw UninitializedObjectException();
    if (find(x.getName()) != PEG_NOT_FOUND) {
      String what(kind);
      what.append(" \"");
      what.append(x.getName().getString());
      what.append("\"");
      throw AlreadyExistsException(what);
    }
    _items.push_back(x);
  }

  Uint32 find(const CIMName& name) const {
    for (size_t i = 0; i < _items.size(); i++)
      if (_items[i].getName().equal(name)) return Uint32(i);
    return PEG_NOT_FOUND;
  }

  const T& at(Uint32 index) const {
    if (index >= _items.size()) throw IndexOutOfBoundsException();
    return _items[index];
  }

  T& at(Uint32 index) {
    if (index >= _items.size()) throw IndexOutOfBoundsException();
    return _items[index];
  }

  void remove(Uint32 index) {
    if (index >= _items.size()) throw IndexOutOfBoundsException();
    _items.erase(_items.begin() + index);
  }

  Uint32 size() const { return Uint32(_items.size()); }
  void clear() { _items.clear(); }
  std::vector<T>& items() { return _items; }
  const std::vector<T>& items() const { return _items; }

  /// A list of deep copies.
  NamedList<T> cloneAll() const {
    NamedList<T> out;
    out._items.reserve(_items.size());
    for (const auto& x : _items) out._items.push_back(x.clone());
    return out;
  }

  /// Same length and each element identical, in order.
  template <class Const>
  bool identical(const NamedList<T>& other) const {
    if (_items.size() != other._items.size()) return false;
    for (size_t i = 0; i < _items.size(); i++)
      if (!_items[i].identical(Const(other._items[i]))) return false;
    return true;
  }

 private:
  std::vector<T> _items;
};

}  // namespace Pegasus::broker

#endif
