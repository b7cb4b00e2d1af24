// Platform Event Filtering against the scripted BMC: the bytes of every PEF
// request, where our filter goes, and what is written back.
#include <gtest/gtest.h>

#include <algorithm>

#include "conftest.h"
#include "ipmiconf.h"
#include "support/fake_imb_device.h"

using conftest::Bytes;
using conftest::Sent;
using conftest::SentRequests;
using mgmt::test::FakeImbDevice;
using mgmt::test::Reply;

namespace {

constexpr int kNetFn = 0x04;
constexpr int kSet = 0x12;
constexpr int kGet = 0x13;

const Bytes kOurFilterBody = {0x80, 0x01, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                              0xFF, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00};

Bytes FilterReply(int n, Bytes body) {
  body.resize(20, 0x00);
  Bytes reply(3 + body.size());
  reply[1] = 0x11;
  reply[2] = static_cast<uint8_t>(n);
  std::copy(body.begin(), body.end(), reply.begin() + 3);
  return reply;
}

Bytes OurFilterWrite(int n) {
  Bytes data(2 + kOurFilterBody.size());
  data[0] = 0x06;
  data[1] = static_cast<uint8_t>(n);
  std::copy(kOurFilterBody.begin(), kOurFilterBody.end(), data.begin() + 2);
  return data;
}

// A PEF whose parameters 1, 2 and 5 read as given and whose filters answer
// `filters` (set selector 1 first).
class Pef : public ::testing::Test {
 protected:
  void Script(uint8_t control, uint8_t action, std::vector<Bytes> filters) {
    auto& bmc = device_.Bmc();
    bmc.SetHandler([=](const mgmt::imbd::IpmiRequest& r) -> std::optional<Reply> {
      if (r.netFn == kNetFn && r.cmd == kSet) return Reply::Bytes({0x00});
      if (r.netFn != kNetFn || r.cmd != kGet || r.data.size() != 3) return std::nullopt;
      switch (r.data[0]) {
        case 1:
          return Reply::Bytes({0x00, 0x11, control});
        case 2:
          return Reply::Bytes({0x00, 0x11, action});
        case 5:
          return Reply::Bytes({0x00, 0x11, static_cast<uint8_t>(filters.size())});
        case 6:
          if (r.data[1] >= 1 && r.data[1] <= filters.size())
            return Reply::Bytes(filters[r.data[1] - 1]);
          return Reply::Bytes({0xC9});
      }
      return std::nullopt;
    });
  }
  std::vector<Sent> Writes() {
    std::vector<Sent> out;
    for (const Sent& s : SentRequests(device_.Bmc()))
      if (std::get<1>(s) == kSet) out.push_back(s);
    return out;
  }
  FakeImbDevice device_;
};

}  // namespace

TEST_F(Pef, EnableWithOneFreeFilterReadsThenWritesInOrder) {
  Script(0x00, 0x00, {FilterReply(1, {0x00})});
  EXPECT_EQ(EnablePEF(), 0);
  EXPECT_EQ(SentRequests(device_.Bmc()), (std::vector<Sent>{{kNetFn, kGet, {1, 0, 0}},
                                                            {kNetFn, kGet, {2, 0, 0}},
                                                            {kNetFn, kGet, {5, 0, 0}},
                                                            {kNetFn, kGet, {6, 1, 0}},
                                                            {kNetFn, kSet, OurFilterWrite(1)},
                                                            {kNetFn, kSet, {1, 0x01}},
                                                            {kNetFn, kSet, {2, 0x01}}}));
}

TEST_F(Pef, EnableChoosesTheFirstFreeFilterAndKeepsOtherBits) {
  Script(0x0C, 0x30,
         {FilterReply(1, {0x80, 0x01}),  // enabled by someone: stays
          FilterReply(2, {0x40}),        // manufacturer's: stays
          FilterReply(3, {0x00}), FilterReply(4, {0x00})});
  EnablePEF();
  EXPECT_EQ(Writes(), (std::vector<Sent>{{kNetFn, kSet, OurFilterWrite(3)},
                                         {kNetFn, kSet, {1, 0x0D}},
                                         {kNetFn, kSet, {2, 0x31}}}));
}

TEST_F(Pef, EnableReusesAnEqualFilter) {
  Script(0x01, 0x01, {FilterReply(1, {0x00}), FilterReply(2, kOurFilterBody)});
  EnablePEF();
  EXPECT_EQ(Writes(), (std::vector<Sent>{{kNetFn, kSet, {1, 0x01}}, {kNetFn, kSet, {2, 0x01}}}));
}

TEST_F(Pef, EnableWithEveryFilterPreconfigured) {
  // Filter 1 is taken while disabled ...
  Script(0x00, 0x00, {FilterReply(1, {0x40}), FilterReply(2, {0xC0})});
  EnablePEF();
  EXPECT_EQ(std::get<2>(Writes().at(0)), OurFilterWrite(1));
  device_.Bmc().ClearRequests();
  // ... but never when it is enabled.
  Script(0x00, 0x00, {FilterReply(1, {0xC0}), FilterReply(2, {0x40})});
  EnablePEF();
  EXPECT_EQ(Writes(), (std::vector<Sent>{{kNetFn, kSet, {1, 0x01}}, {kNetFn, kSet, {2, 0x01}}}));
}

