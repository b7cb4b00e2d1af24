// Parsing the text form of object paths, which arrives from clients:
// "//host/namespace:Class.key=value,...", with the key types read from the
// spelling of each value.
#include "ObjectPathRep.h"

#include <Pegasus/Common/Exception.h>

#include "CimNumber.h"
#include "HostText.h"

#include <algorithm>

namespace Pegasus::broker {

// Keys are kept sorted by name; a REFERENCE value is re-written in its own
// canonical (sorted) form so that equal references print alike.
Array<CIMKeyBinding> normalizeKeys(Array<CIMKeyBinding> keys) {
  for (auto& k : keys) {
    if (k.getType() != CIMKeyBinding::REFERENCE) continue;
    try {
      k.setValue(CIMObjectPath(k.getValue()).toString());
    } catch (const Exception&) {
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

namespace {

[[noreturn]] void malformed(const String& text) { throw MalformedObjectNameException(text); }

String toString16(std::u16string_view v) { return String::fromUtf16(v); }

CIMName nameOrThrow(std::u16string_view v, const String& whole) {
  try {
    return CIMName(toString16(v));
  } catch (const InvalidNameException&) {
    malformed(whole);
  }
}

bool looksLikeReference(const String& value) {
  if (value.find(Char16('=')) == PEG_NOT_FOUND) return false;
  try {
    return CIMObjectPath(value).getKeyBindings().size() > 0;
  } catch (const Exception&) {
    return false;
  }
}

// Parses "name=value,name=value" starting at pos.
Array<CIMKeyBinding> parseKeys(std::u16string_view s, size_t pos, const String& whole) {
  Array<CIMKeyBinding> keys;
  while (true) {
    size_t eq = s.find(u'=', pos);
    if (eq == s.npos) malformed(whole);
    CIMName name = nameOrThrow(s.substr(pos, eq - pos), whole);
    pos = eq + 1;
    if (pos >= s.size()) malformed(whole);

    if (s[pos] == u'"') {
      std::u16string value;
      pos++;
      bool closed = false;
      while (pos < s.size()) {
        char16_t c = s[pos];
        if (c == u'\\') {
          if (pos + 1 >= s.size() || (s[pos + 1] != u'\\' && s[pos + 1] != u'"')) malformed(whole);
          value.push_back(s[pos + 1]);
          pos += 2;
          continue;
        }
        if (c == u'"') {
          closed = true;
          pos++;
          break;
        }
        // Copy the run up to the next quote or backslash at once.
        size_t stop = s.find_first_of(u"\\\"", pos);
        if (stop == s.npos) stop = s.size();
        value.append(s.substr(pos, stop - pos));
        pos = stop;
      }
      if (!closed) malformed(whole);
      String text = String::fromUtf16(value);
      CIMKeyBinding::Type type =
          looksLikeReference(text) ? CIMKeyBinding::REFERENCE : CIMKeyBinding::STRING;
      keys.append(CIMKeyBinding(name, text, type));
    } else {
      size_t end = s.find(u',', pos);
      std::u16string_view raw = s.substr(pos, end == s.npos ? s.npos : end - pos);
      char16_t first = raw.empty() ? 0 : raw[0];
      if (first == u'T' || first == u't' || first == u'F' || first == u'f') {
        String word = toString16(raw);
        if (!String::equalNoCase(word, "TRUE") && !String::equalNoCase(word, "FALSE"))
          malformed(whole);
        word.toUpper();
        keys.append(CIMKeyBinding(name, word, CIMKeyBinding::BOOLEAN));
      } else {
        mgmt::broker::IntegerText number;
        if (!mgmt::broker::ReadKeyInteger(raw, number)) malformed(whole);
        keys.append(CIMKeyBinding(name, toString16(mgmt::broker::StripNumberBlanks(raw)),
                                  CIMKeyBinding::NUMERIC));
      }
      pos = end == s.npos ? s.size() : end;
    }

    if (pos == s.size()) return keys;
    if (s[pos] != u',' || pos + 1 == s.size()) malformed(whole);
    pos++;
  }
}

}  // namespace

void parseObjectPath(const String& text, CIMObjectPath::Rep& rep) {
  std::u16string_view s = text.view();
  size_t pos = 0;
  if (s.substr(0, 2) == u"//") {
    size_t slash = s.find(u'/', 2);
    if (slash == s.npos) malformed(text);
    String host = toString16(s.substr(2, slash - 2));
    if (!broker::validHost(host.view())) malformed(text);
    rep.host = host;
    pos = slash + 1;
  }

  size_t dot = s.find(u'.', pos);
  size_t colon = s.find(u':', pos);
  if (colon != s.npos && (dot == s.npos || colon < dot)) {
    try {
      rep.nameSpace = CIMNamespaceName(toString16(s.substr(pos, colon - pos)));
    } catch (const InvalidNamespaceNameException&) {
      malformed(text);
    }
    pos = colon + 1;
  } else if (rep.host.size() > 0)
    malformed(text);

  rep.className = nameOrThrow(s.substr(pos, dot == s.npos ? s.npos : dot - pos), text);
  if (dot != s.npos) rep.keys = normalizeKeys(parseKeys(s, dot + 1, text));
}

void appendQuoted(std::u16string& out, std::u16string_view value) {
  out.push_back(u'"');
  for (char16_t c : value) {
    if (c == u'"' || c == u'\\') out.push_back(u'\\');
    out.push_back(c);
  }
  out.push_back(u'"');
}

}  // namespace Pegasus::broker
