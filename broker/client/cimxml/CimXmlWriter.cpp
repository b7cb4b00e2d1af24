#include "cimxml/CimXmlWriter.h"

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMMethod.h>
#include <Pegasus/Common/CIMParameter.h>
#include <Pegasus/Common/Exception.h>

#include "cimxml/ValueText.h"

using namespace Pegasus;

namespace mgmt::cimxml {

namespace {

bool needsEscape(unsigned char c, bool attribute) {
  return c < 0x20 || c == 0x7f || c == '&' || c == '<' || c == '>' ||
         (attribute && (c == '"' || c == '\''));
}

void escape(std::string& out, std::string_view text, bool attribute) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    const auto c = static_cast<unsigned char>(ch);
    if (!needsEscape(c, attribute)) continue;
    out.append(text.data() + start, i - start);  // the plain run before this character
    start = i + 1;
    switch (ch) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      case '\t':
      case '\n':
      case '\r':
        // An attribute value would have them normalised to blanks anyway.
        out += attribute ? ' ' : ch;
        break;
      default:
        // Other control characters cannot appear in XML 1.0 at all, not even as
        // character references; U+FFFD marks where one was.
        out += "\xEF\xBF\xBD";
    }
  }
  out.append(text.data() + start, text.size() - start);
}

void attr(std::string& out, const char* name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  escape(out, value, true);
  out += '"';
}

void attr(std::string& out, const char* name, const char* value) {
  attr(out, name, std::string_view(value));
}
void attr(std::string& out, const char* name, const std::string& value) {
  attr(out, name, std::string_view(value));
}
void attr(std::string& out, const char* name, const CIMName& value) {
  attr(out, name, utf8(value.getString()));
}

void open(std::string& out, const char* element) {
  out += '<';
  out += element;
}

void close(std::string& out, const char* element) {
  out += "</";
  out += element;
  out += '>';
}

void writeKeyBinding(std::string& out, const CIMKeyBinding& kb) {
  open(out, "KEYBINDING");
  attr(out, "NAME", kb.getName());
  out += '>';
  if (kb.getType() == CIMKeyBinding::REFERENCE) {
    try {
      writeReference(out, CIMObjectPath(kb.getValue()));
      close(out, "KEYBINDING");
      return;
    } catch (const Exception&) {
      // Not a parseable path after all: send the text as a string key.
    }
  }
  const char* vt = kb.getType() == CIMKeyBinding::BOOLEAN   ? "boolean"
                   : kb.getType() == CIMKeyBinding::NUMERIC ? "numeric"
                                                            : "string";
  open(out, "KEYVALUE");
  attr(out, "VALUETYPE", vt);
  out += '>';
  escape(out, utf8(kb.getValue()), false);
  close(out, "KEYVALUE");
  close(out, "KEYBINDING");
}

void writeClassName(std::string& out, const CIMName& cls) {
  open(out, "CLASSNAME");
  attr(out, "NAME", cls);
  out += "></CLASSNAME>";
}

void writeNamespacePath(std::string& out, const String& host, const CIMNamespaceName& ns) {
  out += "<NAMESPACEPATH><HOST>";
  escape(out, utf8(host), false);
  out += "</HOST>";
  writeLocalNamespacePath(out, ns);
  out += "</NAMESPACEPATH>";
}

void writeQualifiers(std::string& out, auto const& element) {
  for (Uint32 i = 0; i < element.getQualifierCount(); ++i)
    writeQualifier(out, element.getQualifier(i));
}

template <typename P>
void writeParameter(std::string& out, const P& p) {
  const bool ref = p.getType() == CIMTYPE_REFERENCE;
  const char* el = ref ? (p.isArray() ? "PARAMETER.REFARRAY" : "PARAMETER.REFERENCE")
                       : (p.isArray() ? "PARAMETER.ARRAY" : "PARAMETER");
  open(out, el);
  attr(out, "NAME", p.getName());
  if (ref) {
    if (!p.getReferenceClassName().isNull()) attr(out, "REFERENCECLASS", p.getReferenceClassName());
  } else {
    attr(out, "TYPE", typeName(p.getType()));
  }
  if (p.isArray() && p.getArraySize() != 0)
    attr(out, "ARRAYSIZE", std::to_string(p.getArraySize()));
  out += '>';
  writeQualifiers(out, p);
  close(out, el);
}

}  // namespace

