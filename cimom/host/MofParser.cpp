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

std::optional<CIMType> TypeFromName(const std::string& word) {
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
  std::string key = FoldCase(word);
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

  std::vector<DeclaredClass> Run() {
    std::vector<DeclaredClass> out;
    while (Cur().kind != MofTokenKind::kEnd) out.push_back(ClassDeclaration());
    return out;
  }

 private:
  const MofToken& Cur() const { return t_[pos_]; }
  [[noreturn]] void Fail(const std::string& what) const {
    throw ConfigError(file_, Cur().line, what);
  }
  bool IsPunct(char c) const { return Cur().kind == MofTokenKind::kPunct && Cur().text[0] == c; }
  bool IsWord(const char* word) const {
    return Cur().kind == MofTokenKind::kIdentifier && FoldCase(Cur().text) == word;
  }
  void Expect(char c) {
    if (!IsPunct(c)) Fail(std::string("expected '") + c + "'" + Near());
    ++pos_;
  }
  bool Accept(char c) {
    if (!IsPunct(c)) return false;
    ++pos_;
    return true;
  }
  std::string Near() const {
    return Cur().kind == MofTokenKind::kEnd ? " at end of file" : " before '" + Cur().text + "'";
  }
  std::string Identifier(const char* what) {
    if (Cur().kind != MofTokenKind::kIdentifier) Fail(std::string("expected ") + what + Near());
    return t_[pos_++].text;
  }
  CIMName Name(const char* what) { return CIMName(String(Identifier(what).c_str())); }

  // --- qualifiers --------------------------------------------------------

  std::vector<CIMQualifier> QualifierList() {
    std::vector<CIMQualifier> out;
    if (!Accept('[')) return out;
    do {
      CIMName qname = Name("qualifier name");
      std::optional<CIMValue> value;
      if (Accept('(')) {
        value = ScalarValue();
        Expect(')');
      } else if (Accept('=')) {
        value = IsPunct('{') ? (SkipArrayValue(), std::optional<CIMValue>()) : ScalarValue();
      } else if (IsPunct('{')) {
        SkipArrayValue();
      } else {
        value = CIMValue(Boolean(true));
      }
      if (value) out.emplace_back(qname, *value);
    } while (Accept(','));
    Expect(']');
    return out;
  }

  void SkipArrayValue() {
    Expect('{');
    if (!IsPunct('}')) {
      do {
        ScalarValue();
      } while (Accept(','));
    }
    Expect('}');
  }

  /// A literal: string (adjacent strings join), integer, real, boolean or null.
  CIMValue ScalarValue() {
    const MofToken& tok = Cur();
    switch (tok.kind) {
      case MofTokenKind::kString: {
        std::string text;
        while (Cur().kind == MofTokenKind::kString) text += t_[pos_++].text;
        try {
          return CIMValue(String(text.c_str()));
        } catch (const Exception&) {
          Fail("string is not valid UTF-8");
        }
      }
      case MofTokenKind::kInteger: {
        ++pos_;
        return IntegerValue(tok.text);
      }
      case MofTokenKind::kReal: {
        Real64 d = 0;
        switch (mgmt::broker::ParseReal(tok.text, d)) {
          case mgmt::broker::NumberStatus::kOk:
            ++pos_;
            return CIMValue(d);
          case mgmt::broker::NumberStatus::kOutOfRange:
            Fail("real number out of range " + tok.text);
          case mgmt::broker::NumberStatus::kMalformed:
            break;
        }
        Fail("malformed real number " + tok.text);
      }
      case MofTokenKind::kIdentifier: {
        std::string word = FoldCase(tok.text);
        ++pos_;
        if (word == "true") return CIMValue(Boolean(true));
        if (word == "false") return CIMValue(Boolean(false));
        if (word == "null") return CIMValue();
        Fail("unexpected word '" + tok.text + "' in a value");
      }
      default:
        Fail("expected a value" + Near());
    }
  }

  /// An integer literal has no declared type here: the narrowest of uint32,
  /// uint64 and (negative) sint64 that holds it.
  CIMValue IntegerValue(const std::string& text) {
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
        Fail("integer out of range " + text);
      case NumberStatus::kMalformed:
        break;
    }
    Fail("malformed integer " + text);
  }

  // --- declarations ------------------------------------------------------

  DeclaredClass ClassDeclaration() {
    std::vector<CIMQualifier> quals = QualifierList();
    int line = Cur().line;
    if (IsWord("instance")) Fail("instance declarations are not supported");
    if (IsWord("qualifier")) Fail("qualifier declarations are not supported");
    if (IsWord("association")) Fail("association declarations are not supported");
    if (!IsWord("class")) Fail("expected 'class'" + Near());
    ++pos_;
    CIMName className = Name("class name");
    CIMName superName;
    if (Accept(':')) superName = Name("superclass name");
    CIMClass cls(className, superName);
    for (const CIMQualifier& q : quals) AddQualifier(cls, q);
    Expect('{');
    while (!IsPunct('}')) {
      if (Cur().kind == MofTokenKind::kEnd)
        Fail("class " + ToStd(className.getString()) + " is not closed");
      Feature(cls);
    }
    Expect('}');
    Expect(';');
    return DeclaredClass{cls, file_, line};
  }

  template <class Target>
  void AddQualifier(Target& target, const CIMQualifier& q) {
    try {
      target.addQualifier(q);
    } catch (const AlreadyExistsException&) {
      Fail("qualifier " + ToStd(q.getName().getString()) + " given twice");
    }
  }

  FeatureType ReadFeatureType() {
    std::string word = Identifier("a type");
    if (auto t = TypeFromName(word)) return FeatureType{*t, CIMName()};
    if (!IsWord("ref")) Fail("unknown type '" + word + "'");
    ++pos_;
    return FeatureType{CIMTYPE_REFERENCE, CIMName(String(word.c_str()))};
  }

  /// `[]` or `[n]` after a name: returns {isArray, size}.
  std::pair<bool, Uint32> ArraySuffix() {
    if (!Accept('[')) return {false, 0};
    Uint32 size = 0;
    if (Cur().kind == MofTokenKind::kInteger) {
      if (mgmt::broker::ParseInteger(Cur().text, size, mgmt::broker::NumberSyntax::kMof) !=
          mgmt::broker::NumberStatus::kOk)
        Fail("bad array size");
      ++pos_;
    }
    Expect(']');
    return {true, size};
  }

  void Feature(CIMClass& cls) {
    std::vector<CIMQualifier> quals = QualifierList();
    FeatureType type = ReadFeatureType();
    int line = Cur().line;
    CIMName featureName = Name("property or method name");
    if (IsPunct('(')) {
      Method(cls, quals, type, featureName);
      return;
    }
    auto [isArray, size] = ArraySuffix();
    if (isArray && type.type == CIMTYPE_REFERENCE)
      Fail("reference arrays are not supported as properties");
    if (Accept('=')) {
      if (IsPunct('{'))
        SkipArrayValue();
      else
        ScalarValue();  // defaults are accepted and not applied
    }
    Expect(';');
    try {
      // A fixed array size is kept for parameters only: a property's declared
      // size would have to match its (null) value, which has none.
      (void)size;
      CIMProperty prop(featureName, CIMValue(type.type, isArray), 0, type.referenceClass,
                       cls.getClassName());
      for (const CIMQualifier& q : quals) AddQualifier(prop, q);
      cls.addProperty(prop);
    } catch (const AlreadyExistsException&) {
      throw ConfigError(file_, line,
                        "property " + ToStd(featureName.getString()) + " declared twice");
    }
  }

  void Method(CIMClass& cls, const std::vector<CIMQualifier>& quals, const FeatureType& type,
              const CIMName& methodName) {
    int line = Cur().line;
    if (type.type == CIMTYPE_REFERENCE) Fail("methods returning references are not supported");
    CIMMethod m(methodName, type.type, cls.getClassName());
    for (const CIMQualifier& q : quals) AddQualifier(m, q);
    Expect('(');
    if (!IsPunct(')')) {
      do {
        std::vector<CIMQualifier> pquals = QualifierList();
        FeatureType ptype = ReadFeatureType();
        CIMName pname = Name("parameter name");
        auto [isArray, size] = ArraySuffix();
        CIMParameter param(pname, ptype.type, isArray, size, ptype.referenceClass);
        for (const CIMQualifier& q : pquals) AddQualifier(param, q);
        try {
          m.addParameter(param);
        } catch (const AlreadyExistsException&) {
          Fail("parameter " + ToStd(pname.getString()) + " declared twice");
        }
      } while (Accept(','));
    }
    Expect(')');
    Expect(';');
    try {
      cls.addMethod(m);
    } catch (const AlreadyExistsException&) {
      throw ConfigError(file_, line, "method " + ToStd(methodName.getString()) + " declared twice");
    }
  }

  std::vector<MofToken> t_;
  const std::string& file_;
  size_t pos_ = 0;
};

}  // namespace

std::vector<DeclaredClass> ParseMof(std::string_view text, const std::string& fileName) {
  return Parser(TokenizeMof(text, fileName), fileName).Run();
}

}  // namespace mgmt::cimom
