#include "cimxml/CimXmlWriter.h"

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMMethod.h>
#include <Pegasus/Common/CIMParameter.h>
#include <Pegasus/Common/Exception.h>

#include "cimxml/ValueText.h"

using namespace Pegasus;

namespace mgmt::cimxml {

namespace {

bool NeedsEscape(unsigned char c, bool attribute) {
  return c < 0x20 || c == 0x7f || c == '&' || c == '<' || c == '>' ||
         (attribute && (c == '"' || c == '\''));
}

void Escape(std::string& out, std::string_view text, bool attribute) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    const auto c = static_cast<unsigned char>(ch);
    if (!NeedsEscape(c, attribute)) continue;
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

void Attr(std::string& out, const char* name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  Escape(out, value, true);
  out += '"';
}

void Attr(std::string& out, const char* name, const char* value) {
  Attr(out, name, std::string_view(value));
}
void Attr(std::string& out, const char* name, const std::string& value) {
  Attr(out, name, std::string_view(value));
}
void Attr(std::string& out, const char* name, const CIMName& value) {
  Attr(out, name, Utf8(value.getString()));
}

void Open(std::string& out, const char* element) {
  out += '<';
  out += element;
}

void Close(std::string& out, const char* element) {
  out += "</";
  out += element;
  out += '>';
}

void WriteKeyBinding(std::string& out, const CIMKeyBinding& kb) {
  Open(out, "KEYBINDING");
  Attr(out, "NAME", kb.getName());
  out += '>';
  if (kb.getType() == CIMKeyBinding::REFERENCE) {
    try {
      WriteReference(out, CIMObjectPath(kb.getValue()));
      Close(out, "KEYBINDING");
      return;
    } catch (const Exception&) {
      // Not a parseable path after all: send the text as a string key.
    }
  }
  const char* vt = kb.getType() == CIMKeyBinding::BOOLEAN   ? "boolean"
                   : kb.getType() == CIMKeyBinding::NUMERIC ? "numeric"
                                                            : "string";
  Open(out, "KEYVALUE");
  Attr(out, "VALUETYPE", vt);
  out += '>';
  Escape(out, Utf8(kb.getValue()), false);
  Close(out, "KEYVALUE");
  Close(out, "KEYBINDING");
}

void WriteClassName(std::string& out, const CIMName& cls) {
  Open(out, "CLASSNAME");
  Attr(out, "NAME", cls);
  out += "></CLASSNAME>";
}

void WriteNamespacePath(std::string& out, const String& host, const CIMNamespaceName& ns) {
  out += "<NAMESPACEPATH><HOST>";
  Escape(out, Utf8(host), false);
  out += "</HOST>";
  WriteLocalNamespacePath(out, ns);
  out += "</NAMESPACEPATH>";
}

void WriteQualifiers(std::string& out, auto const& element) {
  for (Uint32 i = 0; i < element.getQualifierCount(); ++i)
    WriteQualifier(out, element.getQualifier(i));
}

template <typename P>
void WriteParameter(std::string& out, const P& p) {
  const bool ref = p.getType() == CIMTYPE_REFERENCE;
  const char* el = ref ? (p.isArray() ? "PARAMETER.REFARRAY" : "PARAMETER.REFERENCE")
                       : (p.isArray() ? "PARAMETER.ARRAY" : "PARAMETER");
  Open(out, el);
  Attr(out, "NAME", p.getName());
  if (ref) {
    if (!p.getReferenceClassName().isNull()) Attr(out, "REFERENCECLASS", p.getReferenceClassName());
  } else {
    Attr(out, "TYPE", TypeName(p.getType()));
  }
  if (p.isArray() && p.getArraySize() != 0)
    Attr(out, "ARRAYSIZE", std::to_string(p.getArraySize()));
  out += '>';
  WriteQualifiers(out, p);
  Close(out, el);
}

}  // namespace

void AppendEscaped(std::string& out, std::string_view text) { Escape(out, text, false); }
void AppendAttrEscaped(std::string& out, std::string_view text) { Escape(out, text, true); }

void WriteLocalNamespacePath(std::string& out, const CIMNamespaceName& ns) {
  out += "<LOCALNAMESPACEPATH>";
  const std::string text = Utf8(ns.getString());
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t slash = text.find('/', start);
    if (slash == std::string::npos) slash = text.size();
    if (slash > start) {
      Open(out, "NAMESPACE");
      Attr(out, "NAME", std::string_view(text).substr(start, slash - start));
      out += "></NAMESPACE>";
    }
    start = slash + 1;
  }
  out += "</LOCALNAMESPACEPATH>";
}