void appendEscaped(std::string& out, std::string_view text) { escape(out, text, false); }
void appendAttrEscaped(std::string& out, std::string_view text) { escape(out, text, true); }

void writeLocalNamespacePath(std::string& out, const CIMNamespaceName& ns) {
  out += "<LOCALNAMESPACEPATH>";
  const std::string text = utf8(ns.getString());
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t slash = text.find('/', start);
    if (slash == std::string::npos) slash = text.size();
    if (slash > start) {
      open(out, "NAMESPACE");
      attr(out, "NAME", std::string_view(text).substr(start, slash - start));
      out += "></NAMESPACE>";
    }
    start = slash + 1;
  }
  out += "</LOCALNAMESPACEPATH>";
}

void writeInstanceName(std::string& out, const CIMObjectPath& path) {
  open(out, "INSTANCENAME");
  attr(out, "CLASSNAME", path.getClassName());
  out += '>';
  const Array<CIMKeyBinding>& keys = path.getKeyBindings();
  for (Uint32 i = 0; i < keys.size(); ++i) writeKeyBinding(out, keys[i]);
  close(out, "INSTANCENAME");
}

void writeReference(std::string& out, const CIMObjectPath& path) {
  out += "<VALUE.REFERENCE>";
  const bool hasHost = path.getHost().size() != 0;
  const bool hasNs = !path.getNameSpace().isNull();
  if (path.getKeyBindings().size() == 0) {
    if (hasHost && hasNs) {
      out += "<CLASSPATH>";
      writeNamespacePath(out, path.getHost(), path.getNameSpace());
      writeClassName(out, path.getClassName());
      out += "</CLASSPATH>";
    } else if (hasNs) {
      out += "<LOCALCLASSPATH>";
      writeLocalNamespacePath(out, path.getNameSpace());
      writeClassName(out, path.getClassName());
      out += "</LOCALCLASSPATH>";
    } else {
      writeClassName(out, path.getClassName());
    }
  } else if (hasHost && hasNs) {
    out += "<INSTANCEPATH>";
    writeNamespacePath(out, path.getHost(), path.getNameSpace());
    writeInstanceName(out, path);
    out += "</INSTANCEPATH>";
  } else if (hasNs) {
    out += "<LOCALINSTANCEPATH>";
    writeLocalNamespacePath(out, path.getNameSpace());
    writeInstanceName(out, path);
    out += "</LOCALINSTANCEPATH>";
  } else {
    writeInstanceName(out, path);
  }
  out += "</VALUE.REFERENCE>";
}

void writeValue(std::string& out, const CIMValue& value) {
  if (value.isNull()) return;
  if (value.getType() == CIMTYPE_REFERENCE) {
    if (value.isArray()) {
      Array<CIMObjectPath> a;
      value.get(a);
      out += "<VALUE.REFARRAY>";
      for (Uint32 i = 0; i < a.size(); ++i) writeReference(out, a[i]);
      out += "</VALUE.REFARRAY>";
    } else {
      CIMObjectPath p;
      value.get(p);
      writeReference(out, p);
    }
    return;
  }
  const std::vector<std::string> texts = valueTexts(value);
  if (value.isArray()) out += "<VALUE.ARRAY>";
  for (const auto& t : texts) {
    out += "<VALUE>";
    escape(out, t, false);
    out += "</VALUE>";
  }
  if (value.isArray()) out += "</VALUE.ARRAY>";
}

