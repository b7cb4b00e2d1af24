// End to end: the simulated BMC (ipmi_sim through imbd), bmcsetup and
// smbiosinfo as installed, cimserver with libBmcConfProvider, and wbemcli and
// CIMClient as the clients; the BMC checked from outside with ipmitool and
// FreeIPMI's ipmi-config over the simulator's LAN port. One simulator for the
// program; the tests run in order and build on each other's BMC state.
#include <Pegasus/Client/CIMClient.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <regex>
#include <thread>

#include "support/cim_server.h"
#include "support/process.h"
#include "support/sim_bmc.h"
#include "support/temp_dir.h"
#include "support/wbemcli.h"

namespace {

namespace fs = std::filesystem;
using mgmt::test::CimServer;
using mgmt::test::ReadFile;
using mgmt::test::RunProgram;
using mgmt::test::RunResult;
using mgmt::test::SimulatedBmc;
using mgmt::test::TempDir;
using mgmt::test::Wbemcli;
using mgmt::test::WriteFile;
using namespace std::chrono_literals;

SimulatedBmc* gBmc = nullptr;
TempDir* gConf = nullptr;  // hmconfig, shared by every cimserver of the program
CimServer* gCim = nullptr;
std::string gUser = "admin";
std::string gPassword = "password";

std::unique_ptr<CimServer> StartCimServer() {
  mgmt::test::CimServerOptions options;
  options.registrations = {mgmt::test::SourcePath("mof/registrations/BmcConfProvider.reg")};
  options.modules = {BMCCONF_MODULE_PATH};
  options.links = {{"dev", gBmc->Root() + "/dev"},
                   {"usr/local/share/mgmtagent/hmon/hmconfig", gConf->Path()},
                   {"usr/local/share/mgmtagent/hmon/selwatch/bmcsetup", BMCSETUP_PATH},
                   {"usr/local/share/mgmtagent/smbdrv/smbiosinfo", SMBIOSINFO_PATH}};
  return std::make_unique<CimServer>(options);
}

class BmcConfiguration : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    gBmc = new SimulatedBmc(IMBD_PATH);
    gConf = new TempDir("bmcconf-hmconfig");
    gCim = StartCimServer().release();
  }
  static void TearDownTestSuite() {
    WaitForBmcSetup();
    delete gCim;
    delete gConf;
    delete gBmc;
    gCim = nullptr;
  }

  static std::string Conf(const char* name) { return ReadFile(gConf->Path() / name); }

  static RunResult Ipmitool(const std::vector<std::string>& command,
                            const std::string& user = gUser,
                            const std::string& password = gPassword) {
    return gBmc->Ipmitool(user, password, command);
  }

  /// Waits until `done` holds (at most 30 s): bmcsetup applies a change in
  /// the background, after the request has been answered.
  static bool Eventually(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(250ms);
    }
    return true;
  }

  /// Waits until no bmcsetup started by the provider runs any more.
  static void WaitForBmcSetup() {
    if (gCim == nullptr) return;
    const std::string prefix = gCim->Root().string();
    const bool idle = Eventually([&] {
      for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string cmdline = ReadFile(entry.path() / "cmdline");
        const std::string program = cmdline.substr(0, cmdline.find('\0'));
        if (program.starts_with(prefix) && program.ends_with("/bmcsetup")) return false;
      }
      return true;
    });
    EXPECT_TRUE(idle) << "bmcsetup still running";
  }

  static RunResult Modify(const std::string& what, const std::string& properties) {
    return Wbemcli({"mi", gCim->Target(what), properties});
  }

  static std::string LanValue(const std::string& lan, const std::string& field) {
    std::smatch m;
    if (!std::regex_search(lan, m, std::regex(field + " *: *([^\\n]*)"))) return "";
    return m[1];
  }
};

const char* const kChannel1 = "HM_BMCChannelConfiguration.BMC_Channel=1";
const char* const kSettings = "HM_IPMIConfiguration.Name=\"The Single Instance\"";