TEST_F(Pef, EnableWithoutFiltersOnlySetsTheTwoBits) {
  Script(0x02, 0x00, {});
  EnablePEF();
  EXPECT_EQ(Writes(), (std::vector<Sent>{{kNetFn, kSet, {1, 0x03}}, {kNetFn, kSet, {2, 0x01}}}));
}

TEST_F(Pef, ParametersThatCouldNotBeReadAreNotWrittenBack) {
  auto& bmc = device_.Bmc();
  bmc.Always(kNetFn, kSet, Reply::Bytes({0x00}));
  bmc.Expect(kNetFn, kGet, Bytes{0x80});        // parameter 1 refused
  bmc.Expect(kNetFn, kGet, Bytes{0x00, 0x11});  // parameter 2 too short
  bmc.Expect(kNetFn, kGet, Bytes{0xC1});        // no filter count
  EnablePEF();
  EXPECT_TRUE(Writes().empty());

  bmc.ClearRequests();
  bmc.Expect(kNetFn, kGet, Bytes{0x00, 0x11, 0x07});
  bmc.Expect(kNetFn, kGet, Bytes{0xD5});
  DisablePEF();
  EXPECT_EQ(Writes(), (std::vector<Sent>{{kNetFn, kSet, {1, 0x06}}}));
}

TEST_F(Pef, ATransportFailureEndsTheSequence) {
  device_.Bmc().Always(kNetFn, kGet, Reply::NoReply());
  EnablePEF();
  EXPECT_EQ(SentRequests(device_.Bmc()).size(), 1u);
  device_.Bmc().ClearRequests();
  DisablePEF();
  EXPECT_EQ(SentRequests(device_.Bmc()).size(), 1u);
}

TEST_F(Pef, DisableClearsBitZeroOfBoth) {
  Script(0x0F, 0x03, {});
  DisablePEF();
  EXPECT_EQ(SentRequests(device_.Bmc()), (std::vector<Sent>{{kNetFn, kGet, {1, 0, 0}},
                                                            {kNetFn, kGet, {2, 0, 0}},
                                                            {kNetFn, kSet, {1, 0x0E}},
                                                            {kNetFn, kSet, {2, 0x02}}}));
}

TEST_F(Pef, AlertPolicyAndParameterReads) {
  auto& bmc = device_.Bmc();
  bmc.Always(kNetFn, kSet, Reply::Bytes({0x00}));
  EXPECT_EQ(SetAlertPolicy(1, 0x21, 0x13), 0);
  EXPECT_EQ(SentRequests(bmc).back(), (Sent{kNetFn, kSet, {9, 1, 0x18, 0x13, 0x00}}));

  BYTE out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  bmc.Expect(kNetFn, kGet, Bytes{0x00, 0x11, 0xA1, 0xA2, 0xA3});
  EXPECT_EQ(GetPEFConf(out, 2, 1, 7, 3, 0), 0);
  EXPECT_EQ(SentRequests(bmc).back(), (Sent{kNetFn, kGet, {7, 3, 0}}));
  EXPECT_EQ(Bytes(out, out + 4), (Bytes{0xA2, 0xA3, 0xEE, 0xEE}));
  bmc.Expect(kNetFn, kGet, Bytes{0x00, 0x11, 0xA1, 0xA2});  // one byte short
  EXPECT_EQ(GetPEFConf(out, 3, 0, 7, 0, 0), 0);
  EXPECT_EQ(Bytes(out, out + 4), (Bytes{0xA2, 0xA3, 0xEE, 0xEE}));
  bmc.Expect(kNetFn, kGet, Bytes{0x80});
  EXPECT_EQ(GetPEFConf(out, 1, 0, 7, 0, 0), 0x80);
  // The longest reply the IMB layer carries: only what was asked for is copied.
  Bytes longest(128, 0xB7);
  longest[0] = 0x00;
  bmc.Expect(kNetFn, kGet, longest);
  EXPECT_EQ(GetPEFConf(out, 2, 124, 7, 0, 0), 0);
  EXPECT_EQ(Bytes(out, out + 4), (Bytes{0xB7, 0xB7, 0xEE, 0xEE}));
  bmc.Expect(kNetFn, kGet, longest);
  EXPECT_EQ(GetPEFConf(out, 2, 125, 7, 0, 0), 0);  // one beyond the reply: nothing
  EXPECT_EQ(Bytes(out, out + 4), (Bytes{0xB7, 0xB7, 0xEE, 0xEE}));

  Bytes big(114, 0x01);
  EXPECT_EQ(SetPEFConf(big.data(), 114, 6), 0);
  EXPECT_EQ(SetPEFConf(big.data(), 115, 6), -1);  // would not fit one request
}
