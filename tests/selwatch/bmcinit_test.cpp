// Start-up preparation of the BMC: the set-up tool, the ipmi.conf switches and
// PEF.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "ipmevtmain.h"
#include "runstate.h"
#include "selwatch_fixture.h"

using namespace selwatch_test;
using mgmt::test::Reply;

namespace {

class BmcInitTest : public SelwatchTest {
 protected:
  BmcInitTest() {
    // PEF parameters read back as 0x02 (enable bit off, another bit on).
    device_.Bmc().Always(0x04, 0x13, Reply::Bytes({0x00, 0x11, 0x02}));
    device_.Bmc().Always(0x04, 0x12, Reply::Bytes({0x00}));
  }
  void WriteIpmiConf(const std::string& text) {
    const std::string dir = device_.Root() + "/usr/local/share/mgmtagent/hmon/hmconfig";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/ipmi.conf") << text;
  }
  /// The values written to PEF parameter 1 (PEF control).
  std::vector<int> PefControlWrites() {
    std::vector<int> values;
    for (const auto& r : device_.Bmc().Requests()) {
      if (r.request.netFn == 0x04 && r.request.cmd == 0x12 && r.request.data.size() == 2 &&
          r.request.data[0] == 1)
        values.push_back(r.request.data[1]);
    }
    return values;
  }
};

}  // namespace

TEST_F(BmcInitTest, SwitchesComeFromIpmiConfAndBmcAlertsTurnPefOn) {
  // The set-up tool runs first, with -i.
  const std::string tool = device_.Root() + "/usr/local/share/mgmtagent/hmon/selwatch/bmcsetup";
  std::filesystem::create_directories(std::filesystem::path(tool).parent_path());
  std::ofstream(tool) << "#!/bin/sh\necho \"$@\" >" << WorkFile("bmcsetup.args") << "\n";
  chmod(tool.c_str(), 0755);
  WriteIpmiConf("[IPMIConfig]\nBMCSendEvent=1 \nShutdownifTempHigh=1 \n");
  InitializeBMC();
  EXPECT_EQ(ReadWorkFile("bmcsetup.args"), "-i\n");
  const auto switches = mgmt::selwatch::CurrentEventSwitches();
  EXPECT_TRUE(switches.bmcSendEvent);
  EXPECT_TRUE(switches.shutdownIfTempHigh);
  EXPECT_EQ(PefControlWrites(), std::vector<int>{0x03});
}

TEST_F(BmcInitTest, TheTwoSelfAlertingModelsTurnPefOffWhateverIpmiConfSays) {
  WriteIpmiConf("[IPMIConfig]\nBMCSendEvent=1 \nShutdownifTempHigh=0 \n");
  std::snprintf(g_modelName, sizeof(g_modelName), "CORVID_hazel");
  InitializeBMC();
  EXPECT_FALSE(mgmt::selwatch::CurrentEventSwitches().bmcSendEvent);
  EXPECT_EQ(PefControlWrites(), std::vector<int>{0x02});
}

TEST_F(BmcInitTest, WithoutIpmiConfBothSwitchesStayOffAndPefIsLeftAlone) {
  InitializeBMC();
  const auto switches = mgmt::selwatch::CurrentEventSwitches();
  EXPECT_FALSE(switches.bmcSendEvent);
  EXPECT_FALSE(switches.shutdownIfTempHigh);
  EXPECT_TRUE(PefControlWrites().empty());
}
