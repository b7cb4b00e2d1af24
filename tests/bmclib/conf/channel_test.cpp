// Channels, LAN parameters, users and keys against the scripted BMC: request
// bytes, reply decoding, short replies, completion codes and transport failures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "conftest.h"
#include "ipmiconf.h"
#include "support/fake_imb_device.h"

using conftest::Bytes;
using conftest::Sent;
using conftest::SentRequests;
using mgmt::imbd::IpmiRequest;
using mgmt::test::FakeImbDevice;
using mgmt::test::Reply;

namespace {

constexpr int kApp = 0x06;
constexpr int kTransport = 0x0C;

// A BMC with LAN channel 1 (session-based, admin authentication on) and a
// session-less channel 6, answering LAN parameters from `params` (parameter ->
// data after the revision byte) and destinations 1-3 from `dests`.
struct LanBmc {
  std::map<int, Bytes> params = {
      {2, {0x15, 0x15, 0x15, 0x15, 0x00}},
      {3, {192, 0, 2, 10}},
      {4, {0x01}},
      {5, {0x02, 0x00, 0x00, 0x00, 0x00, 0x20}},
      {6, {255, 255, 255, 0}},
      {12, {192, 0, 2, 1}},
      {13, {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}},
      {14, {0, 0, 0, 0}},
      {15, {0, 0, 0, 0, 0, 0}},
      {17, {0x03}},
  };
  std::map<int, Bytes> dests = {
      {1, {1, 0, 0, 10, 0, 0, 9, 0x00, 0x0C, 0x29, 0xAB, 0xCD, 0xEF}},
      {3, {3, 0, 0, 10, 0, 0, 11, 0x00, 0x0C, 0x29, 0x00, 0x00, 0x01}},
  };

  std::optional<Reply> operator()(const IpmiRequest& r) const {
    if (r.netFn == kApp && r.cmd == 0x42 && r.data.size() == 1) {
      if (r.data[0] == 1) return Reply::Bytes({0, 1, 0x04, 0x01, 0x82, 0xF2, 0x1B, 0x00, 0, 0});
      if (r.data[0] == 6) return Reply::Bytes({0, 6, 0x0C, 0x05, 0x00, 0xF2, 0x1B, 0x00, 0, 0});
      return Reply::Bytes({0xCC});
    }
    if (r.netFn == kApp && r.cmd == 0x41) return Reply::Bytes({0, 0x0A, 0x04});
    if (r.netFn == kTransport && r.cmd == 0x02 && r.data.size() == 4) {
      if (r.data[1] == 19) {
        auto d = dests.find(r.data[2]);
        if (d == dests.end()) return Reply::Bytes({0x80});
        Bytes reply{0x00, 0x11};
        reply.insert(reply.end(), d->second.begin(), d->second.end());
        return Reply::Bytes(reply);
      }
      auto p = params.find(r.data[1]);
      if (p == params.end()) return Reply::Bytes({0x80});
      Bytes reply{0x00, 0x11};
      reply.insert(reply.end(), p->second.begin(), p->second.end());
      return Reply::Bytes(reply);
    }
    return Reply::Bytes({0x00});  // every write accepted
  }
};

}  // namespace

TEST(Channels, InfoAndAccessDecodeEveryField) {
  FakeImbDevice device;
  device.Bmc().SetHandler(LanBmc{});
  channel_info_t info{};
  ASSERT_EQ(GetChannelInfo(&info, 1), 0);
  EXPECT_EQ(info.channel, 1u);
  EXPECT_EQ(info.mediumType, 4u);
  EXPECT_EQ(info.protocolType, 1u);
  EXPECT_EQ(info.sessionSupport, 2u);
  EXPECT_EQ(info.activeSessions, 2u);
  EXPECT_EQ(info.vendorId, 0x1BF2u);
  EXPECT_TRUE(IsLanChannel(&info));
  ASSERT_EQ(GetChannelAccess(&info), 0);
  EXPECT_EQ(info.accessByte, 0x0Au);
  EXPECT_EQ(info.privilegeLimit, 0x04u);
  EXPECT_EQ(SetChannelAccess(&info), 0);
  EXPECT_EQ(SentRequests(device.Bmc()),
            (std::vector<Sent>{
                {kApp, 0x42, {1}}, {kApp, 0x41, {1, 0x40}}, {kApp, 0x40, {1, 0x0A, 0x04}}}));

  ASSERT_EQ(GetChannelInfo(&info, 6), 0);
  EXPECT_FALSE(IsLanChannel(&info));  // session-less
  EXPECT_EQ(GetChannelInfo(&info, 2), 0xCC);

  device.Bmc().Expect(kApp, 0x42, Bytes{0x00, 1, 0x04, 0x01, 0x82});  // short
  info = channel_info_t{};
  EXPECT_NE(GetChannelInfo(&info, 1), 0);
  EXPECT_EQ(info.mediumType, 0u);
}