void WriteInstanceName(std::string& out, const CIMObjectPath& path) {
  Open(out, "INSTANCENAME");
  Attr(out, "CLASSNAME", path.getClassName());
  out += '>';
  const Array<CIMKeyBinding>& keys = path.getKeyBindings();
  for (Uint32 i = 0; i < keys.size(); ++i) WriteKeyBinding(out, keys[i]);
  Close(out, "INSTANCENAME");
}

void WriteReference(std::string& out, const CIMObjectPath& path) {
  out += "<VALUE.REFERENCE>";
  const bool hasHost = path.getHost().size() != 0;
  const bool hasNs = !path.getNameSpace().isNull();
  if (path.getKeyBindings().size() == 0) {
    if (hasHost && hasNs) {
      out += "<CLASSPATH>";
      WriteNamespacePath(out, path.getHost(), path.getNameSpace());
      WriteClassName(out, path.getClassName());
      out += "</CLASSPATH>";
    } else if (hasNs) {
      out += "<LOCALCLASSPATH>";
      WriteLocalNamespacePath(out, path.getNameSpace());
      WriteClassName(out, path.getClassName());
      out += "</LOCALCLASSPATH>";
    } else {
      WriteClassName(out, path.getClassName());
    }
  } else if (hasHost && hasNs) {
    out += "<INSTANCEPATH>";
    WriteNamespacePath(out, path.getHost(), path.getNameSpace());
    WriteInstanceName(out, path);
    out += "</INSTANCEPATH>";
  } else if (hasNs) {
    out += "<LOCALINSTANCEPATH>";
    WriteLocalNamespacePath(out, path.getNameSpace());
    WriteInstanceName(out, path);
    out += "</LOCALINSTANCEPATH>";
  } else {
    WriteInstanceName(out, path);
  }
  out += "</VALUE.REFERENCE>";
}

void WriteValue(std::string& out, const CIMValue& value) {
  if (value.isNull()) return;
  if (value.getType() == CIMTYPE_REFERENCE) {
    if (value.isArray()) {
      Array<CIMObjectPath> a;
      value.get(a);
      out += "<VALUE.REFARRAY>";
      for (Uint32 i = 0; i < a.size(); ++i) WriteReference(out, a[i]);
      out += "</VALUE.REFARRAY>";
    } else {
      CIMObjectPath p;
      value.get(p);
      WriteReference(out, p);
    }
    return;
  }
  const std::vector<std::string> texts = ValueTexts(value);
  if (value.isArray()) out += "<VALUE.ARRAY>";
  for (const auto& t : texts) {
    out += "<VALUE>";
    Escape(out, t, false);
    out += "</VALUE>";
  }
  if (value.isArray()) out += "</VALUE.ARRAY>";
}

void WriteQualifier(std::string& out, const CIMConstQualifier& q) {
  Open(out, "QUALIFIER");
  Attr(out, "NAME", q.getName());
  Attr(out, "TYPE", TypeName(q.getType()));
  if (q.getPropagated()) Attr(out, "PROPAGATED", "true");
  out += '>';
  WriteValue(out, q.getValue());
  Close(out, "QUALIFIER");
}

