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
auto Guarded(const char* what, F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const Exception& e) {
    throw CimXmlError(std::string(what) + ": " + Utf8(e.getMessage()));
  }
}

[[noreturn]] void Unexpected(pugi::xml_node node, const char* where) {
  throw CimXmlError(std::string("unexpected ") +
                    (node ? std::string("<") + node.name() + ">" : "end") + " in " + where);
}

void Expect(pugi::xml_node node, const char* name) {
  if (!Is(node, name)) {
    throw CimXmlError(std::string("expected <") + name + ">, found " +
                      (node ? std::string("<") + node.name() + ">" : std::string("nothing")));
  }
}

// The character content of an element that may hold only text (CDATA included).
std::string TextOf(pugi::xml_node node) {
  std::string out;
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
      out += c.value();
    else if (c.type() == pugi::node_element)
      Unexpected(c, node.name());
  }
  return out;
}

bool BoolAttr(pugi::xml_node node, const char* name) {
  pugi::xml_attribute a = node.attribute(name);
  if (!a) return false;
  std::string v = a.value();
  for (char& ch : v) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (v == "true") return true;
  if (v == "false") return false;
  throw CimXmlError(std::string("attribute ") + name + " must be true or false");
}

CIMName OptionalName(pugi::xml_node node, const char* name) {
  pugi::xml_attribute a = node.attribute(name);
  return a ? NameAttr(node, name) : CIMName();
}

CIMType TypeAttr(pugi::xml_node node, const char* name, CIMType fallback) {
  pugi::xml_attribute a = node.attribute(name);
  if (!a) return fallback;
  auto t = ParseTypeName(a.value());
  if (!t) throw CimXmlError(std::string("unsupported ") + name + " \"" + a.value() + "\"");
  return *t;
}

Uint32 ArraySizeAttr(pugi::xml_node node) {
  pugi::xml_attribute a = node.attribute("ARRAYSIZE");
  if (!a) return 0;
  Uint32 n = 0;
  if (mgmt::broker::ParseInteger(a.value(), n) != mgmt::broker::NumberStatus::kOk)
    throw CimXmlError("invalid ARRAYSIZE");
  return n;
}

CIMKeyBinding ReadKeyBinding(pugi::xml_node kb) {
  CIMName name = NameAttr(kb, "NAME");
  pugi::xml_node v = FirstElement(kb);
  if (NextElement(v)) Unexpected(NextElement(v), "KEYBINDING");
  if (Is(v, "VALUE.REFERENCE"))
    return CIMKeyBinding(name, ReadReference(v).toString(), CIMKeyBinding::REFERENCE);
  Expect(v, "KEYVALUE");
  std::string vt = v.attribute("VALUETYPE") ? v.attribute("VALUETYPE").value() : "string";
  std::string text = TextOf(v);
  CIMKeyBinding::Type type;
  if (vt == "string") {
    type = CIMKeyBinding::STRING;
  } else if (vt == "boolean") {
    type = CIMKeyBinding::BOOLEAN;
    ScalarFromText(CIMTYPE_BOOLEAN, text);  // validates
    for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  } else if (vt == "numeric") {
    // Kept as written (less the blanks around it); it must be a number a key
    // can hold, or path equality would silently fall back to comparing text.
    type = CIMKeyBinding::NUMERIC;
    text = std::string(mgmt::broker::StripNumberBlanks(text));
    const String value = FromUtf8(text);
    mgmt::broker::IntegerText integer;
    double real = 0;
    if (!mgmt::broker::ReadKeyInteger(value.view(), integer) &&
        !mgmt::broker::ReadKeyReal(value.view(), real))
      throw CimXmlError("invalid numeric KEYVALUE \"" + text + "\"");
  } else {
    throw CimXmlError("unsupported KEYVALUE VALUETYPE \"" + vt + "\"");
  }
  return CIMKeyBinding(name, FromUtf8(text), type);
}

// NAMESPACEPATH: the host and the namespace.
std::pair<String, CIMNamespaceName> ReadNamespacePath(pugi::xml_node node) {
  Expect(node, "NAMESPACEPATH");
  pugi::xml_node host = FirstElement(node);
  Expect(host, "HOST");
  pugi::xml_node local = NextElement(host);
  return {FromUtf8(TextOf(host)), ReadLocalNamespacePath(local)};
}

