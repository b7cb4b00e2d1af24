#include "cimxml/CimXmlReader.h"

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMFlavor.h>
#include <Pegasus/Common/CIMMethod.h>
#include <Pegasus/Common/CIMParameter.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMQualifier.h>
#include <Pegasus/Common/Exception.h>

#include <cstring>

#include "CimNumber.h"
#include "cimxml/CimXmlError.h"
#include "cimxml/ValueText.h"

using namespace Pegasus;

namespace mgmt::cimxml {

namespace {

// Runs `f`, turning the object model's own exceptions (an illegal name, a type
// mismatch) into decoding errors, so callers only ever see CimXmlError.
template <typename F>
auto guarded(const char* what, F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const Exception& e) {
    throw CimXmlError(std::string(what) + ": " + utf8(e.getMessage()));
  }
}

[[noreturn]] void unexpected(pugi::xml_node node, const char* where) {
  throw CimXmlError(std::string("unexpected ") +
                    (node ? std::string("<") + node.name() + ">" : "end") + " in " + where);
}

void expect(pugi::xml_node node, const char* name) {
  if (!is(node, name)) {
    throw CimXmlError(std::string("expected <") + name + ">, found " +
                      (node ? std::string("<") + node.name() + ">" : std::string("nothing")));
  }
}

// The character content of an element that may hold only text (CDATA included).
std::string textOf(pugi::xml_node node) {
  std::string out;
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
      out += c.value();
    else if (c.type() == pugi::node_element)
      unexpected(c, node.name());
  }
  return out;
}

bool boolAttr(pugi::xml_node node, const char* name) {
  pugi::xml_attribute a = node.attribute(name);
  if (!a) return false;
  std::string v = a.value();
  for (char& ch : v) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (v == "true") return true;
  if (v == "false") return false;
  throw CimXmlError(std::string("attribute ") + name + " must be true or false");
}

CIMName optionalName(pugi::xml_node node, const char* name) {
  pugi::xml_attribute a = node.attribute(name);
  return a ? nameAttr(node, name) : CIMName();
}

CIMType typeAttr(pugi::xml_node node, const char* name, CIMType fallback) {
  pugi::xml_attribute a = node.attribute(name);
  if (!a) return fallback;
  auto t = parseTypeName(a.value());
  if (!t) throw CimXmlError(std::string("unsupported ") + name + " \"" + a.value() + "\"");
  return *t;
}

Uint32 arraySizeAttr(pugi::xml_node node) {
  pugi::xml_attribute a = node.attribute("ARRAYSIZE");
  if (!a) return 0;
  Uint32 n = 0;
  if (mgmt::broker::ParseInteger(a.value(), n) != mgmt::broker::NumberStatus::kOk)
    throw CimXmlError("invalid ARRAYSIZE");
  return n;
}

CIMKeyBinding readKeyBinding(pugi::xml_node kb) {
  CIMName name = nameAttr(kb, "NAME");
  pugi::xml_node v = firstElement(kb);
  if (nextElement(v)) unexpected(nextElement(v), "KEYBINDING");
  if (is(v, "VALUE.REFERENCE"))
    return CIMKeyBinding(name, readReference(v).toString(), CIMKeyBinding::REFERENCE);
  expect(v, "KEYVALUE");
  std::string vt = v.attribute("VALUETYPE") ? v.attribute("VALUETYPE").value() : "string";
  std::string text = textOf(v);
  CIMKeyBinding::Type type;
  if (vt == "string") {
    type = CIMKeyBinding::STRING;
  } else if (vt == "boolean") {
    type = CIMKeyBinding::BOOLEAN;
    scalarFromText(CIMTYPE_BOOLEAN, text);  // validates
    for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  } else if (vt == "numeric") {
    // Kept as written (less the blanks around it); it must be a number a key
    // can hold, or path equality would silently fall back to comparing text.
    type = CIMKeyBinding::NUMERIC;
    text = std::string(mgmt::broker::StripNumberBlanks(text));
    const String value = fromUtf8(text);
    mgmt::broker::IntegerText integer;
    double real = 0;
    if (!mgmt::broker::ReadKeyInteger(value.view(), integer) &&
        !mgmt::broker::ReadKeyReal(value.view(), real))
      throw CimXmlError("invalid numeric KEYVALUE \"" + text + "\"");
  } else {
    throw CimXmlError("unsupported KEYVALUE VALUETYPE \"" + vt + "\"");
  }
  return CIMKeyBinding(name, fromUtf8(text), type);
}

