// Address texts: the historical conversions, the checks in front of them, and
// the MAC normalisation.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "conftest.h"
#include "ipmiconf.h"
#include "util.h"

using Ip = std::array<unsigned char, 4>;
using Mac = std::array<unsigned char, 6>;

TEST(AddressText, Str2IpKeepsItsHistoricalResults) {
  Ip ip{1, 2, 3, 4};
  STR2IP("192.168.001.010", ip.data());
  EXPECT_EQ(ip, (Ip{192, 168, 1, 10}));
  STR2IP("10.0.0", ip.data());
  EXPECT_EQ(ip, (Ip{255, 255, 255, 255}));
  ip = {1, 2, 3, 4};
  STR2IP("1234567890.123456", ip.data());  // 16 characters: untouched
  EXPECT_EQ(ip, (Ip{1, 2, 3, 4}));
  STR2IP("99999999999.1.1.1", ip.data());  // 17 characters: untouched
  EXPECT_EQ(ip, (Ip{1, 2, 3, 4}));
  STR2IP("9999999999.1.1", ip.data());  // a missing part: broadcast
  EXPECT_EQ(ip, (Ip{255, 255, 255, 255}));
  STR2IP("99999999.1.2.3", ip.data());  // no overflow, low byte kept
  EXPECT_EQ(ip[3], 3);
}

TEST(AddressText, Str2MacStopsAtTheFirstNonDigit) {
  Mac mac{};
  STR2Mac("00A0cc1b2c3d", mac.data());
  EXPECT_EQ(mac, (Mac{0x00, 0xA0, 0xCC, 0x1B, 0x2C, 0x3D}));
  mac.fill(0x77);
  STR2Mac("00:A0:CC:1B:2C:3D", mac.data());
  EXPECT_EQ(mac, (Mac{0x00, 0x77, 0x77, 0x77, 0x77, 0x77}));
  mac.fill(0x77);
  STR2Mac("12345", mac.data());  // an odd digit at the end is not half a byte
  EXPECT_EQ(mac, (Mac{0x12, 0x34, 0x77, 0x77, 0x77, 0x77}));
}

TEST(AddressText, BytesToTextTakeTheOutputSize) {
  const unsigned char ip[4] = {255, 255, 255, 255};
  char text[16];
  ASSERT_EQ(IP2STR(text, sizeof text, ip), 0);
  EXPECT_STREQ(text, "255.255.255.255");
  char small[15];
  EXPECT_EQ(IP2STR(small, sizeof small, ip), -1);
  EXPECT_STREQ(small, "");

  const unsigned char mac[6] = {0x00, 0xA0, 0xCC, 0xFF, 0x80, 0x7F};
  char macText[13];
  ASSERT_EQ(Mac2STR(macText, sizeof macText, mac), 0);
  EXPECT_STREQ(macText, "00a0ccff807f");  // bytes above 0x7F are not sign-extended
  EXPECT_EQ(Mac2STR(macText, 12, mac), -1);
}

TEST(AddressText, ValidityChecks) {
  for (const char* good : {"0.0.0.0", "192.168.001.010", "255.255.255.255", "10.0.0.1"})
    EXPECT_TRUE(IsValidIPv4(good)) << good;
  for (const char* bad : {"", "10.0.0", "10.0.0.256", "10.0.0.1.", "10..0.1", "1.2.3.4 ", "a.b.c.d",
                          "0001.1.1.1", "-1.0.0.0", "10.0.0.1/24"})
    EXPECT_FALSE(IsValidIPv4(bad)) << bad;
  EXPECT_FALSE(IsValidIPv4(nullptr));

  for (const char* good : {"00a0cc1b2c3d", "00:A0:CC:1B:2C:3D", "00-a0-cc-1b-2c-3d"})
    EXPECT_TRUE(IsValidMacText(good)) << good;
  for (const char* bad : {"", "00a0cc1b2c3", "00a0cc1b2c3d0", "00a0cc1b2c3g", "00a0cc1b2c3d "})
    EXPECT_FALSE(IsValidMacText(bad)) << bad;

  EXPECT_TRUE(IsValidIPSource(0));
  EXPECT_TRUE(IsValidIPSource(4));
  EXPECT_FALSE(IsValidIPSource(5));
  EXPECT_FALSE(IsValidIPSource(-1));

  EXPECT_TRUE(IsPlaceholderMac("000000000000"));
  EXPECT_TRUE(IsPlaceholderMac("ff:ff:FF:ff:ff:ff"));
  EXPECT_FALSE(IsPlaceholderMac("00000000000f"));
  EXPECT_TRUE(IsPlaceholderIP("0.0.0.0"));
  EXPECT_FALSE(IsPlaceholderIP("0.0.0.1"));
}

TEST(MacText, FormatAndCompare) {
  char out[13];
  ASSERT_EQ(FormatMAC("00:a0-Cc:1B:2c:3d", out, sizeof out), 0);
  EXPECT_STREQ(out, "00A0CC1B2C3D");
  ASSERT_EQ(FormatMAC("00a0 cc", out, sizeof out), 0);  // the blank ends the walk
  EXPECT_STREQ(out, "00A0");
  char tight[12];
  EXPECT_EQ(FormatMAC("00a0cc1b2c3d", tight, sizeof tight), -1);
  EXPECT_STREQ(tight, "");

  EXPECT_EQ(CompareMAC("00-A0-CC-1B-2C-3D", "00:a0:cc:1b:2c:3d"), 0);
  EXPECT_LT(CompareMAC("00A0CC1B2C3C", "00a0cc1b2c3d"), 0);
  EXPECT_GT(CompareMAC("00A0CC1B2C3D", ""), 0);
}

TEST(SettingsFiles, SmbiosAndLegacyIpmiLines) {
  mgmt::test::TempRoot root;
  conftest::ConfFiles files(root.Path());
  int value = 7;
  SMBLoadSettings(&value);
  EXPECT_EQ(value, 0);
  SMBSaveSettings(2);
  EXPECT_EQ(conftest::ReadFile(files.Path(mgmt::bmc::kSmbiosConfPath)), "2");
  SMBLoadSettings(&value);
  EXPECT_EQ(value, 2);

  const int32_t five[5] = {1, 2, 3, -4, 5};
  ASSERT_EQ(IPMISaveSettings(five), 0);
  int32_t back[5] = {9, 9, 9, 9, 9};
  IPMILoadSettings(back);
  EXPECT_EQ(std::memcmp(back, five, sizeof five), 0);
  // A sectioned ipmi.conf is never replaced by the one-line form.
  conftest::WriteFile(files.IpmiConf(), "[Watchdog]\nAsrEnabled=1 \n");
  EXPECT_EQ(IPMISaveSettings(five), -1);
  EXPECT_EQ(conftest::ReadFile(files.IpmiConf()), "[Watchdog]\nAsrEnabled=1 \n");
  IPMILoadSettings(back);
  EXPECT_EQ(back[0], 0);
}
