// The channel and BMC-wide values against the scripted BMC: reading a channel,
// applying it, following the host's address, and collecting trap targets.
#include <gtest/gtest.h>

#include <cstring>

#include "conftest.h"
#include "getsysconf.h"
#include "imbchannel.h"
#include "imblanconf.h"
#include "lanbmc.h"
#include "platformmodel.h"
#include "support/fake_imb_device.h"

using conftest::Bytes;
using conftest::ConfFiles;
using conftest::LanBmcState;
using conftest::ReadFile;
using conftest::Sent;
using conftest::SentRequests;
using mgmt::test::FakeImbDevice;
using mgmt::test::Reply;

namespace {

constexpr int kApp = 0x06;
constexpr int kTransport = 0x0C;

class ChannelBmc : public ::testing::Test {
 protected:
  void SetUp() override {
    device_.Bmc().SetHandler(conftest::LanBmc(state_));
    mgmt::bmc::SetPlatformModelSource([] { return std::string("Rack_Server"); });
  }
  void TearDown() override { mgmt::bmc::SetPlatformModelSource(nullptr); }

  std::vector<Sent> Writes() {
    std::vector<Sent> out;
    for (const Sent& s : SentRequests(device_.Bmc())) {
      const auto [netFn, cmd, data] = s;
      if ((netFn == kTransport && cmd == 0x01) || (netFn == kApp && (cmd == 0x40 || cmd == 0x02)))
        out.push_back(s);
    }
    return out;
  }

  FakeImbDevice device_;
  std::shared_ptr<LanBmcState> state_ = std::make_shared<LanBmcState>();
  ConfFiles files_{device_.Root()};
};

netconf_t Adapter(const char* ip, const char* mac, const char* mask) {
  netconf_t a;
  std::memset(&a, 0, sizeof a);
  std::strcpy(a.ip, ip);
  std::strcpy(a.mac, mac);
  std::strcpy(a.netmask, mask);
  return a;
}

}  // namespace

TEST_F(ChannelBmc, ReadsALanChannel) {
  CChannelConf channel(1);
  ASSERT_EQ(channel.ReadFromBMC(), CChannelConf::BmcRead::kRead);
  EXPECT_TRUE(channel.GetIsChannel());
  EXPECT_TRUE(channel.GetLanRead());
  EXPECT_EQ(channel.GetIPSource(), 1);
  EXPECT_STREQ(channel.GetIP(), "192.0.2.10");
  EXPECT_STREQ(channel.GetMAC(), "020000000020");
  EXPECT_STREQ(channel.GetNetmask(), "255.255.255.0");
  EXPECT_STREQ(channel.GetGatewayIP(), "192.0.2.1");
  EXPECT_STREQ(channel.GetGatewayMAC(), "001122334455");
  EXPECT_EQ(channel.GetNumTargets(), 4);
  EXPECT_STREQ(channel.Targets().GetTargetIPAt(0), "10.0.0.9");
  EXPECT_STREQ(channel.Targets().GetTargetMACAt(0), "000c29abcdef");
  EXPECT_STREQ(channel.Targets().GetTargetIPAt(2), "10.0.0.11");
  EXPECT_EQ(channel.GetIPSourceCap(), 1);  // no host adapter has the BMC's MAC
  EXPECT_STREQ(channel.GetSupportRmcpPlus(), "true");
  // Destinations beyond three are not read.
  for (const Sent& s : SentRequests(device_.Bmc())) {
    const auto& data = std::get<2>(s);
    if (std::get<1>(s) == 0x02 && data.size() == 4 && data[1] == 19) {
      EXPECT_LE(data[2], 3);
    }
  }

  mgmt::bmc::SetPlatformModelSource([] { return std::string("CORVID_Juniper_2"); });
  state_->rmcpPlus = false;
  CChannelConf again(1);
  again.ReadFromBMC();
  EXPECT_EQ(again.GetIPSourceCap(), 3);
  EXPECT_STREQ(again.GetSupportRmcpPlus(), "false");
}

TEST_F(ChannelBmc, ChannelsThatAreNotReadableLanChannels) {
  CChannelConf other(6), missing(2);
  EXPECT_EQ(other.ReadFromBMC(), CChannelConf::BmcRead::kAbsent);  // session-less
  EXPECT_EQ(missing.ReadFromBMC(), CChannelConf::BmcRead::kAbsent);
  EXPECT_FALSE(other.GetIsChannel());
  EXPECT_FALSE(other.IsLanChannel());
  EXPECT_TRUE(CChannelConf(1).IsLanChannel());

  state_->params[2] = {0x15, 0x15, 0x15, 0x00, 0x00};  // nothing at administrator level
  CChannelConf noAdmin(1);
  EXPECT_EQ(noAdmin.ReadFromBMC(), CChannelConf::BmcRead::kAbsent);
  EXPECT_FALSE(noAdmin.GetIsChannel());

  device_.Bmc().Always(kTransport, 0x02, Reply::NoReply());
  CChannelConf silent(1);
  EXPECT_EQ(silent.ReadFromBMC(), CChannelConf::BmcRead::kNoTransport);
}