void WriteProperty(std::string& out, const CIMConstProperty& p, bool includeQualifiers,
                   bool includeClassOrigin) {
  const CIMValue& v = p.getValue();
  const bool ref = p.getType() == CIMTYPE_REFERENCE;
  const char* el = ref ? "PROPERTY.REFERENCE" : (p.isArray() ? "PROPERTY.ARRAY" : "PROPERTY");
  Open(out, el);
  Attr(out, "NAME", p.getName());
  if (ref) {
    if (!p.getReferenceClassName().isNull()) Attr(out, "REFERENCECLASS", p.getReferenceClassName());
  } else {
    Attr(out, "TYPE", TypeName(p.getType()));
  }
  if (p.isArray() && p.getArraySize() != 0)
    Attr(out, "ARRAYSIZE", std::to_string(p.getArraySize()));
  if (includeClassOrigin && !p.getClassOrigin().isNull())
    Attr(out, "CLASSORIGIN", p.getClassOrigin());
  if (p.getPropagated()) Attr(out, "PROPAGATED", "true");
  out += '>';
  if (includeQualifiers) WriteQualifiers(out, p);
  WriteValue(out, v);
  Close(out, el);
}

void WriteInstance(std::string& out, const CIMConstInstance& inst, bool includeQualifiers,
                   bool includeClassOrigin) {
  Open(out, "INSTANCE");
  Attr(out, "CLASSNAME", inst.getClassName());
  out += '>';
  if (includeQualifiers) WriteQualifiers(out, inst);
  for (Uint32 i = 0; i < inst.getPropertyCount(); ++i)
    WriteProperty(out, inst.getProperty(i), includeQualifiers, includeClassOrigin);
  Close(out, "INSTANCE");
}

void WriteNamedInstance(std::string& out, const CIMConstInstance& inst, bool includeQualifiers,
                        bool includeClassOrigin) {
  out += "<VALUE.NAMEDINSTANCE>";
  WriteInstanceName(out, inst.getPath());
  WriteInstance(out, inst, includeQualifiers, includeClassOrigin);
  out += "</VALUE.NAMEDINSTANCE>";
}

void WriteClass(std::string& out, const CIMConstClass& cls, bool includeQualifiers,
                bool includeClassOrigin) {
  Open(out, "CLASS");
  Attr(out, "NAME", cls.getClassName());
  if (!cls.getSuperClassName().isNull()) Attr(out, "SUPERCLASS", cls.getSuperClassName());
  out += '>';
  if (includeQualifiers) WriteQualifiers(out, cls);
  for (Uint32 i = 0; i < cls.getPropertyCount(); ++i)
    WriteProperty(out, cls.getProperty(i), includeQualifiers, includeClassOrigin);
  for (Uint32 i = 0; i < cls.getMethodCount(); ++i) {
    CIMConstMethod m = cls.getMethod(i);
    Open(out, "METHOD");
    Attr(out, "NAME", m.getName());
    Attr(out, "TYPE", TypeName(m.getType()));
    if (includeClassOrigin && !m.getClassOrigin().isNull())
      Attr(out, "CLASSORIGIN", m.getClassOrigin());
    out += '>';
    if (includeQualifiers) WriteQualifiers(out, m);
    for (Uint32 k = 0; k < m.getParameterCount(); ++k) WriteParameter(out, m.getParameter(k));
    Close(out, "METHOD");
  }
  Close(out, "CLASS");
}

void WriteParamValue(std::string& out, const CIMParamValue& pv) {
  const CIMValue v = pv.getValue();
  Open(out, "PARAMVALUE");
  Attr(out, "NAME", Utf8(pv.getParameterName()));
  if (pv.isTyped()) Attr(out, "PARAMTYPE", TypeName(v.getType()));
  out += '>';
  WriteValue(out, v);
  Close(out, "PARAMVALUE");
}

}  // namespace mgmt::cimxml