CIMQualifier ReadQualifier(pugi::xml_node node) {
  CIMName name = NameAttr(node, "NAME");
  CIMType type = TypeAttr(node, "TYPE", CIMTYPE_STRING);
  pugi::xml_node v = FirstElement(node);
  CIMValue value = ReadValue(v, type, Is(v, "VALUE.ARRAY"));
  return CIMQualifier(name, value, CIMFlavor(CIMFlavor::NONE), BoolAttr(node, "PROPAGATED"));
}

bool IsProperty(pugi::xml_node n) {
  return Is(n, "PROPERTY") || Is(n, "PROPERTY.ARRAY") || Is(n, "PROPERTY.REFERENCE");
}

CIMProperty ReadProperty(pugi::xml_node node) {
  CIMName name = NameAttr(node, "NAME");
  CIMName origin = OptionalName(node, "CLASSORIGIN");
  bool propagated = BoolAttr(node, "PROPAGATED");
  std::vector<CIMQualifier> quals;
  pugi::xml_node c = FirstElement(node);
  for (; Is(c, "QUALIFIER"); c = NextElement(c)) quals.push_back(ReadQualifier(c));
  if (c && NextElement(c)) Unexpected(NextElement(c), node.name());
  CIMProperty p;
  if (Is(node, "PROPERTY.REFERENCE")) {
    if (c) Expect(c, "VALUE.REFERENCE");
    p = CIMProperty(name, ReadValue(c, CIMTYPE_REFERENCE, false), 0,
                    OptionalName(node, "REFERENCECLASS"), origin, propagated);
  } else {
    const bool array = Is(node, "PROPERTY.ARRAY");
    CIMType type = TypeAttr(node, "TYPE", CIMTYPE_STRING);
    if (type == CIMTYPE_REFERENCE) throw CimXmlError("a reference must be a PROPERTY.REFERENCE");
    if (c) Expect(c, array ? "VALUE.ARRAY" : "VALUE");
    p = CIMProperty(name, ReadValue(c, type, array), 0, CIMName(), origin, propagated);
  }
  for (auto& q : quals) p.addQualifier(q);
  return p;
}

CIMParameter ReadParameter(pugi::xml_node node) {
  CIMName name = NameAttr(node, "NAME");
  CIMParameter p;
  if (Is(node, "PARAMETER")) {
    p = CIMParameter(name, TypeAttr(node, "TYPE", CIMTYPE_STRING));
  } else if (Is(node, "PARAMETER.ARRAY")) {
    p = CIMParameter(name, TypeAttr(node, "TYPE", CIMTYPE_STRING), true, ArraySizeAttr(node));
  } else if (Is(node, "PARAMETER.REFERENCE")) {
    p = CIMParameter(name, CIMTYPE_REFERENCE, false, 0, OptionalName(node, "REFERENCECLASS"));
  } else if (Is(node, "PARAMETER.REFARRAY")) {
    p = CIMParameter(name, CIMTYPE_REFERENCE, true, ArraySizeAttr(node),
                     OptionalName(node, "REFERENCECLASS"));
  } else {
    Unexpected(node, "METHOD");
  }
  for (pugi::xml_node q = FirstElement(node); q; q = NextElement(q)) {
    Expect(q, "QUALIFIER");
    p.addQualifier(ReadQualifier(q));
  }
  return p;
}

CIMMethod ReadMethod(pugi::xml_node node) {
  // A method without TYPE returns nothing; uint32 is the conventional stand-in.
  CIMMethod m(NameAttr(node, "NAME"), TypeAttr(node, "TYPE", CIMTYPE_UINT32),
              OptionalName(node, "CLASSORIGIN"), BoolAttr(node, "PROPAGATED"));
  pugi::xml_node c = FirstElement(node);
  for (; Is(c, "QUALIFIER"); c = NextElement(c)) m.addQualifier(ReadQualifier(c));
  for (; c; c = NextElement(c)) m.addParameter(ReadParameter(c));
  return m;
}

