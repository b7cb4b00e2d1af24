// What the CIM number reader accepts and refuses, per type, and the value it
// reads; the key-value readers built on it.
#include "CimNumber.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

using namespace mgmt::broker;

namespace {

enum class T { kU8, kS8, kU16, kS16, kU32, kS32, kU64, kS64, kR32, kR64 };

struct Row {
  T type;
  const char* text;
  NumberStatus status;
  const char* value;  // the value read, printed shortest; only for kOk
};

constexpr NumberStatus kOk = NumberStatus::kOk;
constexpr NumberStatus kBad = NumberStatus::kMalformed;
constexpr NumberStatus kRange = NumberStatus::kOutOfRange;

const Row kValueRows[] = {
    // Sign: at most one, on every form, and "-0" is zero for unsigned types too.
    {T::kU8, "0", kOk, "0"},
    {T::kU8, "-0", kOk, "0"},
    {T::kU32, "+0", kOk, "0"},
    {T::kU16, "-0x0", kOk, "0"},
    {T::kS8, "+5", kOk, "5"},
    {T::kS32, "+-5", kBad, nullptr},
    {T::kS32, "-+5", kBad, nullptr},
    {T::kS32, "--1", kBad, nullptr},
    {T::kS32, "-", kBad, nullptr},
    {T::kU8, "-1", kRange, nullptr},
    {T::kU64, "-1", kRange, nullptr},
    // Blanks: XML white space around the number only.
    {T::kU16, " 42\t\r\n", kOk, "42"},
    {T::kS16, "- 5", kBad, nullptr},
    {T::kU32, "4 2", kBad, nullptr},
    {T::kU32, "", kBad, nullptr},
    {T::kU32, " \n", kBad, nullptr},
    {T::kU32, "\v42", kBad, nullptr},
    // Forms: decimal without leading zeros, 0x hex; nothing else outside MOF.
    {T::kU32, "05", kBad, nullptr},
    {T::kU32, "00", kBad, nullptr},
    {T::kU8, "0x1F", kOk, "31"},
    {T::kU8, "0XfF", kOk, "255"},
    {T::kU8, "0x", kBad, nullptr},
    {T::kU8, "0xG1", kBad, nullptr},
    {T::kU8, "x1F", kBad, nullptr},
    {T::kU8, "1010b", kBad, nullptr},
    {T::kU32, "1.5", kBad, nullptr},
    {T::kU32, "1e3", kBad, nullptr},
    {T::kU32, "12abc", kBad, nullptr},
    {T::kU32, "1_000", kBad, nullptr},
    {T::kU32, "\xd9\xa3", kBad, nullptr},  // ARABIC-INDIC DIGIT THREE
    // Range of each width, decimal and hex.
    {T::kU8, "255", kOk, "255"},
    {T::kU8, "256", kRange, nullptr},
    {T::kU8, "0x100", kRange, nullptr},
    {T::kS8, "127", kOk, "127"},
    {T::kS8, "-128", kOk, "-128"},
    {T::kS8, "-0x80", kOk, "-128"},
    {T::kS8, "128", kRange, nullptr},
    {T::kS8, "-129", kRange, nullptr},
    {T::kU16, "65535", kOk, "65535"},
    {T::kU16, "65536", kRange, nullptr},
    {T::kS16, "-32768", kOk, "-32768"},
    {T::kS16, "32768", kRange, nullptr},
    {T::kU32, "4294967295", kOk, "4294967295"},
    {T::kU32, "4294967296", kRange, nullptr},
    {T::kS32, "-2147483648", kOk, "-2147483648"},
    {T::kS32, "2147483648", kRange, nullptr},
    {T::kU64, "18446744073709551615", kOk, "18446744073709551615"},
    {T::kU64, "0xFFFFFFFFFFFFFFFF", kOk, "18446744073709551615"},
    {T::kU64, "18446744073709551616", kRange, nullptr},
    {T::kU64, "0x10000000000000000", kRange, nullptr},
    {T::kU64, "99999999999999999999999999", kRange, nullptr},
    {T::kS64, "-9223372036854775808", kOk, "-9223372036854775808"},
    {T::kS64, "9223372036854775807", kOk, "9223372036854775807"},
    {T::kS64, "9223372036854775808", kRange, nullptr},
    {T::kS64, "-9223372036854775809", kRange, nullptr},
    // Reals: decimal forms with an optional exponent, the XML special values.
    {T::kR64, "1.5", kOk, "1.5"},
    {T::kR64, "-0.25", kOk, "-0.25"},
    {T::kR64, "+2", kOk, "2"},
    {T::kR64, ".5", kOk, "0.5"},
    {T::kR64, "5.", kOk, "5"},
    {T::kR64, "1.e2", kOk, "100"},
    {T::kR64, "1E-3", kOk, "0.001"},
    {T::kR64, "007.5", kOk, "7.5"},
    {T::kR64, " 2.5\n", kOk, "2.5"},
    {T::kR64, "INF", kOk, "inf"},
    {T::kR64, "-inf", kOk, "-inf"},
    {T::kR64, "+Inf", kOk, "inf"},
    {T::kR64, "NaN", kOk, "nan"},
    {T::kR64, "-NaN", kBad, nullptr},
    {T::kR64, "infinity", kBad, nullptr},
    {T::kR64, "1,5", kBad, nullptr},
    {T::kR64, "1.5.2", kBad, nullptr},
    {T::kR64, ".", kBad, nullptr},
    {T::kR64, "e5", kBad, nullptr},
    {T::kR64, "1e", kBad, nullptr},
    {T::kR64, "1e+", kBad, nullptr},
    {T::kR64, "1e5x", kBad, nullptr},
    {T::kR64, "0x1p3", kBad, nullptr},
    {T::kR64, "+-1.0", kBad, nullptr},
    {T::kR64, "", kBad, nullptr},
    {T::kR64, "1e400", kRange, nullptr},
    {T::kR64, "-1e400", kRange, nullptr},
    {T::kR64, "1e-400", kOk, "0"},
    {T::kR64, "-1e-400", kOk, "-0"},
    {T::kR64, "4.9e-324", kOk, "5e-324"},
    {T::kR64, "0.000001e-320", kOk, "0"},
    {T::kR64, "1000000e303", kRange, nullptr},
    {T::kR32, "0.1", kOk, "0.1"},
    {T::kR32, "3.4028235e38", kOk, "3.4028235e+38"},  // real32's largest, as printed
    {T::kR32, "3.5e38", kRange, nullptr},
    {T::kR32, "-1e39", kRange, nullptr},
    {T::kR32, "1e39", kRange, nullptr},
    {T::kR32, "1e-50", kOk, "0"},
    {T::kR32, "1e-45", kOk, "1e-45"},
    {T::kR32, "-INF", kOk, "-inf"},
};

// Forms that only MOF has; every kValue row above holds in MOF as well except
// the ones these replace.
const Row kMofRows[] = {
    {T::kU8, "1010b", kOk, "10"},     {T::kU8, "1010B", kOk, "10"},
    {T::kS8, "-1b", kOk, "-1"},       {T::kU8, "0b", kOk, "0"},
    {T::kU8, "2b", kBad, nullptr},    {T::kU8, "b", kBad, nullptr},
    {T::kU16, "0777", kOk, "511"},    {T::kU16, "05", kOk, "5"},
    {T::kU16, "08", kBad, nullptr},   {T::kS16, "-010", kOk, "-8"},
    {T::kU8, "0x1b", kOk, "27"},      {T::kU8, "100000000b", kRange, nullptr},
    {T::kU32, "+-1b", kBad, nullptr},
};

template <class V>
std::string Shortest(V v) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return ec == std::errc() ? std::string(buf, end) : "?";
}

