// bmcsetup's modes against the scripted BMC and configuration files under the
// fake device's installation root.
#include <gtest/gtest.h>
#include <syslog.h>

#include "bmcsetup_modes.h"
#include "conftest.h"
#include "imblanconf.h"
#include "lanbmc.h"
#include "platformmodel.h"
#include "support/fake_imb_device.h"

using conftest::Bytes;
using conftest::ConfFiles;
using conftest::Golden;
using conftest::ReadFile;
using conftest::WriteFile;
using mgmt::bmcsetup::Command;
using mgmt::bmcsetup::Mode;
using mgmt::test::FakeImbDevice;
using mgmt::test::Reply;

namespace {

class BmcSetup : public ::testing::Test {
 protected:
  void SetUp() override {
    device_.Bmc().SetHandler(conftest::LanBmc(state_));
    mgmt::bmc::SetPlatformModelSource([] { return std::string("rack"); });
  }
  void TearDown() override { mgmt::bmc::SetPlatformModelSource(nullptr); }

  int Run(Command command) {
    errors_.clear();
    return mgmt::bmcsetup::Run(command, [this](int priority, const std::string& message) {
      if (priority <= LOG_ERR) errors_ += message + "\n";
    });
  }
  static Command Mode(mgmt::bmcsetup::Mode mode, int channel = 0) {
    Command c;
    c.mode = mode;
    c.channel = channel;
    return c;
  }

  FakeImbDevice device_;
  std::shared_ptr<conftest::LanBmcState> state_ = std::make_shared<conftest::LanBmcState>();
  ConfFiles files_{device_.Root()};
  std::string errors_;
};

}  // namespace

TEST_F(BmcSetup, InitReadsTheBmcAndKeepsTheUsersSwitches) {
  WriteFile(files_.IpmiConf(), Golden("ipmi.conf.edited"));
  WriteFile(files_.ChannelConf(), "[Channel_2]\nIsChannel=1 \nIP=10.2.2.2\n");
  ASSERT_EQ(Run(Mode(Mode::kInit)), 0) << errors_;

  EXPECT_EQ(ReadFile(files_.ChannelConf()),
            "[Channel_2]\nIsChannel=0 \nIP=10.2.2.2\n[Channel_1]\nIPSource=1 \nIpSourceCap=1 \n"
            "IP=192.0.2.10\nMAC=020000000020\nNetmask=255.255.255.0\nGatewayIP=192.0.2.1\n"
            "GatewayMAC=001122334455\nNumTargets=4 \nIsChannel=1 \nSupportRmcp+=true\n\n");
  CBMCLanConf conf;
  conf.GetFromFile(nullptr);
  EXPECT_TRUE(conf.GetBMCSendEvent());
  EXPECT_TRUE(conf.GetShutdownIfTempHigh());
  EXPECT_TRUE(conf.GetAsrEnabled());
  EXPECT_EQ(conf.GetAsrTimer(), 600);
  EXPECT_STREQ(conf.GetUserName(), "operator");
  EXPECT_STREQ(conf.Targets().GetTargetIPAt(0), "10.0.0.9");
  EXPECT_STREQ(conf.Targets().GetTargetIPAt(1), "10.0.0.11");
  EXPECT_STREQ(conf.Targets().GetTargetIPAt(2), "");  // a placeholder is written empty
  EXPECT_NE(ReadFile(files_.IpmiConf()).find("[Vendor]\nColour=blue\n"), std::string::npos);
}

TEST_F(BmcSetup, InitLeavesTheFilesAloneWhenTheBmcDoesNotAnswer) {
  WriteFile(files_.ChannelConf(), "[Channel_1]\nIsChannel=1 \n");
  device_.Bmc().Always(0x06, 0x42, Reply::NoReply());
  EXPECT_EQ(Run(Mode(Mode::kInit)), 1);
  EXPECT_NE(errors_.find("does not answer"), std::string::npos);
  EXPECT_EQ(ReadFile(files_.ChannelConf()), "[Channel_1]\nIsChannel=1 \n");
  EXPECT_FALSE(std::filesystem::exists(files_.IpmiConf()));
}

