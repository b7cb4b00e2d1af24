#include "MofParser.h"

#include "HostError.h"
#include "MofLexer.h"
#include "NameKey.h"

#include <Pegasus/Common/CIMMethod.h>
#include <Pegasus/Common/CIMParameter.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMQualifier.h>
#include <Pegasus/Common/Exception.h>

#include <optional>

#include "CimNumber.h"

using namespace Pegasus;

namespace mgmt::cimom {
namespace {

std::optional<CIMType> typeFromName(const std::string& word) {
  static const struct {
    const char* name;
    CIMType type;
  } kTypes[] = {
      {"boolean", CIMTYPE_BOOLEAN}, {"uint8", CIMTYPE_UINT8},       {"sint8", CIMTYPE_SINT8},
      {"uint16", CIMTYPE_UINT16},   {"sint16", CIMTYPE_SINT16},     {"uint32", CIMTYPE_UINT32},
      {"sint32", CIMTYPE_SINT32},   {"uint64", CIMTYPE_UINT64},     {"sint64", CIMTYPE_SINT64},
      {"real32", CIMTYPE_REAL32},   {"real64", CIMTYPE_REAL64},     {"char16", CIMTYPE_CHAR16},
      {"string", CIMTYPE_STRING},   {"datetime", CIMTYPE_DATETIME},
  };
  std::string key = foldCase(word);
  for (const auto& t : kTypes) {
    if (key == t.name) return t.type;
  }
  return std::nullopt;
}

/// The declared type of a feature: a CIM type or a reference to a class.
struct FeatureType {
  CIMType type = CIMTYPE_STRING;
  CIMName referenceClass;  ///< non-null for references
};

class Parser {
 public:
  Parser(std::vector<MofToken> tokens, const std::string& file)
      : t_(std::move(tokens)), file_(file) {}

  std::vector<DeclaredClass> run() {
    std::vector<DeclaredClass> out;
    while (cur().kind != MofTokenKind::End) out.push_back(classDeclaration());
    return out;
  }

 private:
  const MofToken& cur() const { return t_[pos_]; }
  [[noreturn]] void fail(const std::string& what) const {
    throw ConfigError(file_, cur().line, what);
  }
  bool isPunct(char c) const { return cur().kind == MofTokenKind::Punct && cur().text[0] == c; }
  bool isWord(const char* word) const {
    return cur().kind == MofTokenKind::Identifier && foldCase(cur().text) == word;
  }
  void expect(char c) {
    if (!isPunct(c)) fail(std::string("expected '") + c + "'" + near());
    ++pos_;
  }
  bool accept(char c) {
    if (!isPunct(c)) return false;
    ++pos_;
    return true;
  }
  std::string near() const {
    return cur().kind == MofTokenKind::End ? " at end of file" : " before '" + cur().text + "'";
  }
  std::string identifier(const char* what) {
    if (cur().kind != MofTokenKind::Identifier) fail(std::string("expected ") + what + near());
    return t_[pos_++].text;
  }
  CIMName name(const char* what) { return CIMName(String(identifier(what).c_str())); }

  // --- qualifiers --------------------------------------------------------

  std::vector<CIMQualifier> qualifierList() {
    std::vector<CIMQualifier> out;
    if (!accept('[')) return out;
    do {
      CIMName qname = name("qualifier name");
      std::optional<CIMValue> value;
      if (accept('(')) {
        value = scalarValue();
        expect(')');
      } else if (accept('=')) {
        value = isPunct('{') ? (skipArrayValue(), std::optional<CIMValue>()) : scalarValue();
      } else if (isPunct('{')) {
        skipArrayValue();
      } else {
        value = CIMValue(Boolean(true));
      }
      if (value) out.emplace_back(qname, *value);
    } while (accept(','));
    expect(']');
    return out;
  }

  void skipArrayValue() {
    expect('{');
    if (!isPunct('}')) {
      do {
        scalarValue();
      } while (accept(','));
    }
    expect('}');
  }

  /// A literal: string (adjacent strings join), integer, real, boolean or null.
  CIMValue scalarValue() {
    const MofToken& tok = cur();
    switch (tok.kind) {
      case MofTokenKind::String: {
        std::string text;
        while (cur().kind == MofTokenKind::String) text += t_[pos_++].text;
        try {
          return CIMValue(String(text.c_str()));
        } catch (const Exception&) {
          fail("string is not valid UTF-8");
        }
      }
      case MofTokenKind::Integer: {
        ++pos_;
        return integerValue(tok.text);
      }
      case MofTokenKind::Real: {
        Real64 d = 0;
        switch (mgmt::broker::ParseReal(tok.text, d)) {
          case mgmt::broker::NumberStatus::kOk:
            ++pos_;
            return CIMValue(d);
          case mgmt::broker::NumberStatus::kOutOfRange:
            fail("real number out of range " + tok.text);
          case mgmt::broker::NumberStatus::kMalformed:
            break;
        }
        fail("malformed real number " + tok.text);
      }
      case MofTokenKind::Identifier: {
        std::string word = foldCase(tok.text);
        ++pos_;
        if (word == "true") return CIMValue(Boolean(true));
        if (word == "false") return CIMValue(Boolean(false));
        if (word == "null") return CIMValue();
        fail("unexpected word '" + tok.text + "' in a value");
      }
      default:
        fail("expected a value" + near());
    }
  }