TEST_F(ChannelBmc, TargetsOnlyClearsWhatIsNotHeldAndWritesFromTheLast) {
  CChannelConf channel(1);
  channel.SetIsChannel(true);
  channel.SetNumTargets(4);
  channel.Targets().SetTargetIPAt(0, "10.0.0.5");
  channel.Targets().SetTargetMACAt(0, "00:0c:29:00:00:05");
  channel.Targets().SetTargetIPAt(2, "10.0.0.7");
  EXPECT_EQ(channel.ApplyToBMC(true), 0);
  EXPECT_EQ(Writes(),
            (std::vector<Sent>{
                {kTransport,
                 0x01,
                 {1, 19, 4, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
                {kTransport, 0x01, {1, 19, 3, 0, 0, 10, 0, 0, 7, 0, 0, 0, 0, 0, 0}},
                {kTransport,
                 0x01,
                 {1, 19, 2, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
                {kTransport, 0x01, {1, 19, 1, 0, 0, 10, 0, 0, 5, 0x00, 0x0C, 0x29, 0, 0, 5}},
            }));

  device_.Bmc().ClearRequests();
  channel.Targets().SetTargetIPAt(1, "10.0.0");  // a failed parse is never sent as broadcast
  EXPECT_EQ(channel.ApplyToBMC(true), -1);
  EXPECT_TRUE(Writes().empty());
  channel.SetIsChannel(false);
  EXPECT_EQ(channel.ApplyToBMC(true), 0);
  EXPECT_TRUE(device_.Bmc().Requests().empty());
}

TEST_F(ChannelBmc, StaticAddressesAreCheckedThenWrittenWithAlertingAndAReset) {
  CChannelConf channel(1);
  channel.SetIsChannel(true);
  channel.SetIPSource(1);
  channel.SetIP("192.168.0.120");
  channel.SetNetmask("255.255.255.0");
  channel.SetGatewayIP("192.168.0.1");
  channel.SetGatewayMAC("00a0cc000001");
  EXPECT_EQ(channel.ApplyToBMC(false), 0);  // the refused cold reset is no failure
  EXPECT_EQ(Writes(), (std::vector<Sent>{
                          {kTransport, 0x01, {1, 4, 1}},
                          {kTransport, 0x01, {1, 3, 192, 168, 0, 120}},
                          {kTransport, 0x01, {1, 6, 255, 255, 255, 0}},
                          {kTransport, 0x01, {1, 12, 192, 168, 0, 1}},
                          {kTransport, 0x01, {1, 13, 0x00, 0xA0, 0xCC, 0x00, 0x00, 0x01}},
                          {kApp, 0x40, {1, 0x82, 0x00}},
                          {kApp, 0x40, {1, 0x42, 0x00}},
                          {kApp, 0x02, {}},
                      }));
  EXPECT_EQ(state_->accessNonVolatile, 0x02);  // user-level authentication stays on

  for (auto [ip, mask] : {std::pair{"192.168.0", "255.255.255.0"},
                          {"192.168.0.120", ""},
                          {"192.168.0.300", "255.255.255.0"}}) {
    device_.Bmc().ClearRequests();
    channel.SetIP(ip);
    channel.SetNetmask(mask);
    EXPECT_EQ(channel.ApplyToBMC(false), -1) << ip << " " << mask;
    EXPECT_TRUE(device_.Bmc().Requests().empty());
  }

  device_.Bmc().ClearRequests();
  channel.SetIPSource(2);  // DHCP: the source alone, then the reset
  EXPECT_EQ(channel.ApplyToBMC(false), 0);
  EXPECT_EQ(Writes(), (std::vector<Sent>{{kTransport, 0x01, {1, 4, 2}}, {kApp, 0x02, {}}}));
}

TEST_F(ChannelBmc, SynchFollowsTheAdapterWithTheBmcsMac) {
  conftest::WriteFile(files_.ChannelConf(), "; channels\n[Channel_1]\nIsChannel=1 \nIPSource=3 \n");
  CChannelConf channel(1);
  channel.GetFromFile(nullptr);
  channel.SetMAC("020000000020");
  channel.SetIP("192.0.2.10");
  const netconf_t adapters[] = {
      Adapter("10.1.1.1", "", "255.0.0.0"),  // no MAC: passed over, not the end
      Adapter("127.0.0.1", "00:00:00:00:00:00", "255.0.0.0"),
      Adapter("127.0.0.2", "02:00:00:00:00:20", "255.0.0.0"),  // loopback: never the BMC's port
      Adapter("10.0.0.5", "02:00:00:00:00:20", "255.255.0.0"),
      Adapter("", "", ""),
  };
  ASSERT_EQ(channel.SynchBMCIP(adapters, 5, "10.0.0.1", "00a0cc000001"), 0);
  EXPECT_EQ(Writes(), (std::vector<Sent>{
                          {kTransport, 0x01, {1, 3, 10, 0, 0, 5}},
                          {kTransport, 0x01, {1, 6, 255, 255, 0, 0}},
                          {kTransport, 0x01, {1, 12, 10, 0, 0, 1}},
                          {kTransport, 0x01, {1, 13, 0x00, 0xA0, 0xCC, 0x00, 0x00, 0x01}},
                      }));
  EXPECT_EQ(ReadFile(files_.ChannelConf()),
            "; channels\n[Channel_1]\nIsChannel=1 \nIPSource=3 \nIP=10.0.0.5\nNetmask=255.255.0.0\n"
            "GatewayIP=10.0.0.1\nGatewayMAC=00a0cc000001\n");

  // In step already: nothing to do.
  device_.Bmc().ClearRequests();
  EXPECT_EQ(channel.SynchBMCIP(adapters, 5, "10.0.0.1", "00a0cc000001"), 0);
  EXPECT_TRUE(device_.Bmc().Requests().empty());

  // A refused write leaves the file alone.
  channel.SetIP("192.0.2.10");
  device_.Bmc().Expect(kTransport, 0x01, Bytes{0x00});
  device_.Bmc().Expect(kTransport, 0x01, Bytes{0xD4});
  const std::string before = ReadFile(files_.ChannelConf());
  EXPECT_EQ(channel.SynchBMCIP(adapters, 5, "10.0.0.1", "00a0cc000001"), -1);
  EXPECT_EQ(ReadFile(files_.ChannelConf()), before);
}

TEST_F(ChannelBmc, SynchOnlyForChannelsWhoseSourceIsSystemSoftware) {
  CChannelConf channel(1);
  channel.SetIsChannel(true);
  channel.SetIPSource(1);
  channel.SetMAC("020000000020");
  const netconf_t adapters[] = {Adapter("10.0.0.5", "020000000020", "255.0.0.0"),
                                Adapter("", "", "")};
  EXPECT_EQ(channel.SynchBMCIP(adapters, 2, "", ""), 0);
  EXPECT_TRUE(device_.Bmc().Requests().empty());
}

TEST(BmcLanConf, CollectsTargetsFromTheChannelsReadFromTheBmc) {
  mgmt::bmc::SetPlatformModelSource([] { return std::string("rack"); });
  CChannelConf channels[CBMCLanConf::kChannelCount];
  channels[1].SetIsChannel(true);
  channels[1].SetLanRead(true);
  channels[1].SetNumTargets(3);
  channels[1].Targets().SetTargetIPAt(0, "0.0.0.0");
  channels[1].Targets().SetTargetIPAt(1, "10.0.0.9");
  channels[1].Targets().SetTargetMACAt(1, "000c29abcdef");
  channels[1].Targets().SetTargetIPAt(2, "255.255.255.255");
  channels[2].SetIsChannel(true);  // not read from the BMC: not considered
  channels[2].SetNumTargets(1);
  channels[2].Targets().SetTargetIPAt(0, "10.0.0.2");
  channels[3].SetIsChannel(true);
  channels[3].SetLanRead(true);
  channels[3].SetNumTargets(2);
  channels[3].Targets().SetTargetIPAt(0, "10.0.0.9");  // the same destination again
  channels[3].Targets().SetTargetIPAt(1, "10.0.0.3");
  CBMCLanConf conf;
  conf.GetFromBMC(channels);
  EXPECT_TRUE(conf.GetBMCSendEvent());
  EXPECT_STREQ(conf.Targets().GetTargetIPAt(0), "10.0.0.9");
  EXPECT_STREQ(conf.Targets().GetTargetMACAt(0), "000c29abcdef");
  EXPECT_STREQ(conf.Targets().GetTargetIPAt(1), "10.0.0.3");
  EXPECT_STREQ(conf.Targets().GetTargetIPAt(2), "255.255.255.255");
  EXPECT_STREQ(conf.Targets().GetTargetMACAt(2), "000000000000");

  mgmt::bmc::SetPlatformModelSource([] { return std::string("Corvid_Ivy"); });
  CBMCLanConf ivy;
  ivy.GetFromBMC(channels);
  EXPECT_FALSE(ivy.GetBMCSendEvent());
  mgmt::bmc::SetPlatformModelSource(nullptr);
}