TEST_F(BmcConfiguration, ChannelOneAsTheSimulatorHasIt) {
  mgmt::test::RunOptions options;
  options.timeout = 120s;
  options.env.changes = {"MGMTAGENT_ROOT=" + gCim->Root().string()};
  const RunResult init = RunProgram({BMCSETUP_PATH, "-i"}, options);
  ASSERT_TRUE(init.Ok()) << init.err;

  const RunResult ei = Wbemcli({"-nl", "ei", gCim->Target("HM_BMCChannelConfiguration")});
  ASSERT_TRUE(ei.Ok()) << ei.err;
  const auto channels = mgmt::test::ParseWbemcliInstances(ei.out);
  ASSERT_EQ(channels.size(), 1u) << ei.out;
  const auto& p = channels[0].properties;
  const RunResult lan = Ipmitool({"lan", "print", "1"});
  ASSERT_TRUE(lan.Ok()) << lan.out;
  EXPECT_EQ(p.at("BMC_Channel"), "1");
  EXPECT_EQ(p.at("BMC_Ip"), "\"" + LanValue(lan.out, "IP Address") + "\"");
  EXPECT_EQ(p.at("BMC_SubnetMask"), "\"" + LanValue(lan.out, "Subnet Mask") + "\"");
  EXPECT_EQ(p.at("BMC_GatewayIp"), "\"" + LanValue(lan.out, "Default Gateway IP") + "\"");
  std::string mac = LanValue(lan.out, "MAC Address");
  std::erase(mac, ':');
  EXPECT_EQ(p.at("BMC_Mac"), "\"" + mac + "\"");
  EXPECT_EQ(p.at("BMC_IpAddressSource"), "1");

  const RunResult settings = Wbemcli({"-nl", "ei", gCim->Target("HM_IPMIConfiguration")});
  const auto ipmi = mgmt::test::ParseWbemcliInstances(settings.out);
  ASSERT_EQ(ipmi.size(), 1u) << settings.out << settings.err;
  EXPECT_EQ(ipmi[0].properties.at("Platform_Other"), "\"IPMI2.0\"");
  EXPECT_EQ(ipmi[0].properties.at("BMC_Password"), "\"\"");
}

TEST_F(BmcConfiguration, AStaticAddressReachesTheBmcAndTheFileKeepsItsComments) {
  WriteFile(gConf->Path() / "bmcchannel.conf", "; written by bmcsetup -i, edited by hand\n" +
                                                   Conf("bmcchannel.conf") +
                                                   "[SiteNotes]\nRack=B7\n");
  const RunResult mi = Modify(kChannel1,
                              "BMC_IpAddressSource=1,BMC_Ip=192.0.2.77,BMC_SubnetMask=255.255.0.0,"
                              "BMC_GatewayIp=192.0.2.254,BMC_GatewayMac=02-00-00-00-00-FE");
  ASSERT_TRUE(mi.Ok()) << mi.err;
  const std::string file = Conf("bmcchannel.conf");
  EXPECT_TRUE(file.starts_with("; written by bmcsetup -i, edited by hand\n[Channel_1]\n")) << file;
  EXPECT_NE(file.find("IP=192.0.2.77\n"), std::string::npos) << file;
  EXPECT_NE(file.find("GatewayMAC=0200000000fe\n"), std::string::npos) << file;
  EXPECT_TRUE(file.ends_with("[SiteNotes]\nRack=B7\n")) << file;

  std::string lan;
  EXPECT_TRUE(Eventually([&] {
    lan = Ipmitool({"lan", "print", "1"}).out;
    return LanValue(lan, "IP Address") == "192.0.2.77";
  })) << lan;
  EXPECT_EQ(LanValue(lan, "IP Address Source"), "Static Address");
  EXPECT_EQ(LanValue(lan, "Subnet Mask"), "255.255.0.0");
  EXPECT_EQ(LanValue(lan, "Default Gateway IP"), "192.0.2.254");
  EXPECT_EQ(LanValue(lan, "Default Gateway MAC"), "02:00:00:00:00:fe");

  mgmt::test::RunOptions options;
  options.timeout = 60s;
  const RunResult config = RunProgram({"ipmi-config", "--checkout", "-S", "Lan_Conf", "-h",
                                       "127.0.0.1:" + std::to_string(gBmc->LanPort()), "-u", gUser,
                                       "-p", gPassword, "-D", "LAN", "-l", "ADMIN"},
                                      options);
  ASSERT_TRUE(config.Ok()) << config.err;
  EXPECT_TRUE(std::regex_search(config.out, std::regex("\\bIP_Address\\s+192\\.0\\.2\\.77")));
  EXPECT_TRUE(std::regex_search(config.out, std::regex("Subnet_Mask\\s+255\\.255\\.0\\.0")));
  EXPECT_TRUE(
      std::regex_search(config.out, std::regex("Default_Gateway_IP_Address\\s+192\\.0\\.2\\.254")));
  WaitForBmcSetup();
}

