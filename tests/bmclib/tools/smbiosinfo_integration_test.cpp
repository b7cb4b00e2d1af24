// smbiosinfo with the simulated BMC (ipmi_sim through imbd): a machine whose
// SMBIOS table has no IPMI device structure takes its platform type from the
// BMC's Get Device ID answer, which the simulator's profile gives as IPMI 2.0.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "smbapi.h"
#include "smbiosfixture.h"
#include "support/process.h"
#include "support/sim_bmc.h"

namespace {

using mgmt::test::SimulatedBmc;

class SmbiosInfoWithSimulator : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sim_ = std::make_unique<SimulatedBmc>(IMBD_PATH);
    root_ = std::make_unique<mgmt::test::ScopedRoot>(sim_->Root());
    const auto dir = std::filesystem::path(sim_->Root()) / "usr/local/share/mgmtagent/smbdrv";
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(SMBIOSINFO_PATH, dir / "smbiosinfo",
                               std::filesystem::copy_options::overwrite_existing);
  }
  static void TearDownTestSuite() {
    std::filesystem::remove_all(std::filesystem::path(sim_->Root()) / "sys");
    root_.reset();
    sim_.reset();
  }
  static void UseTable(const std::string& name) {
    const auto dump = mgmt::test::LoadSmbiosDump(name);
    mgmt::test::WriteFirmwareTables(sim_->Root(), dump.entryPoint, dump.table);
  }

  static std::unique_ptr<SimulatedBmc> sim_;
  static std::unique_ptr<mgmt::test::ScopedRoot> root_;
};

std::unique_ptr<SimulatedBmc> SmbiosInfoWithSimulator::sim_;
std::unique_ptr<mgmt::test::ScopedRoot> SmbiosInfoWithSimulator::root_;

TEST_F(SmbiosInfoWithSimulator, BmcAnswerWhenTheTableHasNoIpmiDevice) {
  MGMT_REQUIRE_SMBIOS_DATA();
  // 03 has probe structures but no IPMI device: the BMC comes first.
  UseTable("03-supermicro-x10dal-i");
  const auto run = mgmt::test::RunProgram({SMBIOSINFO_PATH, "-t"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "IPMI2.0\n");
  char text[mgmt::smbapi::kToolOutputSize];
  mgmt::smbapi::GetPlatformType(text);
  EXPECT_STREQ(text, "IPMI2.0\n");

  // No SMBIOS table at all: the BMC still answers.
  std::filesystem::remove_all(std::filesystem::path(sim_->Root()) / "sys");
  mgmt::smbapi::GetPlatformType(text);
  EXPECT_STREQ(text, "IPMI2.0\n");
}

TEST_F(SmbiosInfoWithSimulator, TableStructureWinsOverTheBmc) {
  MGMT_REQUIRE_SMBIOS_DATA();
  // 06 describes an IPMI 1.0 BMC; the table's word is taken.
  UseTable("06-dell-poweredge-2650");
  char text[mgmt::smbapi::kToolOutputSize];
  mgmt::smbapi::GetPlatformType(text);
  EXPECT_STREQ(text, "IPMI10\n");
}

}  // namespace
