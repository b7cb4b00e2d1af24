// CIMObjectPath: storage with shared, copy-on-write data; key sorting; the
// text form (parse and print); equality and hashing.
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/Exception.h>

#include "KeyText.h"

#include <algorithm>

namespace Pegasus {

struct CIMObjectPath::Rep
{
    String host;
    CIMNamespaceName nameSpace;
    CIMName className;
    Array<CIMKeyBinding> keys;
};

namespace {

const std::shared_ptr<CIMObjectPath::Rep>& emptyRep()
{
    static const std::shared_ptr<CIMObjectPath::Rep> rep = std::make_shared<CIMObjectPath::Rep>();
    return rep;
}

void checkHost(const String& host)
{
    if (host.size() > 0 && !broker::validHost(host.view()))
        throw MalformedObjectNameException(host);
}

// Keys are kept sorted by name; a REFERENCE value is re-written in its own
// canonical (sorted) form so that equal references print alike.
Array<CIMKeyBinding> normalizeKeys(Array<CIMKeyBinding> keys)
{
    for (auto& k : keys)
    {
        if (k.getType() != CIMKeyBinding::REFERENCE)
            continue;
        try
        {
            k.setValue(CIMObjectPath(k.getValue()).toString());
        }
        catch (const Exception&)
        {
            // Not a path: keep the text as given; equality falls back to text.
        }
    }
    auto byName = [](const CIMKeyBinding& a, const CIMKeyBinding& b) {
        return String::compareNoCase(a.getName().getString(), b.getName().getString()) < 0;
    };
    // Providers usually give keys in order already; stable_sort allocates.
    if (!std::is_sorted(keys.begin(), keys.end(), byName))
        std::stable_sort(keys.begin(), keys.end(), byName);
    return keys;
}

// ---- parsing

[[noreturn]] void malformed(const String& text) { throw MalformedObjectNameException(text); }

String toString16(std::u16string_view v) { return String::fromUtf16(v); }

CIMName nameOrThrow(std::u16string_view v, const String& whole)
{
    try
    {
        return CIMName(toString16(v));
    }
    catch (const InvalidNameException&)
    {
        malformed(whole);
    }
}

bool looksLikeReference(const String& value)
{
    if (value.find(Char16('=')) == PEG_NOT_FOUND)
        return false;
    try
    {
        return CIMObjectPath(value).getKeyBindings().size() > 0;
    }
    catch (const Exception&)
    {
        return false;
    }
}

// Parses "name=value,name=value" starting at pos.
Array<CIMKeyBinding> parseKeys(std::u16string_view s, size_t pos, const String& whole)
{
    Array<CIMKeyBinding> keys;
    while (true)
    {
        size_t eq = s.find(u'=', pos);
        if (eq == s.npos)
            malformed(whole);
        CIMName name = nameOrThrow(s.substr(pos, eq - pos), whole);
        pos = eq + 1;
        if (pos >= s.size())
            malformed(whole);

        if (s[pos] == u'"')
        {
            std::u16string value;
            pos++;
            bool closed = false;
            while (pos < s.size())
            {
                char16_t c = s[pos];
                if (c == u'\\')
                {
                    if (pos + 1 >= s.size() || (s[pos + 1] != u'\\' && s[pos + 1] != u'"'))
                        malformed(whole);
                    value.push_back(s[pos + 1]);
                    pos += 2;
                    continue;
                }
                if (c == u'"')
                {
                    closed = true;
                    pos++;
                    break;
                }
                // Copy the run up to the next quote or backslash at once.
                size_t stop = s.find_first_of(u"\\\"", pos);
                if (stop == s.npos)
                    stop = s.size();
                value.append(s.substr(pos, stop - pos));
                pos = stop;
            }
            if (!closed)
                malformed(whole);
            String text = String::fromUtf16(value);
            CIMKeyBinding::Type type =
                looksLikeReference(text) ? CIMKeyBinding::REFERENCE : CIMKeyBinding::STRING;
            keys.append(CIMKeyBinding(name, text, type));
        }
        else
        {
            size_t end = s.find(u',', pos);
            std::u16string_view raw = s.substr(pos, end == s.npos ? s.npos : end - pos);
            char16_t first = raw.empty() ? 0 : raw[0];
            if (first == u'T' || first == u't' || first == u'F' || first == u'f')
            {
                String word = toString16(raw);
                if (!String::equalNoCase(word, "TRUE") && !String::equalNoCase(word, "FALSE"))
                    malformed(whole);
                word.toUpper();
                keys.append(CIMKeyBinding(name, word, CIMKeyBinding::BOOLEAN));
            }
            else
            {
                if (!broker::parseUnsigned(raw) && !broker::parseSigned(raw))
                    malformed(whole);
                keys.append(CIMKeyBinding(name, toString16(raw), CIMKeyBinding::NUMERIC));
            }
            pos = end == s.npos ? s.size() : end;
        }

        if (pos == s.size())
            return keys;
        if (s[pos] != u',' || pos + 1 == s.size())
            malformed(whole);
        pos++;
    }
}

void parseInto(const String& text, CIMObjectPath::Rep& rep)
{
    std::u16string_view s = text.view();
    size_t pos = 0;
    if (s.substr(0, 2) == u"//")
    {
        size_t slash = s.find(u'/', 2);
        if (slash == s.npos)
            malformed(text);
        String host = toString16(s.substr(2, slash - 2));
        if (!broker::validHost(host.view()))
            malformed(text);
        rep.host = host;
        pos = slash + 1;
    }

    size_t dot = s.find(u'.', pos);
    size_t colon = s.find(u':', pos);
    if (colon != s.npos && (dot == s.npos || colon < dot))
    {
        try
        {
            rep.nameSpace = CIMNamespaceName(toString16(s.substr(pos, colon - pos)));
        }
        catch (const InvalidNamespaceNameException&)
        {
            malformed(text);
        }
        pos = colon + 1;
    }
    else if (rep.host.size() > 0)
        malformed(text);

    rep.className = nameOrThrow(s.substr(pos, dot == s.npos ? s.npos : dot - pos), text);
    if (dot != s.npos)
        rep.keys = normalizeKeys(parseKeys(s, dot + 1, text));
}

void appendQuoted(std::u16string& out, std::u16string_view value)
{
    out.push_back(u'"');
    for (char16_t c : value)
    {
        if (c == u'"' || c == u'\\')
            out.push_back(u'\\');
        out.push_back(c);
    }
    out.push_back(u'"');
}

} // namespace

CIMObjectPath::CIMObjectPath() : _rep(emptyRep()) {}
CIMObjectPath::CIMObjectPath(const CIMObjectPath& x) = default;
CIMObjectPath::CIMObjectPath(CIMObjectPath&& x) noexcept : _rep(x._rep) {}
CIMObjectPath::~CIMObjectPath() = default;

CIMObjectPath::CIMObjectPath(const String& objectName) : _rep(emptyRep()) { set(objectName); }

CIMObjectPath::CIMObjectPath(const String& host, const CIMNamespaceName& nameSpace,
    const CIMName& className, const Array<CIMKeyBinding>& keyBindings)
    : _rep(emptyRep())
{
    set(host, nameSpace, className, keyBindings);
}

CIMObjectPath& CIMObjectPath::operator=(const CIMObjectPath& x) = default;
CIMObjectPath& CIMObjectPath::operator=(CIMObjectPath&& x) noexcept
{
    // Moved-from paths stay usable: they keep sharing the data.
    _rep = x._rep;
    return *this;
}

CIMObjectPath& CIMObjectPath::operator=(const String& objectName)
{
    set(objectName);
    return *this;
}

CIMObjectPath::Rep& CIMObjectPath::_mutable()
{
    if (_rep.use_count() != 1)
        _rep = std::make_shared<Rep>(*_rep);
    return *_rep;
}

void CIMObjectPath::clear() { _rep = emptyRep(); }

void CIMObjectPath::set(const String& host, const CIMNamespaceName& nameSpace,
    const CIMName& className, const Array<CIMKeyBinding>& keyBindings)
{
    checkHost(host);
    auto rep = std::make_shared<Rep>();
    rep->host = host;
    rep->nameSpace = nameSpace;
    rep->className = className;
    rep->keys = normalizeKeys(keyBindings);
    _rep = std::move(rep);
}

void CIMObjectPath::set(const String& objectName)
{
    auto rep = std::make_shared<Rep>();
    parseInto(objectName, *rep);
    _rep = std::move(rep);
}

const String& CIMObjectPath::getHost() const { return _rep->host; }

void CIMObjectPath::setHost(const String& host)
{
    checkHost(host);
    _mutable().host = host;
}

const CIMNamespaceName& CIMObjectPath::getNameSpace() const { return _rep->nameSpace; }
void CIMObjectPath::setNameSpace(const CIMNamespaceName& nameSpace)
{
    _mutable().nameSpace = nameSpace;
}
const CIMName& CIMObjectPath::getClassName() const { return _rep->className; }
void CIMObjectPath::setClassName(const CIMName& className) { _mutable().className = className; }
const Array<CIMKeyBinding>& CIMObjectPath::getKeyBindings() const { return _rep->keys; }
void CIMObjectPath::setKeyBindings(const Array<CIMKeyBinding>& keyBindings)
{
    Array<CIMKeyBinding> keys = normalizeKeys(keyBindings);
    _mutable().keys = std::move(keys);
}

String CIMObjectPath::toString() const
{
    const Rep& r = *_rep;
    std::u16string out;
    if (r.host.size() > 0)
    {
        out.append(u"//");
        out.append(r.host.view());
        out.push_back(u'/');
    }
    if (!r.nameSpace.isNull() || r.host.size() > 0)
    {
        out.append(r.nameSpace.getString().view());
        out.push_back(u':');
    }
    out.append(r.className.getString().view());
    for (Uint32 i = 0; i < r.keys.size(); i++)
    {
        const CIMKeyBinding& k = r.keys[i];
        out.push_back(i == 0 ? u'.' : u',');
        out.append(k.getName().getString().view());
        out.push_back(u'=');
        if (k.getType() == CIMKeyBinding::STRING || k.getType() == CIMKeyBinding::REFERENCE)
            appendQuoted(out, k.getValue().view());
        else
            out.append(k.getValue().view());
    }
    return String::fromUtf16(out);
}

Boolean CIMObjectPath::identical(const CIMObjectPath& x) const
{
    if (_rep == x._rep)
        return true;
    const Rep& a = *_rep;
    const Rep& b = *x._rep;
    if (!String::equalNoCase(a.host, b.host) || !a.nameSpace.equal(b.nameSpace) ||
        !a.className.equal(b.className) || a.keys.size() != b.keys.size())
        return false;
    for (Uint32 i = 0; i < a.keys.size(); i++)
        if (a.keys[i] != b.keys[i])
            return false;
    return true;
}

Uint32 CIMObjectPath::makeHashCode() const
{
    // Hash a canonical text in which everything that equality ignores is
    // normalised: case of names, booleans, and the spelling of numbers.
    const Rep& r = *_rep;
    String canon = r.host;
    canon.append(Char16('/'));
    canon.append(r.nameSpace.getString());
    canon.append(Char16(':'));
    canon.append(r.className.getString());
    canon.toLower();
    for (const auto& k : r.keys)
    {
        String name = k.getName().getString();
        name.toLower();
        canon.append(Char16(','));
        canon.append(name);
        canon.append(Char16('='));
        if (k.getType() == CIMKeyBinding::BOOLEAN)
        {
            String v = k.getValue();
            v.toLower();
            canon.append(v);
        }
        else if (k.getType() == CIMKeyBinding::NUMERIC)
        {
            if (auto u = broker::parseUnsigned(k.getValue().view()))
                canon.appendPrintf("%llu", *u);
            else if (auto sv = broker::parseSigned(k.getValue().view()))
                canon.appendPrintf("%lld", *sv);
            else
                canon.append(k.getValue());
        }
        else if (k.getType() == CIMKeyBinding::REFERENCE)
        {
            try
            {
                canon.appendPrintf("%u", CIMObjectPath(k.getValue()).makeHashCode());
            }
            catch (const Exception&)
            {
                canon.append(k.getValue());
            }
        }
        else
            canon.append(k.getValue());
    }
    Uint32 h = 2166136261u;
    for (char16_t c : canon.view())
    {
        h ^= Uint32(c);
        h *= 16777619u;
    }
    return h;
}

Boolean operator==(const CIMObjectPath& x, const CIMObjectPath& y) { return x.identical(y); }
Boolean operator!=(const CIMObjectPath& x, const CIMObjectPath& y) { return !x.identical(y); }

} // namespace Pegasus