TEST_F(BmcConfiguration, AnInjectedOrMalformedAddressChangesNothingAnywhere) {
  const std::string before = Conf("bmcchannel.conf");
  for (const char* bad :
       {"BMC_Ip=192.0.2.78;reboot", "BMC_Ip=300.0.2.78", "BMC_GatewayMac=02:00:00:00:00:fe:99"}) {
    const RunResult mi = Modify(kChannel1, bad);
    EXPECT_TRUE(mi.Ok()) << bad << mi.err;  // refused and logged, like a value too long
    EXPECT_EQ(Conf("bmcchannel.conf"), before) << bad;
  }
  // A number that is no number never reaches the provider: wbemcli sends it as
  // uint16 (the reader refuses it), CIMClient as a string (the server's typing does).
  const RunResult typed = Modify(kChannel1, "BMC_IpAddressSource=static");
  EXPECT_FALSE(typed.Ok());
  EXPECT_NE(typed.err.find("\"static\""), std::string::npos) << typed.err;
  Pegasus::CIMClient client;
  client.connect(Pegasus::String("127.0.0.1"), gCim->Port(), Pegasus::String(), Pegasus::String());
  Pegasus::CIMInstance change(Pegasus::CIMName("HM_BMCChannelConfiguration"));
  change.addProperty(Pegasus::CIMProperty(Pegasus::CIMName("BMC_IpAddressSource"),
                                          Pegasus::CIMValue(Pegasus::String("static"))));
  change.setPath(Pegasus::CIMObjectPath(Pegasus::String(kChannel1)));
  Pegasus::CIMStatusCode code = Pegasus::CIM_ERR_SUCCESS;
  try {
    client.modifyInstance(Pegasus::CIMNamespaceName("root/cimv2"), change);
  } catch (const Pegasus::CIMException& e) {
    code = e.getCode();
  }
  EXPECT_EQ(code, Pegasus::CIM_ERR_TYPE_MISMATCH);
  EXPECT_EQ(Conf("bmcchannel.conf"), before);

  WaitForBmcSetup();
  const std::string lan = Ipmitool({"lan", "print", "1"}).out;
  EXPECT_EQ(LanValue(lan, "IP Address"), "192.0.2.77") << lan;
  EXPECT_EQ(LanValue(lan, "Default Gateway MAC"), "02:00:00:00:00:fe");
}

TEST_F(BmcConfiguration, ANewUserAndPasswordLogIn) {
  const RunResult mi = Modify(kSettings, "BMC_UserName=ops,BMC_Password=n3w-pass");
  ASSERT_TRUE(mi.Ok()) << mi.err;
  EXPECT_NE(Conf("ipmi.conf").find("\nUserName=ops\n"), std::string::npos);
  EXPECT_EQ(Conf("ipmi.conf").find("n3w-pass"), std::string::npos);
  EXPECT_TRUE(Eventually([] { return Ipmitool({"mc", "info"}, "ops", "n3w-pass").Ok(); }));
  EXPECT_FALSE(Ipmitool({"mc", "info"}, "admin", "password").Ok());
  gUser = "ops";
  gPassword = "n3w-pass";
  WaitForBmcSetup();
}

TEST_F(BmcConfiguration, AWatchdogChangeLeavesThePasswordAlone) {
  // wbemcli sends every property it read, BMC_Password="" among them.
  const RunResult mi = Modify(kSettings, "ASR_Enabled=true");
  ASSERT_TRUE(mi.Ok()) << mi.err;
  EXPECT_NE(Conf("ipmi.conf").find("\nAsrEnabled=1 \n"), std::string::npos);
  WaitForBmcSetup();
  EXPECT_TRUE(Ipmitool({"mc", "info"}).Ok());
  EXPECT_FALSE(Ipmitool({"mc", "info"}, gUser, "").Ok());
}

TEST_F(BmcConfiguration, AClientThatDidNotReadFirstChangesOnlyWhatItSent) {
  // A fresh server: its provider has never read the files.
  WaitForBmcSetup();
  delete gCim;
  gCim = nullptr;
  gCim = StartCimServer().release();
  const std::string before = Conf("ipmi.conf");
  ASSERT_NE(before.find("\nAsrTimer="), std::string::npos) << before;

  Pegasus::CIMClient client;
  client.connect(Pegasus::String("127.0.0.1"), gCim->Port(), Pegasus::String(), Pegasus::String());
  Pegasus::CIMInstance change(Pegasus::CIMName("HM_IPMIConfiguration"));
  change.addProperty(Pegasus::CIMProperty(Pegasus::CIMName("ASR_WatchdogTimeOut"),
                                          Pegasus::CIMValue(Pegasus::Uint16(600))));
  change.setPath(Pegasus::CIMObjectPath(Pegasus::String(kSettings)));
  client.modifyInstance(Pegasus::CIMNamespaceName("root/cimv2"), change);

  std::string expected = before;
  const size_t at = expected.find("\nAsrTimer=");
  expected.replace(at, expected.find('\n', at + 1) - at, "\nAsrTimer=600 ");
  EXPECT_EQ(Conf("ipmi.conf"), expected);
  WaitForBmcSetup();
  EXPECT_TRUE(Ipmitool({"mc", "info"}).Ok());
}

}  // namespace
