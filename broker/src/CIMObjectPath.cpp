// CIMObjectPath: shared, copy-on-write storage; printing the text form;
// equality and hashing. Parsing lives in ObjectPathParse.cpp.
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/Exception.h>

#include "CimNumber.h"
#include "HostText.h"
#include "ObjectPathRep.h"

#include <charconv>
#include <cmath>

namespace Pegasus {

namespace {

const std::shared_ptr<CIMObjectPath::Rep>& emptyRep() {
  static const std::shared_ptr<CIMObjectPath::Rep> rep = std::make_shared<CIMObjectPath::Rep>();
  return rep;
}

void checkHost(const String& host) {
  if (host.size() > 0 && !broker::validHost(host.view())) throw MalformedObjectNameException(host);
}

}  // namespace

CIMObjectPath::CIMObjectPath() : _rep(emptyRep()) {}
CIMObjectPath::CIMObjectPath(const CIMObjectPath& x) = default;
CIMObjectPath::CIMObjectPath(CIMObjectPath&& x) noexcept : _rep(x._rep) {}
CIMObjectPath::~CIMObjectPath() = default;

CIMObjectPath::CIMObjectPath(const String& objectName) : _rep(emptyRep()) { set(objectName); }

CIMObjectPath::CIMObjectPath(const String& host, const CIMNamespaceName& nameSpace,
                             const CIMName& className, const Array<CIMKeyBinding>& keyBindings)
    : _rep(emptyRep()) {
  set(host, nameSpace, className, keyBindings);
}

CIMObjectPath& CIMObjectPath::operator=(const CIMObjectPath& x) = default;
CIMObjectPath& CIMObjectPath::operator=(CIMObjectPath&& x) noexcept {
  // Moved-from paths stay usable: they keep sharing the data.
  _rep = x._rep;
  return *this;
}

CIMObjectPath& CIMObjectPath::operator=(const String& objectName) {
  set(objectName);
  return *this;
}

CIMObjectPath::Rep& CIMObjectPath::_mutable() {
  if (_rep.use_count() != 1) _rep = std::make_shared<Rep>(*_rep);
  return *_rep;
}

void CIMObjectPath::clear() { _rep = emptyRep(); }

void CIMObjectPath::set(const String& host, const CIMNamespaceName& nameSpace,
                        const CIMName& className, const Array<CIMKeyBinding>& keyBindings) {
  checkHost(host);
  auto rep = std::make_shared<Rep>();
  rep->host = host;
  rep->nameSpace = nameSpace;
  rep->className = className;
  rep->keys = broker::normalizeKeys(keyBindings);
  _rep = std::move(rep);
}

void CIMObjectPath::set(const String& objectName) {
  auto rep = std::make_shared<Rep>();
  broker::parseObjectPath(objectName, *rep);
  _rep = std::move(rep);
}

const String& CIMObjectPath::getHost() const { return _rep->host; }

void CIMObjectPath::setHost(const String& host) {
  checkHost(host);
  _mutable().host = host;
}

const CIMNamespaceName& CIMObjectPath::getNameSpace() const { return _rep->nameSpace; }
void CIMObjectPath::setNameSpace(const CIMNamespaceName& nameSpace) {
  _mutable().nameSpace = nameSpace;
}
const CIMName& CIMObjectPath::getClassName() const { return _rep->className; }
void CIMObjectPath::setClassName(const CIMName& className) { _mutable().className = className; }
const Array<CIMKeyBinding>& CIMObjectPath::getKeyBindings() const { return _rep->keys; }
void CIMObjectPath::setKeyBindings(const Array<CIMKeyBinding>& keyBindings) {
  Array<CIMKeyBinding> keys = broker::normalizeKeys(keyBindings);
  _mutable().keys = std::move(keys);
}

String CIMObjectPath::toString() const {
  const Rep& r = *_rep;
  std::u16string out;
  if (r.host.size() > 0) {
    out.append(u"//");
    out.append(r.host.view());
    out.push_back(u'/');
  }
  if (!r.nameSpace.isNull() || r.host.size() > 0) {
    out.append(r.nameSpace.getString().view());
    out.push_back(u':');
  }
  out.append(r.className.getString().view());
  for (Uint32 i = 0; i < r.keys.size(); i++) {
    const CIMKeyBinding& k = r.keys[i];
    out.push_back(i == 0 ? u'.' : u',');
    out.append(k.getName().getString().view());
    out.push_back(u'=');
    if (k.getType() == CIMKeyBinding::STRING || k.getType() == CIMKeyBinding::REFERENCE)
      broker::appendQuoted(out, k.getValue().view());
    else
      out.append(k.getValue().view());
  }
  return String::fromUtf16(out);
}

Boolean CIMObjectPath::identical(const CIMObjectPath& x) const {
  if (_rep == x._rep) return true;
  const Rep& a = *_rep;
  const Rep& b = *x._rep;
  if (!String::equalNoCase(a.host, b.host) || !a.nameSpace.equal(b.nameSpace) ||
      !a.className.equal(b.className) || a.keys.size() != b.keys.size())
    return false;
  for (Uint32 i = 0; i < a.keys.size(); i++)
    if (a.keys[i] != b.keys[i]) return false;
  return true;
}

namespace {

// FNV-1a over UTF-16 units, optionally folding ASCII letters to lower case.
struct PathHasher {
  Uint32 h = 2166136261u;

