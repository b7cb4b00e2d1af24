// CIMDateTime: the two 25-character forms, what is refused, and arithmetic.
#include <Pegasus/Common/CIMDateTime.h>
#include <Pegasus/Common/Exception.h>

#include <gtest/gtest.h>

#include <random>

PEGASUS_USING_PEGASUS;

namespace {

TEST(DateTimeParse, AcceptsBothFormsAndKeepsText) {
  const char* const good[] = {
      "20240229235959.999999+000", "19980101000000.000000-300", "00000000000000.000000:000",
      "99999999235959.999999:000", "20240102030405.12****+060", "2024**********.******+000",
  };
  for (const char* s : good) {
    CIMDateTime d{String(s)};
    EXPECT_EQ(d.toString().toUtf8(), s);
  }
  EXPECT_TRUE(CIMDateTime("00000001000000.000000:000").isInterval());
  EXPECT_TRUE(CIMDateTime("20240101000000.000000+000").isTimeStamp());
}

TEST(DateTimeParse, RefusesMalformedText) {
  const char* const bad[] = {
      "",
      "20240229235959.999999+00",    // 24 characters
      "20240229235959.999999+0000",  // 26 characters
      "20230229000000.000000+000",   // 29 February of a common year
      "20241301000000.000000+000",   // month 13
      "20240100000000.000000+000",   // day 0
      "20240101240000.000000+000",   // hour 24
      "20240101006000.000000+000",   // minute 60
      "20240101000000,000000+000",   // comma for dot
      "20240101000000.000000*000",   // bad sign
      "2024010100000a.000000+000",
      "00000001000000.000000:001",  // interval must end :000
      "20240101000000.1*3***+000",  // digit after a wildcard
  };
  for (const char* s : bad)
    EXPECT_THROW(CIMDateTime{String(s)}, InvalidDateTimeFormatException) << s;

  CIMDateTime d("20240101000000.000000+000");
  EXPECT_THROW(d.set("garbage"), InvalidDateTimeFormatException);
  EXPECT_EQ(d.toString(), "20240101000000.000000+000");
}

TEST(DateTimeValue, EqualityIsByInstantAcrossOffsets) {
  CIMDateTime utc("20240101120000.000000+000");
  CIMDateTime plusOne("20240101130000.000000+060");
  CIMDateTime minusHalf("20240101113000.000000-030");
  EXPECT_TRUE(utc == plusOne);
  EXPECT_TRUE(utc == minusHalf);
  EXPECT_FALSE(utc == CIMDateTime("20240101120000.000001+000"));
  EXPECT_FALSE(CIMDateTime("00000000000000.000000:000") == CIMDateTime(0, false));
}

TEST(DateTimeValue, MicrosecondsRoundTrip) {
  CIMDateTime d("20240229123456.123456+000");
  CIMDateTime back(d.toMicroSeconds(), false);
  EXPECT_EQ(back.toString(), "20240229123456.123456+000");
  CIMDateTime interval(Uint64(86400000000ULL) * 3 + 1, true);
  EXPECT_EQ(interval.toString(), "00000003000000.000001:000");
  EXPECT_THROW(CIMDateTime(Uint64(100000000ULL) * 86400000000ULL, true),
               DateTimeOutOfRangeException);
}

TEST(DateTimeValue, FieldConstructors) {
  CIMDateTime ts(2024, 7, 4, 1, 2, 3, 450000, 2, -120);
  EXPECT_EQ(ts.toString(), "20240704010203.45****-120");
  CIMDateTime iv(12, 1, 2, 3, 4, 6);
  EXPECT_EQ(iv.toString(), "00000012010203.000004:000");
  EXPECT_THROW(CIMDateTime(2023, 2, 29, 0, 0, 0, 0, 6, 0), DateTimeOutOfRangeException);
}

TEST(DateTimeArithmetic, TimestampsAndIntervals) {
  CIMDateTime start("20241231235959.500000+060");
  CIMDateTime oneSecond("00000000000001.000000:000");
  CIMDateTime later = start + oneSecond;
  EXPECT_EQ(later.toString(), "20250101000000.500000+060");
  EXPECT_EQ((later - start).toString(), "00000000000001.000000:000");
  EXPECT_EQ(CIMDateTime::getDifference(start, later), 1000000);
  EXPECT_EQ((oneSecond * 90).toString(), "00000000000130.000000:000");
  EXPECT_EQ((oneSecond * 90) / oneSecond, 90u);
  EXPECT_THROW(start + start, TypeMismatchException);
  EXPECT_THROW(oneSecond - start, TypeMismatchException);
  EXPECT_TRUE(start < later);
  EXPECT_THROW((void)(start < oneSecond), TypeMismatchException);
}

// Date-times arrive as text from clients: any 25 characters either parse and
// keep their text, or are refused with InvalidDateTimeFormatException.
TEST(DateTimeParse, RandomTextParsesOrIsRefused) {
  std::mt19937 rng(7);
  const char alphabet[] = "0123456789012345678901234567890123456789.:+-*";
  std::uniform_int_distribution<size_t> pick(0, sizeof alphabet - 2);
  int parsed = 0;
  for (int i = 0; i < 20000; i++) {
    std::string text = "20240615101010.000000+000";
    // Change a few positions of a valid text so many results stay close to valid.
    for (int k = 0; k < 3; k++) text[pick(rng) % text.size()] = alphabet[pick(rng)];
    try {
      CIMDateTime d{String(text.c_str())};
      parsed++;
      ASSERT_EQ(d.toString().toUtf8(), text);
      (void)d.toMicroSeconds();
    } catch (const InvalidDateTimeFormatException&) {
    }
  }
  EXPECT_GT(parsed, 1000);
}

TEST(DateTimeNow, IsAValidTimestamp) {
  CIMDateTime now = CIMDateTime::getCurrentDateTime();
  EXPECT_TRUE(now.isTimeStamp());
  EXPECT_NO_THROW(CIMDateTime{now.toString()});
}

}  // namespace