TEST(Channels, DiscoveryFindsTheAnsweringChannelsAndStopsOnATransportFailure) {
  FakeImbDevice device;
  device.Bmc().SetHandler(LanBmc{});
  EXPECT_EQ(InitChannels(), 1);
  ASSERT_EQ(g_nChannels, 2);
  EXPECT_EQ(g_channels[0].channel, 1u);
  EXPECT_EQ(g_channels[0].accessByte, 0x0Au);
  EXPECT_EQ(g_channels[1].channel, 6u);
  EXPECT_EQ(SentRequests(device.Bmc()).size(), 13u + 2u);

  GetLanConfs();
  ASSERT_EQ(g_nLanconfs, 1);
  EXPECT_EQ(g_lanconfs[0].channel, 1u);
  EXPECT_EQ(g_lanconfs[0].accessByte, 0x0Au);
  EXPECT_EQ(g_lanconfs[0].channelInfo, &g_channels[0]);

  device.Bmc().ClearRequests();
  device.Bmc().Expect(kApp, 0x42, Bytes{0xCC});
  device.Bmc().Expect(kApp, 0x42, Reply::NoReply());
  InitChannels();
  EXPECT_EQ(g_nChannels, 0);
  EXPECT_EQ(SentRequests(device.Bmc()).size(), 2u);
}

TEST(Channels, LanConfigReadsTheBlockAndTheDestinationsWithoutGaps) {
  FakeImbDevice device;
  device.Bmc().SetHandler(LanBmc{});
  lan_config_t record;
  std::memset(&record, 0x5A, sizeof record);
  ASSERT_EQ(GetLanConfig(&record, 1), 0);
  std::vector<Sent> expected;
  for (int p : {2, 3, 4, 5, 6, 12, 13, 14, 15, 17})
    expected.push_back({kTransport, 0x02, {1, static_cast<uint8_t>(p), 0, 0}});
  for (int s : {1, 2, 3})
    expected.push_back({kTransport, 0x02, {1, 19, static_cast<uint8_t>(s), 0}});
  EXPECT_EQ(SentRequests(device.Bmc()), expected);

  EXPECT_EQ(record.channel, 1u);
  EXPECT_EQ(record.params.ipSource, 1);
  EXPECT_EQ(Bytes(record.params.ip, record.params.ip + 4), (Bytes{192, 0, 2, 10}));
  EXPECT_EQ(record.params.mac[5], 0x20);
  EXPECT_EQ(record.params.subnetMask[0], 255);
  EXPECT_EQ(record.params.gatewayMac[5], 0x55);
  EXPECT_EQ(record.numDests, 3u);  // the count the BMC gave
  EXPECT_EQ(record.dests[0].ip[3], 9);
  EXPECT_EQ(record.dests[1].setSelector, 3);  // destination 2 refused: no gap
  EXPECT_EQ(record.dests[1].mac[5], 0x01);
}

TEST(Channels, LanChannelWithoutAdministratorAuthenticationIsLeftOut) {
  FakeImbDevice device;
  LanBmc bmc;
  bmc.params[2] = {0x15, 0x15, 0x15, 0xC0, 0x00};  // only the reserved bits set
  device.Bmc().SetHandler(bmc);
  lan_config_t record{};
  EXPECT_EQ(GetLanConfig(&record, 1), -1);
  EXPECT_EQ(SentRequests(device.Bmc()).size(), 1u);
  InitChannels();
  GetLanConfs();
  EXPECT_EQ(g_nLanconfs, 0);
}