// A PARAMVALUE or RETURNVALUE value: typed when `typeAttrName` is present.
CIMValue ReadParamContent(pugi::xml_node node, const char* typeAttrName, bool& typed) {
  pugi::xml_node v = FirstElement(node);
  if (v && NextElement(v)) Unexpected(NextElement(v), node.name());
  pugi::xml_attribute ta = node.attribute(typeAttrName);
  typed = static_cast<bool>(ta) || Is(v, "VALUE.REFERENCE") || Is(v, "VALUE.REFARRAY");
  if (v && !Is(v, "VALUE") && !Is(v, "VALUE.ARRAY") && !Is(v, "VALUE.REFERENCE") &&
      !Is(v, "VALUE.REFARRAY"))
    Unexpected(v, node.name());
  const bool array = Is(v, "VALUE.ARRAY") || Is(v, "VALUE.REFARRAY");
  CIMType fallback =
      (Is(v, "VALUE.REFERENCE") || Is(v, "VALUE.REFARRAY")) ? CIMTYPE_REFERENCE : CIMTYPE_STRING;
  CIMType type = TypeAttr(node, typeAttrName, fallback);
  return ReadValue(v, type, array);
}

}  // namespace

pugi::xml_node FirstElement(pugi::xml_node node) {
  pugi::xml_node c = node.first_child();
  while (c && c.type() != pugi::node_element) c = c.next_sibling();
  return c;
}

pugi::xml_node NextElement(pugi::xml_node node) {
  pugi::xml_node c = node.next_sibling();
  while (c && c.type() != pugi::node_element) c = c.next_sibling();
  return c;
}

bool Is(pugi::xml_node node, const char* name) {
  return node && std::strcmp(node.name(), name) == 0;
}

std::string RequiredAttr(pugi::xml_node node, const char* name) {
  pugi::xml_attribute a = node.attribute(name);
  if (!a) throw CimXmlError(std::string("<") + node.name() + "> lacks the " + name + " attribute");
  return a.value();
}

CIMName NameAttr(pugi::xml_node node, const char* name) {
  std::string v = RequiredAttr(node, name);
  return Guarded("invalid name", [&] { return CIMName(FromUtf8(v)); });
}

CIMNamespaceName ReadLocalNamespacePath(pugi::xml_node node) {
  Expect(node, "LOCALNAMESPACEPATH");
  std::string ns;
  for (pugi::xml_node n = FirstElement(node); n; n = NextElement(n)) {
    Expect(n, "NAMESPACE");
    if (!ns.empty()) ns += '/';
    ns += RequiredAttr(n, "NAME");
  }
  if (ns.empty()) throw CimXmlError("empty LOCALNAMESPACEPATH");
  return Guarded("invalid namespace", [&] { return CIMNamespaceName(FromUtf8(ns)); });
}

CIMObjectPath ReadInstanceName(pugi::xml_node node) {
  Expect(node, "INSTANCENAME");
  return Guarded("invalid instance name", [&] {
    CIMName cls = NameAttr(node, "CLASSNAME");
    Array<CIMKeyBinding> keys;
    for (pugi::xml_node kb = FirstElement(node); kb; kb = NextElement(kb)) {
      // A bare KEYVALUE or VALUE.REFERENCE names no key; the object model cannot
      // hold a binding without a name, so refuse it rather than guess one.
      Expect(kb, "KEYBINDING");
      keys.append(ReadKeyBinding(kb));
    }
    return CIMObjectPath(String(), CIMNamespaceName(), cls, keys);
  });
}

CIMObjectPath ReadReference(pugi::xml_node node) {
  Expect(node, "VALUE.REFERENCE");
  pugi::xml_node c = FirstElement(node);
  if (c && NextElement(c)) Unexpected(NextElement(c), "VALUE.REFERENCE");
  return Guarded("invalid reference", [&] {
    if (Is(c, "INSTANCENAME")) return ReadInstanceName(c);
    if (Is(c, "CLASSNAME")) return CIMObjectPath(String(), CIMNamespaceName(), NameAttr(c, "NAME"));
    if (Is(c, "LOCALINSTANCEPATH") || Is(c, "LOCALCLASSPATH")) return ReadLocalObjectPath(c);
    if (Is(c, "INSTANCEPATH") || Is(c, "CLASSPATH")) {
      pugi::xml_node nsPath = FirstElement(c);
      auto [host, ns] = ReadNamespacePath(nsPath);
      pugi::xml_node target = NextElement(nsPath);
      CIMObjectPath p =
          Is(c, "INSTANCEPATH")
              ? ReadInstanceName(target)
              : (Expect(target, "CLASSNAME"),
                 CIMObjectPath(String(), CIMNamespaceName(), NameAttr(target, "NAME")));
      if (NextElement(target)) Unexpected(NextElement(target), c.name());
      p.setNameSpace(ns);
      p.setHost(host);
      return p;
    }
    Unexpected(c, "VALUE.REFERENCE");
  });
}