template <class V>
std::pair<NumberStatus, std::string> Read(const Row& row, NumberSyntax syntax) {
  V value{};
  NumberStatus status;
  if constexpr (std::is_floating_point_v<V>)
    status = ParseReal(row.text, value);
  else
    status = ParseInteger(row.text, value, syntax);
  if constexpr (sizeof(V) == 1 && std::is_integral_v<V>)
    return {status, Shortest(int(value))};
  else
    return {status, Shortest(value)};
}

std::pair<NumberStatus, std::string> Read(const Row& row, NumberSyntax syntax) {
  switch (row.type) {
    case T::kU8:
      return Read<std::uint8_t>(row, syntax);
    case T::kS8:
      return Read<std::int8_t>(row, syntax);
    case T::kU16:
      return Read<std::uint16_t>(row, syntax);
    case T::kS16:
      return Read<std::int16_t>(row, syntax);
    case T::kU32:
      return Read<std::uint32_t>(row, syntax);
    case T::kS32:
      return Read<std::int32_t>(row, syntax);
    case T::kU64:
      return Read<std::uint64_t>(row, syntax);
    case T::kS64:
      return Read<std::int64_t>(row, syntax);
    case T::kR32:
      return Read<float>(row, syntax);
    case T::kR64:
      return Read<double>(row, syntax);
  }
  return {};
}

