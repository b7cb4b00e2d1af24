// The watchdog cycle against the scripted BMC, with ipmi.conf under the fake
// device's root and time moved by hand.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "asrwatchdog.h"
#include "base/clock.h"
#include "conftest.h"
#include "support/fake_imb_device.h"

using conftest::Bytes;
using conftest::ConfFiles;
using conftest::Sent;
using conftest::SentRequests;
using conftest::WriteFile;
using mgmt::test::FakeImbDevice;
using mgmt::test::Reply;
using mgmt::watchdog::AsrWatchdog;
using namespace std::chrono_literals;

namespace {

constexpr int kApp = 0x06;
const Sent kReset{kApp, 0x22, {}};
const Sent kGet{kApp, 0x25, {}};
const Sent kDisarm{kApp, 0x24, {0x04, 0x00, 0x00, 0x00, 0x00, 0x00}};

Sent SetCmd(int action, int units) {
  return {kApp,
          0x24,
          {0x04, static_cast<uint8_t>(action), 0, 0, static_cast<uint8_t>(units & 0xFF),
           static_cast<uint8_t>(units >> 8)}};
}

// A BMC watchdog that holds what Set Watchdog Timer gave it.
struct TimerState {
  Bytes set{0x04, 0x00, 0x00, 0x00, 0x00, 0x00};
  bool getFails = false;
};

class Asr : public ::testing::Test {
 protected:
  void SetUp() override {
    device_.Bmc().SetHandler(
        [state = state_](const mgmt::imbd::IpmiRequest& r) -> std::optional<Reply> {
          if (r.netFn != kApp) return std::nullopt;
          if (r.cmd == 0x24 && r.data.size() == 6) {
            state->set = r.data;
            return Reply::Bytes({0x00});
          }
          if (r.cmd == 0x25) {
            if (state->getFails) return Reply::Bytes({0xC0});
            const Bytes& s = state->set;
            return Reply::Bytes({0x00, s[0], s[1], s[2], s[3], s[4], s[5], s[4], s[5]});
          }
          if (r.cmd == 0x22) return Reply::Bytes({0x00});
          return std::nullopt;
        });
  }
  void Conf(bool enabled, int timer, int action) {
    WriteFile(files_.IpmiConf(),
              "[IPMIConfig]\nBMCSendEvent=1 \n[Watchdog]\nAsrEnabled=" + std::to_string(enabled) +
                  " \nAsrTimer=" + std::to_string(timer) +
                  " \nm_asraction=" + std::to_string(action) + " \n");
  }
  std::vector<Sent> CycleSends(AsrWatchdog& wd) {
    device_.Bmc().ClearRequests();
    wd.Cycle();
    return SentRequests(device_.Bmc());
  }

  FakeImbDevice device_;
  ConfFiles files_{device_.Root()};
  std::shared_ptr<TimerState> state_ = std::make_shared<TimerState>();
};

}  // namespace

TEST_F(Asr, ArmThenFeedThenChangeThenDisarm) {
  int published = 0;
  AsrWatchdog wd([&](const CBMCLanConf& conf) {
    ++published;
    EXPECT_TRUE(conf.GetBMCSendEvent());
  });
  Conf(true, 300, 1);
  EXPECT_EQ(CycleSends(wd), (std::vector<Sent>{kGet, SetCmd(1, 3000), kReset}));
  EXPECT_EQ(CycleSends(wd), (std::vector<Sent>{kGet, kReset}));
  EXPECT_EQ(CycleSends(wd), (std::vector<Sent>{kGet, kReset}));

  Conf(true, 600, 1);
  EXPECT_EQ(CycleSends(wd), (std::vector<Sent>{kGet, SetCmd(1, 6000), kReset}));

  Conf(false, 600, 1);
  EXPECT_EQ(CycleSends(wd), (std::vector<Sent>{kGet, kDisarm}));
  EXPECT_EQ(published, 5);
  EXPECT_FALSE(wd.Applied().GetAsrEnabled());
}

TEST_F(Asr, SomeoneElseChangingTheTimerIsUndone) {
  AsrWatchdog wd;
  Conf(true, 300, 1);
  wd.Cycle();
  state_->set = {0x04, 0x01, 0x00, 0x00, 0x64, 0x00};  // 10 s, set behind our back
  EXPECT_EQ(CycleSends(wd), (std::vector<Sent>{kGet, SetCmd(1, 3000), kReset}));
}

TEST_F(Asr, LongTimersAreClampedAndOddActionsMeanNone) {
  AsrWatchdog wd;
  Conf(true, 7000, 1);
  EXPECT_EQ(CycleSends(wd), (std::vector<Sent>{kGet, SetCmd(1, 65530), kReset}));
  EXPECT_EQ(CycleSends(wd), (std::vector<Sent>{kGet, kReset}));  // in step at 6553 s

  Conf(true, 300, 9);
  EXPECT_EQ(CycleSends(wd), (std::vector<Sent>{kGet, SetCmd(0, 3000), kReset}));
  EXPECT_EQ(CycleSends(wd), (std::vector<Sent>{kGet, kReset}));
}