TEST(Channels, SetLanConfsWritesTheFlaggedParametersAndTurnsOnlyAlertingOn) {
  FakeImbDevice device;
  auto& bmc = device.Bmc();
  bmc.SetHandler(LanBmc{});
  // Alerting off, per-message and user-level authentication on, always available.
  bmc.Always(kApp, 0x41, Reply::Bytes({0x00, 0x22, 0x04}));
  lan_config_t record{};
  record.channel = 1;
  record.params.ipSource = 1;
  record.params.subnetMask[0] = 255;
  record.numDests = 1;
  record.dests[0] = {1, 0, 0, {10, 0, 0, 9}, {0, 0x0C, 0x29, 0xAB, 0xCD, 0xEF}};
  EXPECT_EQ(SetLanConfs(&record, kLanSetMac | kLanSetSubnetMask | kLanSetAlertDests), 0);
  EXPECT_EQ(SentRequests(bmc),
            (std::vector<Sent>{
                {kTransport, 0x01, {1, 4, 0x01}},
                {kTransport, 0x01, {1, 6, 255, 0, 0, 0}},
                {kApp, 0x02, {}},  // the new mask takes effect on restart
                {kApp, 0x41, {1, 0x80}},
                {kApp, 0x40, {1, 0x82, 0x00}},  // volatile: only alerting changed
                {kApp, 0x41, {1, 0x40}},
                {kApp, 0x40, {1, 0x42, 0x00}},
                {kTransport, 0x01, {1, 19, 1, 0, 0, 10, 0, 0, 9, 0, 0x0C, 0x29, 0xAB, 0xCD, 0xEF}},
            }));

  bmc.ClearRequests();
  record.params.ipSource = 5;
  EXPECT_EQ(SetLanConfs(&record, kLanSetIp), -1);
  EXPECT_TRUE(bmc.Requests().empty());
}

TEST(Channels, SetLanConfsStopsWhenTheBmcDoesNotAnswer) {
  FakeImbDevice device;
  device.Bmc().Always(kTransport, 0x01, Reply::NoReply());
  lan_config_t record{};
  record.channel = 1;
  SetLanConfs(&record, 0xFF);
  EXPECT_EQ(SentRequests(device.Bmc()).size(), 1u);
}

TEST(Users, NamesAndPasswords) {
  FakeImbDevice device;
  auto& bmc = device.Bmc();
  char name[17] = "stale";
  EXPECT_EQ(GetUserName(name, 1), 0);
  EXPECT_STREQ(name, "");
  EXPECT_TRUE(bmc.Requests().empty());

  Bytes reply{0x00, 'a', 'd', 'm', 'i', 'n'};
  reply.resize(17, 0);
  bmc.Expect(kApp, 0x46, reply);
  EXPECT_EQ(GetUserName(name, 2), 0);
  EXPECT_STREQ(name, "admin");
  Bytes full(17, 'x');
  full[0] = 0;
  bmc.Expect(kApp, 0x46, full);  // 16 characters without a NUL
  EXPECT_EQ(GetUserName(name, 3), 0);
  EXPECT_EQ(std::string(name), std::string(16, 'x'));
  bmc.Expect(kApp, 0x46, Bytes{0xCC});
  EXPECT_EQ(GetUserName(name, 9), 0xCC);
  EXPECT_STREQ(name, "");

  bmc.ClearRequests();
  EXPECT_EQ(SetUserNamePassword("admin", "12345678901234567", 2), -1);
  EXPECT_EQ(SetUserNamePassword("12345678901234567", "pw", 2), -1);
  EXPECT_TRUE(bmc.Requests().empty());

  bmc.Always(kApp, 0x45, Reply::Bytes({0x00}));
  bmc.Always(kApp, 0x47, Reply::Bytes({0x00}));
  EXPECT_EQ(SetUserNamePassword("root", "1234567890123456", 2), 0);
  EXPECT_EQ(SetUserNamePassword("ignored", "pw", 1), 0);  // anonymous: password only
  Bytes nameReq{2, 'r', 'o', 'o', 't'};
  nameReq.resize(17, 0);
  Bytes pwReq{2,   0x02, '1', '2', '3', '4', '5', '6', '7',
              '8', '9',  '0', '1', '2', '3', '4', '5', '6'};
  Bytes pw1{1, 0x02, 'p', 'w'};
  pw1.resize(18, 0);
  EXPECT_EQ(SentRequests(bmc),
            (std::vector<Sent>{{kApp, 0x45, nameReq}, {kApp, 0x47, pwReq}, {kApp, 0x47, pw1}}));

  bmc.ClearRequests();
  bmc.Expect(kApp, 0x45, Bytes{0xCC});
  EXPECT_EQ(SetUserNamePassword("root", "pw", 2), 0xCC);
  EXPECT_EQ(SentRequests(bmc).size(), 1u);  // no password after a refused name
}

