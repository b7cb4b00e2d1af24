// CIMPropertyList: null (everything) versus a list of names (possibly empty).
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/Exception.h>

namespace Pegasus {

namespace {
void checkNames(const Array<CIMName>& names) {
  for (const auto& n : names)
    if (n.isNull()) throw UninitializedObjectException();
}
}  // namespace

CIMPropertyList::CIMPropertyList() : _isNull(true) {}

CIMPropertyList::CIMPropertyList(const Array<CIMName>& propertyNames) : _isNull(false) {
  checkNames(propertyNames);
  _names = propertyNames;
}

void CIMPropertyList::set(const Array<CIMName>& propertyNames) {
  checkNames(propertyNames);
  _names = propertyNames;
  _isNull = false;
}

void CIMPropertyList::clear() {
  _names.clear();
  _isNull = true;
}

const CIMName& CIMPropertyList::operator[](Uint32 index) const { return _names[index]; }

void CIMPropertyList::append(Array<String>& propertyListArray) {
  Array<CIMName> added;
  for (const auto& s : propertyListArray) added.append(CIMName(s));
  _names.appendArray(added);
  _isNull = false;
}

String CIMPropertyList::toString() const {
  String out;
  for (Uint32 i = 0; i < _names.size(); i++) {
    if (i > 0) out.append(", ");
    out.append(_names[i].getString());
  }
  return out;
}

Boolean CIMPropertyList::contains(const CIMName& name) const {
  for (const auto& n : _names)
    if (n.equal(name)) return true;
  return false;
}

Boolean CIMPropertyList::useThisProperty(const CIMName& name) const {
  return _isNull || contains(name);
}

}  // namespace Pegasus