void writeQualifier(std::string& out, const CIMConstQualifier& q) {
  open(out, "QUALIFIER");
  attr(out, "NAME", q.getName());
  attr(out, "TYPE", typeName(q.getType()));
  if (q.getPropagated()) attr(out, "PROPAGATED", "true");
  out += '>';
  writeValue(out, q.getValue());
  close(out, "QUALIFIER");
}

void writeProperty(std::string& out, const CIMConstProperty& p, bool includeQualifiers,
                   bool includeClassOrigin) {
  const CIMValue& v = p.getValue();
  const bool ref = p.getType() == CIMTYPE_REFERENCE;
  const char* el = ref ? "PROPERTY.REFERENCE" : (p.isArray() ? "PROPERTY.ARRAY" : "PROPERTY");
  open(out, el);
  attr(out, "NAME", p.getName());
  if (ref) {
    if (!p.getReferenceClassName().isNull()) attr(out, "REFERENCECLASS", p.getReferenceClassName());
  } else {
    attr(out, "TYPE", typeName(p.getType()));
  }
  if (p.isArray() && p.getArraySize() != 0)
    attr(out, "ARRAYSIZE", std::to_string(p.getArraySize()));
  if (includeClassOrigin && !p.getClassOrigin().isNull())
    attr(out, "CLASSORIGIN", p.getClassOrigin());
  if (p.getPropagated()) attr(out, "PROPAGATED", "true");
  out += '>';
  if (includeQualifiers) writeQualifiers(out, p);
  writeValue(out, v);
  close(out, el);
}

void writeInstance(std::string& out, const CIMConstInstance& inst, bool includeQualifiers,
                   bool includeClassOrigin) {
  open(out, "INSTANCE");
  attr(out, "CLASSNAME", inst.getClassName());
  out += '>';
  if (includeQualifiers) writeQualifiers(out, inst);
  for (Uint32 i = 0; i < inst.getPropertyCount(); ++i)
    writeProperty(out, inst.getProperty(i), includeQualifiers, includeClassOrigin);
  close(out, "INSTANCE");
}

void writeNamedInstance(std::string& out, const CIMConstInstance& inst, bool includeQualifiers,
                        bool includeClassOrigin) {
  out += "<VALUE.NAMEDINSTANCE>";
  writeInstanceName(out, inst.getPath());
  writeInstance(out, inst, includeQualifiers, includeClassOrigin);
  out += "</VALUE.NAMEDINSTANCE>";
}

void writeClass(std::string& out, const CIMConstClass& cls, bool includeQualifiers,
                bool includeClassOrigin) {
  open(out, "CLASS");
  attr(out, "NAME", cls.getClassName());
  if (!cls.getSuperClassName().isNull()) attr(out, "SUPERCLASS", cls.getSuperClassName());
  out += '>';
  if (includeQualifiers) writeQualifiers(out, cls);
  for (Uint32 i = 0; i < cls.getPropertyCount(); ++i)
    writeProperty(out, cls.getProperty(i), includeQualifiers, includeClassOrigin);
  for (Uint32 i = 0; i < cls.getMethodCount(); ++i) {
    CIMConstMethod m = cls.getMethod(i);
    open(out, "METHOD");
    attr(out, "NAME", m.getName());
    attr(out, "TYPE", typeName(m.getType()));
    if (includeClassOrigin && !m.getClassOrigin().isNull())
      attr(out, "CLASSORIGIN", m.getClassOrigin());
    out += '>';
    if (includeQualifiers) writeQualifiers(out, m);
    for (Uint32 k = 0; k < m.getParameterCount(); ++k) writeParameter(out, m.getParameter(k));
    close(out, "METHOD");
  }
  close(out, "CLASS");
}

void writeParamValue(std::string& out, const CIMParamValue& pv) {
  const CIMValue v = pv.getValue();
  open(out, "PARAMVALUE");
  attr(out, "NAME", utf8(pv.getParameterName()));
  if (pv.isTyped()) attr(out, "PARAMTYPE", typeName(v.getType()));
  out += '>';
  writeValue(out, v);
  close(out, "PARAMVALUE");
}

}  // namespace mgmt::cimxml