TEST(Keys, SecurityKeysAndTheirLockStatus) {
  FakeImbDevice device;
  auto& bmc = device.Bmc();
  bmc.Always(kApp, 0x56, Reply::Bytes({0x00}));
  EXPECT_EQ(SetChannelSecurityKeys(1, "0123456789abcdefghijk"), -1);  // 21 characters
  EXPECT_TRUE(bmc.Requests().empty());
  EXPECT_EQ(SetChannelSecurityKeys(1, "key"), 0);
  Bytes kg{1, 0x01, 0x01, 'k', 'e', 'y'};
  kg.resize(23, 0);
  Bytes kr = kg;
  kr[2] = 0x00;
  EXPECT_EQ(SentRequests(bmc), (std::vector<Sent>{{kApp, 0x56, kg}, {kApp, 0x56, kr}}));

  bmc.ClearRequests();
  bmc.Expect(kApp, 0x56, Bytes{0x83});
  EXPECT_EQ(SetChannelSecurityKeys(1, "key"), 0x83);  // K_G refused: reported, K_R not sent
  EXPECT_EQ(SentRequests(bmc).size(), 1u);

  bmc.ClearRequests();
  bmc.Expect(kApp, 0x56, Bytes{0x00, 0x02});
  EXPECT_EQ(IsChannelKeySupported(1), 2);
  Bytes read{1, 0x00, 0x01};
  read.resize(23, 0);
  EXPECT_EQ(SentRequests(bmc), (std::vector<Sent>{{kApp, 0x56, read}}));
  bmc.Expect(kApp, 0x56, Bytes{0x82, 0x01});
  EXPECT_EQ(IsChannelKeySupported(1), 1);
  bmc.Expect(kApp, 0x56, Bytes{0x85, 0x01});
  EXPECT_EQ(IsChannelKeySupported(1), 0);
  bmc.Expect(kApp, 0x56, Bytes{0x80});  // no lock status byte
  EXPECT_EQ(IsChannelKeySupported(1), 0);
  bmc.Expect(kApp, 0x56, Reply::NoReply());
  EXPECT_EQ(IsChannelKeySupported(1), 0);
}

TEST(Keys, RmcpPlusCapabilityAndColdReset) {
  FakeImbDevice device;
  auto& bmc = device.Bmc();
  bmc.Expect(kApp, 0x38, Bytes{0x00, 0x01, 0x80, 0x00, 0x02, 0, 0, 0, 0});
  EXPECT_EQ(GetRMCPConf(1), 1);
  EXPECT_EQ(SentRequests(bmc).back(), (Sent{kApp, 0x38, {0x81, 0x04}}));
  bmc.Expect(kApp, 0x38, Bytes{0x00, 0x01, 0x17, 0x00, 0x02});  // no extended data
  EXPECT_EQ(GetRMCPConf(1), 0);
  bmc.Expect(kApp, 0x38, Bytes{0x00, 0x01, 0x80, 0x00});  // short
  EXPECT_EQ(GetRMCPConf(1), 0);
  bmc.Expect(kApp, 0x38, Bytes{0xCC});
  EXPECT_EQ(GetRMCPConf(1), -1);

  bmc.Expect(kApp, 0x02, Bytes{0x00});
  EXPECT_EQ(BMCColdReset(), 0);
  EXPECT_EQ(SentRequests(bmc).back(), (Sent{kApp, 0x02, {}}));
}
