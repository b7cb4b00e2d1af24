// The UTC offset appended to CIM datetimes, under different time zones.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>

#include "provutil.h"

namespace {

class TimeZone : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) saved_ = tz;
  }
  void TearDown() override {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  static std::string OffsetUnder(const char* tz) {
    setenv("TZ", tz, 1);
    char text[16];
    std::memset(text, 'X', sizeof text);
    if (getTimeZone(text, sizeof text) != 0) return "failed:" + std::string(text);
    return text;
  }
  std::optional<std::string> saved_;
};

TEST_F(TimeZone, WritesSignAndThreeDigitsOfMinutes) {
  // Fixed offsets without daylight saving, so the result does not depend on the date.
  EXPECT_EQ(OffsetUnder("CST-8"), "+480");
  EXPECT_EQ(OffsetUnder("EST5"), "-300");
  EXPECT_EQ(OffsetUnder("IST-5:30"), "+330");
  EXPECT_EQ(OffsetUnder("UTC0"), "+000");
}

TEST_F(TimeZone, CompletesADatetimeWithinTheRoomGiven) {
  setenv("TZ", "EST5", 1);
  char buf[1024] = "20040315000000.000000";
  const int used = static_cast<int>(std::strlen(buf));
  EXPECT_EQ(getTimeZone(buf + used, static_cast<int>(sizeof buf) - used), 0);
  EXPECT_STREQ(buf, "20040315000000.000000-300");

  char small[5];
  EXPECT_EQ(getTimeZone(small, 5), 0);
  EXPECT_STREQ(small, "-300");
  std::memset(small, 'X', sizeof small);
  EXPECT_EQ(getTimeZone(small, 4), -1);
  EXPECT_EQ(small[0], '\0');
  EXPECT_EQ(std::memchr(small, 'X', 4), small + 1);  // nothing written past the room
  EXPECT_EQ(getTimeZone(nullptr, 8), -1);
}

}  // namespace
