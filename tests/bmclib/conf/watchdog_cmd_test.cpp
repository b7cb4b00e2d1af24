// The three watchdog commands against the scripted BMC.
#include <gtest/gtest.h>

#include "conftest.h"
#include "ipmiconf.h"
#include "support/fake_imb_device.h"

using conftest::Bytes;
using conftest::Sent;
using conftest::SentRequests;
using mgmt::test::FakeImbDevice;
using mgmt::test::Reply;

namespace {
constexpr int kApp = 0x06;
}

TEST(WatchdogCommands, SetSendsUseActionAndCountdown) {
  FakeImbDevice device;
  auto& bmc = device.Bmc();
  bmc.Always(kApp, 0x24, Reply::Bytes({0x00}));
  EXPECT_EQ(SetWatchdogTimer(1, 300, 1), 0);
  EXPECT_EQ(SetWatchdogTimer(1, 600, 3), 0);
  EXPECT_EQ(SetWatchdogTimer(0, 600, 3), 0);   // disarm: everything zero
  EXPECT_EQ(SetWatchdogTimer(1, 7000, 1), 0);  // more than 16 bits of 100 ms
  EXPECT_EQ(SetWatchdogTimer(1, -5, 1), 0);
  EXPECT_EQ(SentRequests(bmc), (std::vector<Sent>{
                                   {kApp, 0x24, {0x04, 0x01, 0x00, 0x00, 0xB8, 0x0B}},
                                   {kApp, 0x24, {0x04, 0x03, 0x00, 0x00, 0x70, 0x17}},
                                   {kApp, 0x24, {0x04, 0x00, 0x00, 0x00, 0x00, 0x00}},
                                   {kApp, 0x24, {0x04, 0x01, 0x00, 0x00, 0xFA, 0xFF}},
                                   {kApp, 0x24, {0x04, 0x01, 0x00, 0x00, 0x00, 0x00}},
                               }));
  bmc.Always(kApp, 0x24, Reply::Bytes({0xCC}));
  EXPECT_EQ(SetWatchdogTimer(1, 300, 1), 0xCC);
}

TEST(WatchdogCommands, GetDecodesSixAndEightByteReplies) {
  FakeImbDevice device;
  auto& bmc = device.Bmc();
  int enabled = 7, seconds = 7, action = 7;
  bmc.Expect(kApp, 0x25, Bytes{0x00, 0x44, 0x01, 0x00, 0x00, 0xB8, 0x0B, 0x10, 0x0B});
  ASSERT_EQ(GetWatchdogTimer(&enabled, &seconds, &action), 0);
  EXPECT_EQ(enabled, 1);
  EXPECT_EQ(seconds, 300);
  EXPECT_EQ(action, 1);
  EXPECT_EQ(SentRequests(bmc).back(), (Sent{kApp, 0x25, {}}));

  bmc.Expect(kApp, 0x25, Bytes{0x00, 0x04, 0x00, 0x00, 0x00, 0x09, 0x00});  // 6 bytes, 0.9 s
  ASSERT_EQ(GetWatchdogTimer(&enabled, &seconds, &action), 0);
  EXPECT_EQ(enabled, 0);
  EXPECT_EQ(seconds, 0);
  EXPECT_EQ(action, 0);

  enabled = seconds = action = 7;
  bmc.Expect(kApp, 0x25, Bytes{0x00, 0x04, 0x01, 0x00, 0x00, 0xB8});  // 5 bytes
  EXPECT_NE(GetWatchdogTimer(&enabled, &seconds, &action), 0);
  bmc.Expect(kApp, 0x25, Bytes{0xC1});
  EXPECT_EQ(GetWatchdogTimer(&enabled, &seconds, &action), 0xC1);
  bmc.Expect(kApp, 0x25, Reply::NoReply());
  EXPECT_EQ(GetWatchdogTimer(&enabled, &seconds, &action), -1);
  EXPECT_EQ(enabled + seconds + action, 21);  // untouched by every failure
}

TEST(WatchdogCommands, Reset) {
  FakeImbDevice device;
  device.Bmc().Expect(kApp, 0x22, Bytes{0x00});
  device.Bmc().Expect(kApp, 0x22, Bytes{0x80});  // timer not initialised yet
  EXPECT_EQ(ResetWatchdogTimer(), 0);
  EXPECT_EQ(ResetWatchdogTimer(), 0x80);
  EXPECT_EQ(SentRequests(device.Bmc()), (std::vector<Sent>{{kApp, 0x22, {}}, {kApp, 0x22, {}}}));
}