// NAMESPACEPATH: the host and the namespace.
std::pair<String, CIMNamespaceName> readNamespacePath(pugi::xml_node node) {
  expect(node, "NAMESPACEPATH");
  pugi::xml_node host = firstElement(node);
  expect(host, "HOST");
  pugi::xml_node local = nextElement(host);
  return {fromUtf8(textOf(host)), readLocalNamespacePath(local)};
}

CIMQualifier readQualifier(pugi::xml_node node) {
  CIMName name = nameAttr(node, "NAME");
  CIMType type = typeAttr(node, "TYPE", CIMTYPE_STRING);
  pugi::xml_node v = firstElement(node);
  CIMValue value = readValue(v, type, is(v, "VALUE.ARRAY"));
  return CIMQualifier(name, value, CIMFlavor(CIMFlavor::NONE), boolAttr(node, "PROPAGATED"));
}

bool isProperty(pugi::xml_node n) {
  return is(n, "PROPERTY") || is(n, "PROPERTY.ARRAY") || is(n, "PROPERTY.REFERENCE");
}

CIMProperty readProperty(pugi::xml_node node) {
  CIMName name = nameAttr(node, "NAME");
  CIMName origin = optionalName(node, "CLASSORIGIN");
  bool propagated = boolAttr(node, "PROPAGATED");
  std::vector<CIMQualifier> quals;
  pugi::xml_node c = firstElement(node);
  for (; is(c, "QUALIFIER"); c = nextElement(c)) quals.push_back(readQualifier(c));
  if (c && nextElement(c)) unexpected(nextElement(c), node.name());
  CIMProperty p;
  if (is(node, "PROPERTY.REFERENCE")) {
    if (c) expect(c, "VALUE.REFERENCE");
    p = CIMProperty(name, readValue(c, CIMTYPE_REFERENCE, false), 0,
                    optionalName(node, "REFERENCECLASS"), origin, propagated);
  } else {
    const bool array = is(node, "PROPERTY.ARRAY");
    CIMType type = typeAttr(node, "TYPE", CIMTYPE_STRING);
    if (type == CIMTYPE_REFERENCE) throw CimXmlError("a reference must be a PROPERTY.REFERENCE");
    if (c) expect(c, array ? "VALUE.ARRAY" : "VALUE");
    p = CIMProperty(name, readValue(c, type, array), 0, CIMName(), origin, propagated);
  }
  for (auto& q : quals) p.addQualifier(q);
  return p;
}

CIMParameter readParameter(pugi::xml_node node) {
  CIMName name = nameAttr(node, "NAME");
  CIMParameter p;
  if (is(node, "PARAMETER")) {
    p = CIMParameter(name, typeAttr(node, "TYPE", CIMTYPE_STRING));
  } else if (is(node, "PARAMETER.ARRAY")) {
    p = CIMParameter(name, typeAttr(node, "TYPE", CIMTYPE_STRING), true, arraySizeAttr(node));
  } else if (is(node, "PARAMETER.REFERENCE")) {
    p = CIMParameter(name, CIMTYPE_REFERENCE, false, 0, optionalName(node, "REFERENCECLASS"));
  } else if (is(node, "PARAMETER.REFARRAY")) {
    p = CIMParameter(name, CIMTYPE_REFERENCE, true, arraySizeAttr(node),
                     optionalName(node, "REFERENCECLASS"));
  } else {
    unexpected(node, "METHOD");
  }
  for (pugi::xml_node q = firstElement(node); q; q = nextElement(q)) {
    expect(q, "QUALIFIER");
    p.addQualifier(readQualifier(q));
  }
  return p;
}

CIMMethod readMethod(pugi::xml_node node) {
  // A method without TYPE returns nothing; uint32 is the conventional stand-in.
  CIMMethod m(nameAttr(node, "NAME"), typeAttr(node, "TYPE", CIMTYPE_UINT32),
              optionalName(node, "CLASSORIGIN"), boolAttr(node, "PROPAGATED"));
  pugi::xml_node c = firstElement(node);
  for (; is(c, "QUALIFIER"); c = nextElement(c)) m.addQualifier(readQualifier(c));
  for (; c; c = nextElement(c)) m.addParameter(readParameter(c));
  return m;
}

