// The readers of number texts agree: the CIM-XML reader, method parameters sent
// as text, object-path keys and MOF literals accept and refuse the same texts and
// read the same values, also when the process runs under a decimal-comma locale.
#include "HostError.h"
#include "MofParser.h"
#include "ParamTyping.h"
#include "cimxml/CimXmlError.h"
#include "cimxml/ValueText.h"

#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMQualifier.h>
#include <Pegasus/Common/Exception.h>

#include <gtest/gtest.h>

#include <clocale>
#include <optional>
#include <string>

using namespace Pegasus;

namespace {

const char* const kTexts[] = {
    "0",
    "-0",
    "+0",
    "+5",
    "-5",
    "+-5",
    "-+5",
    "--5",
    " 7 ",
    "\t7\n",
    "7 7",
    "05",
    "0x1F",
    "-0x10",
    "0X1f",
    "0x",
    "1010b",
    "255",
    "256",
    "-128",
    "-129",
    "65536",
    "1.5",
    "-2.5e3",
    ".5",
    "5.",
    "1e39",
    "1e-50",
    "INF",
    "-inf",
    "NaN",
    "1,5",
    "",
    "abc",
    "4294967296",
    "18446744073709551616",
    "-9223372036854775808",
    "-9223372036854775809",
};

const CIMType kNumberTypes[] = {CIMTYPE_UINT8,  CIMTYPE_SINT8,  CIMTYPE_UINT16, CIMTYPE_SINT16,
                                CIMTYPE_UINT32, CIMTYPE_SINT32, CIMTYPE_UINT64, CIMTYPE_SINT64,
                                CIMTYPE_REAL32, CIMTYPE_REAL64};

std::optional<std::string> ViaCimXml(CIMType type, const std::string& text) {
  try {
    return mgmt::cimxml::ScalarFromText(type, text).toString().toUtf8();
  } catch (const mgmt::cimxml::CimXmlError&) {
    return std::nullopt;
  }
}

std::optional<std::string> ViaParameter(CIMType type, const std::string& text) {
  try {
    return mgmt::cimom::ConvertText(text, type).toString().toUtf8();
  } catch (const CIMException& e) {
    EXPECT_EQ(e.getCode(), CIM_ERR_INVALID_PARAMETER) << text;
    return std::nullopt;
  }
}

std::optional<std::string> ViaMof(const std::string& literal) {
  try {
    auto classes = mgmt::cimom::ParseMof("[Q (" + literal + ")] class X_N { };", "n.mof");
    const CIMClass& cls = classes.at(0).cls;
    return cls.getQualifier(cls.findQualifier(CIMName("Q"))).getValue().toString().toUtf8();
  } catch (const mgmt::cimom::ConfigError&) {
    return std::nullopt;
  }
}

TEST(NumberReaders, CimXmlAndMethodParametersAgree) {
  for (CIMType type : kNumberTypes) {
    for (const char* text : kTexts) {
      EXPECT_EQ(ViaCimXml(type, text), ViaParameter(type, text))
          << "'" << text << "' as " << cimTypeToString(type);
    }
  }
  // The cases that used to differ, pinned.
  EXPECT_EQ(ViaParameter(CIMTYPE_SINT32, "+-5"), std::nullopt);
  EXPECT_EQ(ViaParameter(CIMTYPE_UINT8, "-0"), "0");
  EXPECT_EQ(ViaParameter(CIMTYPE_UINT16, " 7 "), "7");
  EXPECT_EQ(ViaCimXml(CIMTYPE_UINT32, "05"), std::nullopt);
}

// A key in a path's text holds an integer the CIM-XML reader reads as uint64 or
// sint64, and the binding then matches that value.
TEST(NumberReaders, PathKeysAgreeWithTheCimXmlReader) {
  for (const char* text : kTexts) {
    const std::string path = std::string("X.Id=") + text;
    std::optional<CIMObjectPath> parsed;
    try {
      parsed = CIMObjectPath(String(path.c_str()));
    } catch (const MalformedObjectNameException&) {
    }
    auto asUnsigned = ViaCimXml(CIMTYPE_UINT64, text);
    auto asSigned = ViaCimXml(CIMTYPE_SINT64, text);
    ASSERT_EQ(parsed.has_value(), asUnsigned || asSigned) << path;
    if (!parsed) continue;
    CIMKeyBinding key = parsed->getKeyBindings()[0];
    if (asUnsigned) {
      EXPECT_TRUE(key.equal(mgmt::cimxml::ScalarFromText(CIMTYPE_UINT64, text))) << path;
    }
    if (asSigned) {
      EXPECT_TRUE(key.equal(mgmt::cimxml::ScalarFromText(CIMTYPE_SINT64, text))) << path;
    }
    // Spelling does not matter: the key equals the decimal form of its value.
    const std::string decimal = asSigned ? *asSigned : *asUnsigned;
    EXPECT_EQ(*parsed, CIMObjectPath(String(("X.Id=" + decimal).c_str()))) << path;
    EXPECT_EQ(parsed->makeHashCode(),
              CIMObjectPath(String(("X.Id=" + decimal).c_str())).makeHashCode())
        << path;
  }
}

// MOF literals read as the CIM-XML reader reads the same text (sint64 for a
// negative integer, real64 for a real); MOF alone has binary and octal forms.
TEST(NumberReaders, MofLiteralsAgreeWithTheCimXmlReader) {
  for (const char* literal : {"0", "-0", "+5", "-5", "0x1F", "-0x10", "4294967296", "1.5", "-2.5e3",
                              "5.", "-9223372036854775808"}) {
    auto mof = ViaMof(literal);
    ASSERT_TRUE(mof) << literal;
    auto xml = ViaCimXml(CIMTYPE_SINT64, literal);
    if (!xml) xml = ViaCimXml(CIMTYPE_REAL64, literal);
    EXPECT_EQ(mof, xml) << literal;
  }
  for (const char* refused :
       {"18446744073709551616", "-9223372036854775809", "1e400", "08", "0x", "1.5.2", "12b"})
    EXPECT_EQ(ViaMof(refused), std::nullopt) << refused;
  EXPECT_EQ(ViaMof("1010b"), "10");
  EXPECT_EQ(ViaMof("-0777"), "-511");
}

// Restores the locale a test changed, also when it fails.
class LocaleScope {
 public:
  explicit LocaleScope(const char* name) : saved_(std::setlocale(LC_ALL, nullptr)) {
    ok_ = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~LocaleScope() { std::setlocale(LC_ALL, saved_.c_str()); }
  bool Ok() const { return ok_; }

 private:
  std::string saved_;
  bool ok_ = false;
};

TEST(NumberReaders, DecimalCommaLocaleChangesNothing) {
  LocaleScope german("de_DE.UTF-8");
  if (!german.Ok()) GTEST_SKIP() << "locale de_DE.UTF-8 not installed (scripts/setup.sh makes it)";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");

  EXPECT_EQ(ViaCimXml(CIMTYPE_REAL64, "2.5"), "2.5000000000000000e+00");
  EXPECT_EQ(ViaParameter(CIMTYPE_REAL64, "2.5"), "2.5000000000000000e+00");
  EXPECT_EQ(ViaParameter(CIMTYPE_REAL32, "-0.5"), "-5.0000000000000000e-01");
  EXPECT_EQ(ViaMof("2.5"), "2.5000000000000000e+00");
  EXPECT_EQ(ViaParameter(CIMTYPE_REAL64, "2,5"), std::nullopt);
  EXPECT_EQ(ViaCimXml(CIMTYPE_REAL64, "2,5"), std::nullopt);

  // Values printed as key text and read back.
  CIMValue real(Real64(0.125));
  EXPECT_EQ(real.toString().toUtf8(), "1.2500000000000000e-01");
  CIMKeyBinding key(CIMName("K"), real);
  EXPECT_TRUE(key.equal(real));
  EXPECT_EQ(mgmt::cimxml::ValueTexts(real).at(0), "0.125");
}

}  // namespace