  void unit(char16_t c) {
    h ^= Uint32(c);
    h *= 16777619u;
  }
  void text(std::u16string_view s, bool fold) {
    for (char16_t c : s) unit(fold && c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c);
  }
  void number(Uint64 magnitude, bool negative) {
    char buf[24];
    char* end = std::to_chars(buf, buf + sizeof buf, magnitude).ptr;
    if (negative) unit(u'-');
    for (char* p = buf; p != end; p++) unit(char16_t(*p));
  }
  // Reals that compare equal hash alike: one zero, one NaN, shortest spelling.
  void Real(double x) {
    unit(u'r');
    if (std::isnan(x)) return text(u"nan", false);
    char buf[32];
    char* end = std::to_chars(buf, buf + sizeof buf, x == 0 ? 0.0 : x).ptr;
    for (char* p = buf; p != end; p++) unit(char16_t(*p));
  }
};

}  // namespace

Uint32 CIMObjectPath::makeHashCode() const {
  // Hash a canonical form in which everything equality ignores is
  // normalised: case of names and booleans, and the spelling of numbers.
  const Rep& r = *_rep;
  PathHasher hash;
  hash.text(r.host.view(), true);
  hash.unit(u'/');
  hash.text(r.nameSpace.getString().view(), true);
  hash.unit(u':');
  hash.text(r.className.getString().view(), true);
  for (const auto& k : r.keys) {
    hash.unit(u',');
    hash.text(k.getName().getString().view(), true);
    hash.unit(u'=');
    std::u16string_view value = k.getValue().view();
    switch (k.getType()) {
      case CIMKeyBinding::BOOLEAN:
        hash.text(value, true);
        break;
      case CIMKeyBinding::NUMERIC: {
        mgmt::broker::IntegerText integer;
        double real = 0;
        if (mgmt::broker::ReadKeyInteger(value, integer))
          hash.number(integer.magnitude, integer.negative);
        else if (mgmt::broker::ReadKeyReal(value, real))
          hash.Real(real);
        else
          hash.text(value, false);
        break;
      }
      case CIMKeyBinding::REFERENCE:
        try {
          hash.number(CIMObjectPath(k.getValue()).makeHashCode(), false);
        } catch (const Exception&) {
          hash.text(value, false);
        }
        break;
      case CIMKeyBinding::STRING:
        hash.text(value, false);
        break;
    }
  }
  return hash.h;
}

Boolean operator==(const CIMObjectPath& x, const CIMObjectPath& y) { return x.identical(y); }
Boolean operator!=(const CIMObjectPath& x, const CIMObjectPath& y) { return !x.identical(y); }

}  // namespace Pegasus