// A PARAMVALUE or RETURNVALUE value: typed when `typeAttrName` is present.
CIMValue readParamContent(pugi::xml_node node, const char* typeAttrName, bool& typed) {
  pugi::xml_node v = firstElement(node);
  if (v && nextElement(v)) unexpected(nextElement(v), node.name());
  pugi::xml_attribute ta = node.attribute(typeAttrName);
  typed = static_cast<bool>(ta) || is(v, "VALUE.REFERENCE") || is(v, "VALUE.REFARRAY");
  if (v && !is(v, "VALUE") && !is(v, "VALUE.ARRAY") && !is(v, "VALUE.REFERENCE") &&
      !is(v, "VALUE.REFARRAY"))
    unexpected(v, node.name());
  const bool array = is(v, "VALUE.ARRAY") || is(v, "VALUE.REFARRAY");
  CIMType fallback =
      (is(v, "VALUE.REFERENCE") || is(v, "VALUE.REFARRAY")) ? CIMTYPE_REFERENCE : CIMTYPE_STRING;
  CIMType type = typeAttr(node, typeAttrName, fallback);
  return readValue(v, type, array);
}

}  // namespace

pugi::xml_node firstElement(pugi::xml_node node) {
  pugi::xml_node c = node.first_child();
  while (c && c.type() != pugi::node_element) c = c.next_sibling();
  return c;
}

pugi::xml_node nextElement(pugi::xml_node node) {
  pugi::xml_node c = node.next_sibling();
  while (c && c.type() != pugi::node_element) c = c.next_sibling();
  return c;
}

bool is(pugi::xml_node node, const char* name) {
  return node && std::strcmp(node.name(), name) == 0;
}

std::string requiredAttr(pugi::xml_node node, const char* name) {
  pugi::xml_attribute a = node.attribute(name);
  if (!a) throw CimXmlError(std::string("<") + node.name() + "> lacks the " + name + " attribute");
  return a.value();
}

CIMName nameAttr(pugi::xml_node node, const char* name) {
  std::string v = requiredAttr(node, name);
  return guarded("invalid name", [&] { return CIMName(fromUtf8(v)); });
}

CIMNamespaceName readLocalNamespacePath(pugi::xml_node node) {
  expect(node, "LOCALNAMESPACEPATH");
  std::string ns;
  for (pugi::xml_node n = firstElement(node); n; n = nextElement(n)) {
    expect(n, "NAMESPACE");
    if (!ns.empty()) ns += '/';
    ns += requiredAttr(n, "NAME");
  }
  if (ns.empty()) throw CimXmlError("empty LOCALNAMESPACEPATH");
  return guarded("invalid namespace", [&] { return CIMNamespaceName(fromUtf8(ns)); });
}

CIMObjectPath readInstanceName(pugi::xml_node node) {
  expect(node, "INSTANCENAME");
  return guarded("invalid instance name", [&] {
    CIMName cls = nameAttr(node, "CLASSNAME");
    Array<CIMKeyBinding> keys;
    for (pugi::xml_node kb = firstElement(node); kb; kb = nextElement(kb)) {
      // A bare KEYVALUE or VALUE.REFERENCE names no key; the object model cannot
      // hold a binding without a name, so refuse it rather than guess one.
      expect(kb, "KEYBINDING");
      keys.append(readKeyBinding(kb));
    }
    return CIMObjectPath(String(), CIMNamespaceName(), cls, keys);
  });
}

CIMObjectPath readReference(pugi::xml_node node) {
  expect(node, "VALUE.REFERENCE");
  pugi::xml_node c = firstElement(node);
  if (c && nextElement(c)) unexpected(nextElement(c), "VALUE.REFERENCE");
  return guarded("invalid reference", [&] {
    if (is(c, "INSTANCENAME")) return readInstanceName(c);
    if (is(c, "CLASSNAME")) return CIMObjectPath(String(), CIMNamespaceName(), nameAttr(c, "NAME"));
    if (is(c, "LOCALINSTANCEPATH") || is(c, "LOCALCLASSPATH")) return readLocalObjectPath(c);
    if (is(c, "INSTANCEPATH") || is(c, "CLASSPATH")) {
      pugi::xml_node nsPath = firstElement(c);
      auto [host, ns] = readNamespacePath(nsPath);
      pugi::xml_node target = nextElement(nsPath);
      CIMObjectPath p =
          is(c, "INSTANCEPATH")
              ? readInstanceName(target)
              : (expect(target, "CLASSNAME"),
                 CIMObjectPath(String(), CIMNamespaceName(), nameAttr(target, "NAME")));
      if (nextElement(target)) unexpected(nextElement(target), c.name());
      p.setNameSpace(ns);
      p.setHost(host);
      return p;
    }
    unexpected(c, "VALUE.REFERENCE");
  });
}

