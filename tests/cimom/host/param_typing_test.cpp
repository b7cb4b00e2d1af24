// Typing of method parameters that arrive as text.
#include "NameKey.h"
#include "ParamTyping.h"

#include <Pegasus/Common/CIMParameter.h>
#include <Pegasus/Common/Exception.h>

#include <gtest/gtest.h>

using namespace Pegasus;
using namespace mgmt::cimom;

namespace {

TEST(ParamTyping, ConvertsTextToEachType) {
  const struct {
    const char* text;
    CIMType type;
    const char* expected;  // toString() of the result, or null when refused
  } cases[] = {
      {"TRUE", CIMTYPE_BOOLEAN, "TRUE"},
      {"false", CIMTYPE_BOOLEAN, "FALSE"},
      {"yes", CIMTYPE_BOOLEAN, nullptr},
      {"255", CIMTYPE_UINT8, "255"},
      {"256", CIMTYPE_UINT8, nullptr},
      {"-1", CIMTYPE_UINT8, nullptr},
      {"-128", CIMTYPE_SINT8, "-128"},
      {"-129", CIMTYPE_SINT8, nullptr},
      {"+7", CIMTYPE_SINT16, "7"},
      {"0x10", CIMTYPE_UINT16, "16"},
      {"65536", CIMTYPE_UINT16, nullptr},
      {"4294967295", CIMTYPE_UINT32, "4294967295"},
      {"-2147483648", CIMTYPE_SINT32, "-2147483648"},
      {"2147483648", CIMTYPE_SINT32, nullptr},
      {"18446744073709551615", CIMTYPE_UINT64, "18446744073709551615"},
      {"18446744073709551616", CIMTYPE_UINT64, nullptr},
      {"-9223372036854775808", CIMTYPE_SINT64, "-9223372036854775808"},
      {"12abc", CIMTYPE_UINT32, nullptr},
      {"", CIMTYPE_UINT32, nullptr},
      {"--1", CIMTYPE_SINT32, nullptr},
      {"1.5", CIMTYPE_UINT32, nullptr},
      {"1.5", CIMTYPE_REAL64, "1.5000000000000000e+00"},
      {"1e400", CIMTYPE_REAL64, nullptr},
      {"1e39", CIMTYPE_REAL32, nullptr},
      {"x", CIMTYPE_CHAR16, "x"},
      {"xy", CIMTYPE_CHAR16, nullptr},
      {"any text", CIMTYPE_STRING, "any text"},
      {"20240102030405.000000+060", CIMTYPE_DATETIME, "20240102030405.000000+060"},
      {"2024-01-02", CIMTYPE_DATETIME, nullptr},
      {"CIM_ComputerSystem.Name=\"h\"", CIMTYPE_REFERENCE, "CIM_ComputerSystem.Name=\"h\""},
      {"not a path!", CIMTYPE_REFERENCE, nullptr},
  };
  for (const auto& c : cases) {
    if (c.expected == nullptr) {
      try {
        ConvertText(c.text, c.type);
        ADD_FAILURE() << "accepted '" << c.text << "' as " << cimTypeToString(c.type);
      } catch (const CIMException& e) {
        EXPECT_EQ(e.getCode(), CIM_ERR_INVALID_PARAMETER);
      }
      continue;
    }
    CIMValue v = ConvertText(c.text, c.type);
    EXPECT_EQ(v.getType(), c.type) << c.text;
    EXPECT_EQ(ToStd(v.toString()), c.expected) << c.text;
  }
}

CIMMethod SampleMethod() {
  CIMMethod m(CIMName("Act"), CIMTYPE_UINT32);
  m.addParameter(CIMParameter(CIMName("Count"), CIMTYPE_UINT16));
  m.addParameter(CIMParameter(CIMName("Flags"), CIMTYPE_BOOLEAN, true));
  m.addParameter(CIMParameter(CIMName("Note"), CIMTYPE_STRING));
  return m;
}

TEST(ParamTyping, TypesUntypedParametersByTheDeclaration) {
  Array<CIMParamValue> in;
  in.append(CIMParamValue("count", CIMValue(String("12")), false));
  Array<String> flags;
  flags.append("true");
  flags.append("FALSE");
  in.append(CIMParamValue("FLAGS", CIMValue(flags), false));
  in.append(CIMParamValue("Note", CIMValue(CIMTYPE_STRING, false), false));

  Array<CIMParamValue> out = TypeParameters(SampleMethod(), in);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].getParameterName(), "Count");  // the declared spelling
  EXPECT_TRUE(out[0].isTyped());
  Uint16 count = 0;
  out[0].getValue().get(count);
  EXPECT_EQ(count, 12);
  Array<Boolean> gotFlags;
  out[1].getValue().get(gotFlags);
  ASSERT_EQ(gotFlags.size(), 2u);
  EXPECT_TRUE(gotFlags[0]);
  EXPECT_FALSE(gotFlags[1]);
  EXPECT_TRUE(out[2].getValue().isNull());
  EXPECT_EQ(out[2].getValue().getType(), CIMTYPE_STRING);
}

TEST(ParamTyping, RefusesWhatTheDeclarationDoesNotAllow) {
  const auto code = [](const Array<CIMParamValue>& in) {
    try {
      TypeParameters(SampleMethod(), in);
    } catch (const CIMException& e) {
      return std::make_pair(e.getCode(), ToStd(e.getMessage()));
    }
    return std::make_pair(CIM_ERR_SUCCESS, std::string());
  };
  Array<CIMParamValue> unknown;
  unknown.append(CIMParamValue("Colour", CIMValue(String("red")), false));
  EXPECT_EQ(code(unknown), std::make_pair(CIM_ERR_INVALID_PARAMETER,
                                          std::string("method Act has no parameter Colour")));

  Array<CIMParamValue> twice;
  twice.append(CIMParamValue("Count", CIMValue(Uint16(1))));
  twice.append(CIMParamValue("COUNT", CIMValue(Uint16(2))));
  EXPECT_EQ(code(twice).first, CIM_ERR_INVALID_PARAMETER);

  Array<CIMParamValue> wrongType;
  wrongType.append(CIMParamValue("Count", CIMValue(Uint32(1))));
  EXPECT_EQ(code(wrongType), std::make_pair(CIM_ERR_INVALID_PARAMETER,
                                            std::string("parameter Count must be uint16")));

  Array<CIMParamValue> badText;
  badText.append(CIMParamValue("Count", CIMValue(String("70000")), false));
  auto [c, message] = code(badText);
  EXPECT_EQ(c, CIM_ERR_INVALID_PARAMETER);
  EXPECT_EQ(message, "parameter Count: '70000' is out of range");

  Array<CIMParamValue> scalarForArray;
  scalarForArray.append(CIMParamValue("Flags", CIMValue(String("true")), false));
  EXPECT_EQ(code(scalarForArray).first, CIM_ERR_INVALID_PARAMETER);
}

}  // namespace