CIMObjectPath ReadLocalObjectPath(pugi::xml_node node) {
  const bool instance = Is(node, "LOCALINSTANCEPATH");
  if (!instance) Expect(node, "LOCALCLASSPATH");
  pugi::xml_node nsNode = FirstElement(node);
  CIMNamespaceName ns = ReadLocalNamespacePath(nsNode);
  pugi::xml_node target = NextElement(nsNode);
  if (NextElement(target)) Unexpected(NextElement(target), node.name());
  return Guarded("invalid path", [&] {
    CIMObjectPath p;
    if (instance) {
      p = ReadInstanceName(target);
    } else {
      Expect(target, "CLASSNAME");
      p = CIMObjectPath(String(), CIMNamespaceName(), NameAttr(target, "NAME"));
    }
    p.setNameSpace(ns);
    return p;
  });
}

CIMValue ReadValue(pugi::xml_node node, CIMType type, bool isArray) {
  return Guarded("invalid value", [&]() -> CIMValue {
    if (!node) return CIMValue(type, isArray);
    if (Is(node, "VALUE.NULL")) return CIMValue(type, isArray);
    if (type == CIMTYPE_REFERENCE) {
      if (!isArray) return CIMValue(ReadReference(node));
      Expect(node, "VALUE.REFARRAY");
      Array<CIMObjectPath> paths;
      for (pugi::xml_node r = FirstElement(node); r; r = NextElement(r))
        paths.append(ReadReference(r));
      return CIMValue(paths);
    }
    if (!isArray) {
      Expect(node, "VALUE");
      return ScalarFromText(type, TextOf(node));
    }
    Expect(node, "VALUE.ARRAY");
    std::vector<std::string> texts;
    for (pugi::xml_node e = FirstElement(node); e; e = NextElement(e)) {
      Expect(e, "VALUE");
      texts.push_back(TextOf(e));
    }
    return ArrayFromTexts(type, texts);
  });
}

CIMInstance ReadInstance(pugi::xml_node node) {
  Expect(node, "INSTANCE");
  return Guarded("invalid instance", [&] {
    CIMInstance inst(NameAttr(node, "CLASSNAME"));
    pugi::xml_node c = FirstElement(node);
    for (; Is(c, "QUALIFIER"); c = NextElement(c)) inst.addQualifier(ReadQualifier(c));
    for (; c; c = NextElement(c)) {
      if (!IsProperty(c)) Unexpected(c, "INSTANCE");
      inst.addProperty(ReadProperty(c));
    }
    return inst;
  });
}

CIMInstance ReadNamedInstance(pugi::xml_node node) {
  Expect(node, "VALUE.NAMEDINSTANCE");
  pugi::xml_node nameNode = FirstElement(node);
  CIMObjectPath path = ReadInstanceName(nameNode);
  pugi::xml_node instNode = NextElement(nameNode);
  if (NextElement(instNode)) Unexpected(NextElement(instNode), "VALUE.NAMEDINSTANCE");
  CIMInstance inst = ReadInstance(instNode);
  Guarded("instance name does not match the instance", [&] {
    inst.setPath(path);
    return 0;
  });
  return inst;
}

CIMClass ReadClass(pugi::xml_node node) {
  Expect(node, "CLASS");
  return Guarded("invalid class", [&] {
    CIMClass cls(NameAttr(node, "NAME"), OptionalName(node, "SUPERCLASS"));
    pugi::xml_node c = FirstElement(node);
    for (; Is(c, "QUALIFIER"); c = NextElement(c)) cls.addQualifier(ReadQualifier(c));
    for (; IsProperty(c); c = NextElement(c)) cls.addProperty(ReadProperty(c));
    for (; Is(c, "METHOD"); c = NextElement(c)) cls.addMethod(ReadMethod(c));
    if (c) Unexpected(c, "CLASS");
    return cls;
  });
}

CIMParamValue ReadParamValue(pugi::xml_node node) {
  Expect(node, "PARAMVALUE");
  std::string name = RequiredAttr(node, "NAME");
  return Guarded("invalid parameter", [&] {
    bool typed = false;
    CIMValue v = ReadParamContent(node, "PARAMTYPE", typed);
    return CIMParamValue(FromUtf8(name), v, typed);
  });
}

CIMValue ReadReturnValue(pugi::xml_node node) {
  Expect(node, "RETURNVALUE");
  bool typed = false;
  return ReadParamContent(node, "PARAMTYPE", typed);
}

}  // namespace mgmt::cimxml