void CheckRows(const Row* begin, const Row* end, NumberSyntax syntax) {
  for (const Row* row = begin; row != end; ++row) {
    auto [status, value] = Read(*row, syntax);
    EXPECT_EQ(status, row->status) << "'" << row->text << "' as type #" << int(row->type);
    if (row->status == kOk && status == kOk) {
      EXPECT_EQ(value, row->value) << row->text;
    }
  }
}

TEST(CimNumber, ValueTextsPerType) {
  CheckRows(std::begin(kValueRows), std::end(kValueRows), NumberSyntax::kValue);
}

TEST(CimNumber, MofLiteralsAddBinaryAndOctal) {
  CheckRows(std::begin(kMofRows), std::end(kMofRows), NumberSyntax::kMof);
  // The forms both share read the same in MOF.
  std::uint32_t v = 0;
  EXPECT_EQ(ParseInteger(" -0x10 ", v, NumberSyntax::kMof), kRange);
  EXPECT_EQ(ParseInteger("+-5", v, NumberSyntax::kMof), kBad);
  EXPECT_EQ(ParseInteger("4294967295", v, NumberSyntax::kMof), kOk);
  EXPECT_EQ(v, 4294967295u);
}

TEST(CimNumber, RefusedTextLeavesTheTargetAlone) {
  std::int16_t i = 77;
  EXPECT_EQ(ParseInteger("40000", i), kRange);
  EXPECT_EQ(ParseInteger("x", i), kBad);
  EXPECT_EQ(i, 77);
  float f = 7.0f;
  EXPECT_EQ(ParseReal("1e39", f), kRange);
  EXPECT_EQ(f, 7.0f);
}

TEST(CimNumber, KeyValuesReadAsIntegersOfEitherSignOrAsReals) {
  IntegerText n;
  ASSERT_TRUE(ReadKeyInteger(u"18446744073709551615", n));
  EXPECT_FALSE(n.negative);
  EXPECT_EQ(n.magnitude, UINT64_MAX);
  ASSERT_TRUE(ReadKeyInteger(u"-0x8000000000000000", n));
  EXPECT_TRUE(n.negative);
  EXPECT_EQ(n.magnitude, std::uint64_t(1) << 63);
  ASSERT_TRUE(ReadKeyInteger(u"-0", n));
  EXPECT_FALSE(n.negative);  // one zero
  EXPECT_FALSE(ReadKeyInteger(u"-9223372036854775809", n));
  EXPECT_FALSE(ReadKeyInteger(u"\uff15", n));  // FULLWIDTH DIGIT FIVE
  EXPECT_FALSE(ReadKeyInteger(std::u16string_view(u"5\0", 2), n));
  EXPECT_FALSE(ReadKeyInteger(u"1.5", n));

  double d = 0;
  ASSERT_TRUE(ReadKeyReal(u"1.5000000000000000e+00", d));
  EXPECT_EQ(d, 1.5);
  EXPECT_FALSE(ReadKeyReal(u"1,5", d));
}

}  // namespace