CIMObjectPath readLocalObjectPath(pugi::xml_node node) {
  const bool instance = is(node, "LOCALINSTANCEPATH");
  if (!instance) expect(node, "LOCALCLASSPATH");
  pugi::xml_node nsNode = firstElement(node);
  CIMNamespaceName ns = readLocalNamespacePath(nsNode);
  pugi::xml_node target = nextElement(nsNode);
  if (nextElement(target)) unexpected(nextElement(target), node.name());
  return guarded("invalid path", [&] {
    CIMObjectPath p;
    if (instance) {
      p = readInstanceName(target);
    } else {
      expect(target, "CLASSNAME");
      p = CIMObjectPath(String(), CIMNamespaceName(), nameAttr(target, "NAME"));
    }
    p.setNameSpace(ns);
    return p;
  });
}

CIMValue readValue(pugi::xml_node node, CIMType type, bool isArray) {
  return guarded("invalid value", [&]() -> CIMValue {
    if (!node) return CIMValue(type, isArray);
    if (is(node, "VALUE.NULL")) return CIMValue(type, isArray);
    if (type == CIMTYPE_REFERENCE) {
      if (!isArray) return CIMValue(readReference(node));
      expect(node, "VALUE.REFARRAY");
      Array<CIMObjectPath> paths;
      for (pugi::xml_node r = firstElement(node); r; r = nextElement(r))
        paths.append(readReference(r));
      return CIMValue(paths);
    }
    if (!isArray) {
      expect(node, "VALUE");
      return scalarFromText(type, textOf(node));
    }
    expect(node, "VALUE.ARRAY");
    std::vector<std::string> texts;
    for (pugi::xml_node e = firstElement(node); e; e = nextElement(e)) {
      expect(e, "VALUE");
      texts.push_back(textOf(e));
    }
    return arrayFromTexts(type, texts);
  });
}

CIMInstance readInstance(pugi::xml_node node) {
  expect(node, "INSTANCE");
  return guarded("invalid instance", [&] {
    CIMInstance inst(nameAttr(node, "CLASSNAME"));
    pugi::xml_node c = firstElement(node);
    for (; is(c, "QUALIFIER"); c = nextElement(c)) inst.addQualifier(readQualifier(c));
    for (; c; c = nextElement(c)) {
      if (!isProperty(c)) unexpected(c, "INSTANCE");
      inst.addProperty(readProperty(c));
    }
    return inst;
  });
}

CIMInstance readNamedInstance(pugi::xml_node node) {
  expect(node, "VALUE.NAMEDINSTANCE");
  pugi::xml_node nameNode = firstElement(node);
  CIMObjectPath path = readInstanceName(nameNode);
  pugi::xml_node instNode = nextElement(nameNode);
  if (nextElement(instNode)) unexpected(nextElement(instNode), "VALUE.NAMEDINSTANCE");
  CIMInstance inst = readInstance(instNode);
  guarded("instance name does not match the instance", [&] {
    inst.setPath(path);
    return 0;
  });
  return inst;
}

CIMClass readClass(pugi::xml_node node) {
  expect(node, "CLASS");
  return guarded("invalid class", [&] {
    CIMClass cls(nameAttr(node, "NAME"), optionalName(node, "SUPERCLASS"));
    pugi::xml_node c = firstElement(node);
    for (; is(c, "QUALIFIER"); c = nextElement(c)) cls.addQualifier(readQualifier(c));
    for (; isProperty(c); c = nextElement(c)) cls.addProperty(readProperty(c));
    for (; is(c, "METHOD"); c = nextElement(c)) cls.addMethod(readMethod(c));
    if (c) unexpected(c, "CLASS");
    return cls;
  });
}

CIMParamValue readParamValue(pugi::xml_node node) {
  expect(node, "PARAMVALUE");
  std::string name = requiredAttr(node, "NAME");
  return guarded("invalid parameter", [&] {
    bool typed = false;
    CIMValue v = readParamContent(node, "PARAMTYPE", typed);
    return CIMParamValue(fromUtf8(name), v, typed);
  });
}

CIMValue readReturnValue(pugi::xml_node node) {
  expect(node, "RETURNVALUE");
  bool typed = false;
  return readParamContent(node, "PARAMTYPE", typed);
}

}  // namespace mgmt::cimxml