TEST_F(BmcSetup, SyncWithoutAChannelFollowingTheHostDoesNothing) {
  WriteFile(files_.ChannelConf(), "[Channel_1]\nIsChannel=1 \nIPSource=1 \n");
  EXPECT_EQ(Run(Mode(Mode::kSync)), 0);
  EXPECT_TRUE(device_.Bmc().Requests().empty());
}

TEST_F(BmcSetup, GlobalSetsNameAndPasswordAndTheDestinations) {
  WriteFile(files_.IpmiConf(), "[Target_1]\nIP=10.0.0.5\nMAC=000c29000005\n");
  Command c = Mode(Mode::kGlobal);
  c.userName = "x;id";
  c.password = "n3w";
  ASSERT_EQ(Run(c), 0) << errors_;
  Bytes name{'x', ';', 'i', 'd'};
  name.resize(16, 0);
  Bytes password{'n', '3', 'w'};
  password.resize(16, 0);
  EXPECT_EQ(state_->userNames[2], name);
  EXPECT_EQ(state_->passwords[2], password);
  EXPECT_EQ(state_->dests[1], (Bytes{1, 0, 0, 10, 0, 0, 5, 0x00, 0x0C, 0x29, 0, 0, 5}));
  EXPECT_EQ(state_->dests[2][3], 0xFF);  // no second target
  EXPECT_EQ(state_->dests[4][3], 0xFF);  // beyond three: cleared

  // Empty values leave name and password as they are.
  state_->userNames.clear();
  state_->passwords.clear();
  ASSERT_EQ(Run(Mode(Mode::kGlobal)), 0) << errors_;
  EXPECT_TRUE(state_->userNames.empty());
  EXPECT_TRUE(state_->passwords.empty());
}

TEST_F(BmcSetup, GlobalGivesAResolvedMacToTheTargetThatLacksOne) {
  // Two targets with one IP: the first names its MAC, the second leaves it to
  // the ARP cache.
  WriteFile(files_.IpmiConf(),
            "[Target_1]\nIP=10.0.0.5\nMAC=000c29000005\n[Target_2]\nIP=10.0.0.5\nMAC=\n");
  std::filesystem::create_directories(files_.Path("/proc/net"));
  WriteFile(files_.Path("/proc/net/arp"),
            "IP address       HW type     Flags       HW address            Mask     Device\n"
            "10.0.0.5         0x1         0x2         00:0c:29:00:00:77     *        eth0\n");
  ASSERT_EQ(Run(Mode(Mode::kGlobal)), 0) << errors_;
  EXPECT_EQ(state_->dests[1], (Bytes{1, 0, 0, 10, 0, 0, 5, 0x00, 0x0C, 0x29, 0, 0, 0x05}));
  EXPECT_EQ(state_->dests[2], (Bytes{2, 0, 0, 10, 0, 0, 5, 0x00, 0x0C, 0x29, 0, 0, 0x77}));
}

TEST_F(BmcSetup, ChannelIsAppliedOnlyWhenConfiguredAndValid) {
  EXPECT_EQ(Run(Mode(Mode::kChannel, 1)), 1);
  EXPECT_NE(errors_.find("not configured"), std::string::npos);

  WriteFile(files_.ChannelConf(), Golden("bmcchannel.conf"));
  ASSERT_EQ(Run(Mode(Mode::kChannel, 1)), 0) << errors_;
  EXPECT_EQ(state_->params[3], (Bytes{192, 168, 0, 120}));
  EXPECT_EQ(state_->params[13], (Bytes{0x00, 0xA0, 0xCC, 0x00, 0x00, 0x01}));

  device_.Bmc().ClearRequests();
  WriteFile(files_.ChannelConf(),
            "[Channel_1]\nIsChannel=1 \nIPSource=1 \nIP=192.168.0\nNetmask=255.255.255.0\n");
  EXPECT_EQ(Run(Mode(Mode::kChannel, 1)), 1);
  EXPECT_TRUE(device_.Bmc().Requests().empty());
}