  /// An integer literal has no declared type here: the narrowest of uint32,
  /// uint64 and (negative) sint64 that holds it.
  CIMValue integerValue(const std::string& text) {
    using mgmt::broker::NumberStatus;
    using mgmt::broker::NumberSyntax;
    Uint32 u32 = 0;
    Uint64 u64 = 0;
    Sint64 s64 = 0;
    if (mgmt::broker::ParseInteger(text, u32, NumberSyntax::kMof) == NumberStatus::kOk)
      return CIMValue(u32);
    if (mgmt::broker::ParseInteger(text, u64, NumberSyntax::kMof) == NumberStatus::kOk)
      return CIMValue(u64);
    switch (mgmt::broker::ParseInteger(text, s64, NumberSyntax::kMof)) {
      case NumberStatus::kOk:
        return CIMValue(s64);
      case NumberStatus::kOutOfRange:
        fail("integer out of range " + text);
      case NumberStatus::kMalformed:
        break;
    }
    fail("malformed integer " + text);
  }

  // --- declarations ------------------------------------------------------

  DeclaredClass classDeclaration() {
    std::vector<CIMQualifier> quals = qualifierList();
    int line = cur().line;
    if (isWord("instance")) fail("instance declarations are not supported");
    if (isWord("qualifier")) fail("qualifier declarations are not supported");
    if (isWord("association")) fail("association declarations are not supported");
    if (!isWord("class")) fail("expected 'class'" + near());
    ++pos_;
    CIMName className = name("class name");
    CIMName superName;
    if (accept(':')) superName = name("superclass name");
    CIMClass cls(className, superName);
    for (const CIMQualifier& q : quals) addQualifier(cls, q);
    expect('{');
    while (!isPunct('}')) {
      if (cur().kind == MofTokenKind::End)
        fail("class " + toStd(className.getString()) + " is not closed");
      feature(cls);
    }
    expect('}');
    expect(';');
    return DeclaredClass{cls, file_, line};
  }

  template <class Target>
  void addQualifier(Target& target, const CIMQualifier& q) {
    try {
      target.addQualifier(q);
    } catch (const AlreadyExistsException&) {
      fail("qualifier " + toStd(q.getName().getString()) + " given twice");
    }
  }

  FeatureType featureType() {
    std::string word = identifier("a type");
    if (auto t = typeFromName(word)) return FeatureType{*t, CIMName()};
    if (!isWord("ref")) fail("unknown type '" + word + "'");
    ++pos_;
    return FeatureType{CIMTYPE_REFERENCE, CIMName(String(word.c_str()))};
  }

  /// `[]` or `[n]` after a name: returns {isArray, size}.
  std::pair<bool, Uint32> arraySuffix() {
    if (!accept('[')) return {false, 0};
    Uint32 size = 0;
    if (cur().kind == MofTokenKind::Integer) {
      if (mgmt::broker::ParseInteger(cur().text, size, mgmt::broker::NumberSyntax::kMof) !=
          mgmt::broker::NumberStatus::kOk)
        fail("bad array size");
      ++pos_;
    }
    expect(']');
    return {true, size};
  }

  void feature(CIMClass& cls) {
    std::vector<CIMQualifier> quals = qualifierList();
    FeatureType type = featureType();
    int line = cur().line;
    CIMName featureName = name("property or method name");
    if (isPunct('(')) {
      method(cls, quals, type, featureName);
      return;
    }
    auto [isArray, size] = arraySuffix();
    if (isArray && type.type == CIMTYPE_REFERENCE)
      fail("reference arrays are not supported as properties");
    if (accept('=')) {
      if (isPunct('{'))
        skipArrayValue();
      else
        scalarValue();  // defaults are accepted and not applied
    }
    expect(';');
    try {
      // A fixed array size is kept for parameters only: a property's declared
      // size would have to match its (null) value, which has none.
      (void)size;
      CIMProperty prop(featureName, CIMValue(type.type, isArray), 0, type.referenceClass,
                       cls.getClassName());
      for (const CIMQualifier& q : quals) addQualifier(prop, q);
      cls.addProperty(prop);
    } catch (const AlreadyExistsException&) {
      throw ConfigError(file_, line,
                        "property " + toStd(featureName.getString()) + " declared twice");
    }
  }

  void method(CIMClass& cls, const std::vector<CIMQualifier>& quals, const FeatureType& type,
              const CIMName& methodName) {
    int line = cur().line;
    if (type.type == CIMTYPE_REFERENCE) fail("methods returning references are not supported");
    CIMMethod m(methodName, type.type, cls.getClassName());
    for (const CIMQualifier& q : quals) addQualifier(m, q);
    expect('(');
    if (!isPunct(')')) {
      do {
        std::vector<CIMQualifier> pquals = qualifierList();
        FeatureType ptype = featureType();
        CIMName pname = name("parameter name");
        auto [isArray, size] = arraySuffix();
        CIMParameter param(pname, ptype.type, isArray, size, ptype.referenceClass);
        for (const CIMQualifier& q : pquals) addQualifier(param, q);
        try {
          m.addParameter(param);
        } catch (const AlreadyExistsException&) {
          fail("parameter " + toStd(pname.getString()) + " declared twice");
        }
      } while (accept(','));
    }
    expect(')');
    expect(';');
    try {
      cls.addMethod(m);
    } catch (const AlreadyExistsException&) {
      throw ConfigError(file_, line, "method " + toStd(methodName.getString()) + " declared twice");
    }
  }

  std::vector<MofToken> t_;
  const std::string& file_;
  size_t pos_ = 0;
};

}  // namespace

std::vector<DeclaredClass> parseMof(std::string_view text, const std::string& fileName) {
  return Parser(tokenizeMof(text, fileName), fileName).run();
}

}  // namespace mgmt::cimom
