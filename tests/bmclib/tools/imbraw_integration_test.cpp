// The imbraw program through imbd to the real BMC simulator (ipmi_sim).
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "support/process.h"
#include "support/sim_bmc.h"

using mgmt::test::SimulatedBmc;

namespace {

mgmt::test::RunResult Imbraw(std::vector<std::string> args) {
  args.insert(args.begin(), IMBRAW_PATH);
  return mgmt::test::RunProgram(args);
}

class ImbrawWithSimulator : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sim_ = std::make_unique<SimulatedBmc>(IMBD_PATH);
    ::setenv("MGMTAGENT_ROOT", sim_->Root().c_str(), 1);
  }
  static void TearDownTestSuite() { sim_.reset(); }

  static std::unique_ptr<SimulatedBmc> sim_;
};

std::unique_ptr<SimulatedBmc> ImbrawWithSimulator::sim_;

TEST_F(ImbrawWithSimulator, GetDeviceIdPrintsTheProfilesAnswer) {
  auto r = Imbraw({"06", "01"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("completion code: 0x00\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(": 20 03 01 25 02 9f 91 12 00 02 0f"), std::string::npos) << r.out;
}

TEST_F(ImbrawWithSimulator, AddedSelRecordIsReadBack) {
  const int id = sim_->AddSelEvent({0, 0, 0, 0, 0x20, 0, 0x04, 0x01, 0x01, 0x01, 0x59, 0x50, 0x55});
  ASSERT_GT(id, 0);
  char lo[8], hi[8];
  std::snprintf(lo, sizeof lo, "%02x", id & 0xFF);
  std::snprintf(hi, sizeof hi, "%02x", (id >> 8) & 0xFF);
  auto r = Imbraw({"0x0a", "0x43", "00", "00", lo, hi, "00", "ff"});
  EXPECT_EQ(r.status, 0) << r.out;
  // Next record id (2 bytes), then the record: id, type 02, timestamp, then the
  // generator, format, sensor and event bytes given above.
  EXPECT_NE(r.out.find(std::string(lo) + " " + hi + " 02 "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("20 00 04 01 01 01 59 50 55"), std::string::npos) << r.out;
}

TEST_F(ImbrawWithSimulator, CompletionCodeOtherThanZeroExitsThree) {
  // Get SEL Entry of a record that does not exist.
  auto r = Imbraw({"0a", "43", "00", "00", "fe", "ff", "00", "ff"});
  EXPECT_EQ(r.status, 3) << r.out;
  EXPECT_EQ(r.out.find("completion code: 0x00"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("completion code: 0x"), std::string::npos) << r.out;
}

TEST_F(ImbrawWithSimulator, BadArgumentsSendNothing) {
  EXPECT_EQ(Imbraw({"06"}).status, 2);
  EXPECT_EQ(Imbraw({"06", "01", "1000"}).status, 2);
}

TEST_F(ImbrawWithSimulator, NoDriverIsATransportFailure) {
  ASSERT_TRUE(sim_->StopImbd());
  auto r = Imbraw({"06", "01"});
  EXPECT_TRUE(sim_->StartImbd());
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(r.out.empty()) << r.out;
  EXPECT_EQ(Imbraw({"06", "01"}).status, 0);
}

}  // namespace