TEST_F(Asr, ShortTimersAreNeverProgrammedButStillFed) {
  AsrWatchdog wd;
  Conf(true, 179, 1);
  EXPECT_EQ(CycleSends(wd), (std::vector<Sent>{kGet, kReset}));
  Conf(true, 180, 1);
  EXPECT_EQ(CycleSends(wd), (std::vector<Sent>{kGet, SetCmd(1, 1800), kReset}));
}

TEST_F(Asr, MissingAndUnreadableFiles) {
  AsrWatchdog wd;
  Conf(true, 300, 1);
  wd.Cycle();
  // Unreadable: the settings applied last stay, and the timer is still fed.
  std::filesystem::remove(files_.IpmiConf());
  std::filesystem::create_directory(files_.IpmiConf());
  EXPECT_EQ(CycleSends(wd), (std::vector<Sent>{kGet, kReset}));
  EXPECT_TRUE(wd.Applied().GetAsrEnabled());
  // Missing: ASR off.
  std::filesystem::remove(files_.IpmiConf());
  EXPECT_EQ(CycleSends(wd), (std::vector<Sent>{kGet, kDisarm}));
}

TEST_F(Asr, AFailedReadComparesTheLastValuesAgain) {
  AsrWatchdog wd;
  state_->getFails = true;
  Conf(true, 300, 1);
  EXPECT_EQ(CycleSends(wd), (std::vector<Sent>{kGet, SetCmd(1, 3000), kReset}));
  // Nothing read yet, so the BMC still counts as all zero: set again.
  EXPECT_EQ(CycleSends(wd), (std::vector<Sent>{kGet, SetCmd(1, 3000), kReset}));
  state_->getFails = false;
  EXPECT_EQ(CycleSends(wd), (std::vector<Sent>{kGet, kReset}));
}

TEST_F(Asr, DisarmIsRepeatedUntilTheBmcConfirmsIt) {
  AsrWatchdog wd;
  mgmt::base::ManualClock clock;
  // The first two sets are lost (the BMC keeps counting), the third takes.
  auto& bmc = device_.Bmc();
  bmc.Expect(kApp, 0x24, Reply::NoReply());
  bmc.Expect(kApp, 0x24, Bytes{0xC0});
  state_->set = {0x44, 0x01, 0x00, 0x00, 0xB8, 0x0B};
  bool confirmed = false;
  std::thread stopper([&] { confirmed = wd.Disarm(clock); });
  for (int i = 0; i < 2; ++i) {
    clock.WaitForSleepers(1);
    clock.Advance(1s);
  }
  stopper.join();
  EXPECT_TRUE(confirmed);
  EXPECT_EQ(SentRequests(bmc), (std::vector<Sent>{kDisarm, kGet, kDisarm, kGet, kDisarm, kGet}));

  // A BMC that never confirms: bounded.
  bmc.ClearRequests();
  bmc.Always(kApp, 0x24, Reply::Bytes({0xC0}));
  state_->set = {0x44, 0x01, 0x00, 0x00, 0xB8, 0x0B};
  std::thread again([&] { confirmed = wd.Disarm(clock, 3); });
  for (int i = 0; i < 2; ++i) {
    clock.WaitForSleepers(1);
    clock.Advance(1s);
  }
  again.join();
  EXPECT_FALSE(confirmed);
  EXPECT_EQ(SentRequests(bmc).size(), 6u);
}

TEST_F(Asr, TheLoopCyclesEveryTenSecondsAndDisarmsWhenStopped) {
  Conf(true, 300, 1);
  AsrWatchdog wd;
  mgmt::base::ManualClock clock;
  std::atomic<bool> running{true};
  std::thread loop([&] { RunAsrLoop(wd, clock, [&] { return running.load(); }); });
  auto resets = [&] {
    int n = 0;
    for (const Sent& s : SentRequests(device_.Bmc())) n += s == kReset;
    return n;
  };
  for (int second = 0; second < 20; ++second) {
    clock.WaitForSleepers(1);
    clock.Advance(1s);
  }
  clock.WaitForSleepers(1);
  EXPECT_EQ(resets(), 3);  // at 0, 10 and 20 seconds
  running = false;
  clock.Advance(1s);  // the stop is seen at the next one-second step
  loop.join();
  EXPECT_EQ(SentRequests(device_.Bmc()).back(), kGet);
  EXPECT_EQ(state_->set, (Bytes{0x04, 0, 0, 0, 0, 0}));
}

TEST_F(Asr, ASlowCycleDoesNotDelayTheNext) {
  Conf(true, 300, 1);
  AsrWatchdog wd;
  mgmt::base::ManualClock clock;
  // Three seconds pass within the first cycle, as with a slow BMC.
  std::atomic<bool> slowDone{false};
  std::atomic<bool> running{true};
  std::thread loop([&] {
    RunAsrLoop(wd, clock, [&] {
      if (!slowDone.exchange(true)) clock.Advance(3s);
      return running.load();
    });
  });
  auto gets = [&] {
    int n = 0;
    for (const Sent& s : SentRequests(device_.Bmc())) n += s == kGet;
    return n;
  };
  for (int second = 3; second < 10; ++second) {  // the second cycle is due at 10 s
    clock.WaitForSleepers(1);
    EXPECT_EQ(gets(), 1) << second;
    clock.Advance(1s);
  }
  clock.WaitForSleepers(1);
  EXPECT_EQ(gets(), 2);
  running = false;
  clock.Advance(1s);
  loop.join();
}
