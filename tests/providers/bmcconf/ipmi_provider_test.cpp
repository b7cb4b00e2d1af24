// The IPMI configuration provider in-process on fixture roots: the module's
// factory, instances of both classes as the files and the platform give them,
// every modification path with its checks, the recorded bmcsetup calls,
// failures, and operations from several threads.
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/SimpleResponseHandler.h>
#include <Pegasus/Provider/CIMMethodProvider.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bmcconf_fixture.h"
#include "bmcconfprovmain.h"
#include "conflock.h"
#include "imbconfinst.h"
#include "support/provider_driver.h"

namespace {

using namespace Pegasus;
using bmcconftest::ConfRoot;
using bmcconftest::kChannelConf;
using bmcconftest::kIpmiConf;
using bmcconftest::SetupCall;
using mgmt::test::Describe;
using mgmt::test::ProviderDriver;
using mgmt::test::Text;
using mgmt::test::ValueOf;
using Lines = std::vector<std::string>;
using Args = std::vector<std::string>;

const Args kGlobalCall = {"-g", "-n", "admin", "-p", "-"};

CIMObjectPath IpmiPath() {
  Array<CIMKeyBinding> keys;
  keys.append(CIMKeyBinding(CIMName("Name"), String("The Single Instance"), CIMKeyBinding::STRING));
  return CIMObjectPath(String(), CIMNamespaceName("root/cimv2"), CIMName("HM_IPMIConfiguration"),
                       keys);
}

CIMObjectPath ChannelPath(unsigned channel) {
  Array<CIMKeyBinding> keys;
  keys.append(CIMKeyBinding(CIMName("BMC_Channel"), String(std::to_string(channel).c_str()),
                            CIMKeyBinding::NUMERIC));
  return CIMObjectPath(String(), CIMNamespaceName("root/cimv2"),
                       CIMName("HM_BMCChannelConfiguration"), keys);
}

CIMInstance Change(const CIMObjectPath& path, const char* property, const CIMValue& value) {
  CIMInstance instance(path.getClassName());
  instance.addProperty(CIMProperty(CIMName(property), value));
  instance.setPath(path);
  return instance;
}

CIMValue Strings(std::initializer_list<const char*> texts) {
  Array<String> out;
  for (const char* t : texts) out.append(String(t));
  return CIMValue(out);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

/// The IPMI provider of the module, driven as cimserver drives it.
class Ipmi : public ProviderDriver {
 public:
  Ipmi() : ProviderDriver(PegasusCreateProvider(String("BmcConfProv_IPMI"))) {}

  /// The CIM status the modification ended with (CIM_ERR_SUCCESS: completed).
  CIMStatusCode Modify(const CIMInstance& instance) {
    SimpleResponseHandlerImpl handler;
    try {
      Get()->modifyInstance(Context(), instance.getPath(), instance, false, CIMPropertyList(),
                            handler);
    } catch (const CIMException& e) {
      return e.getCode();
    }
    EXPECT_TRUE(handler.isProcessing() && handler.isComplete());
    return CIM_ERR_SUCCESS;
  }
  CIMStatusCode Modify(const CIMObjectPath& path, const char* property, const CIMValue& value) {
    return Modify(Change(path, property, value));
  }
  CIMInstance Only(const char* cls) {
    std::vector<CIMInstance> all = Instances(cls);
    EXPECT_EQ(all.size(), 1u);
    return all.empty() ? CIMInstance(CIMName(cls)) : all[0];
  }
};

TEST(BmcConfModule, CreatesItsTwoProvidersByNameInAnyCase) {
  for (const char* name : {"bmcconfprov_ipmi", "BMCCONFPROV_SMBIOS", "BmcConfProv_IPMI"}) {
    std::unique_ptr<CIMProvider> made(PegasusCreateProvider(String(name)));
    EXPECT_NE(made, nullptr) << name;
  }
  std::unique_ptr<CIMProvider> ipmi(PegasusCreateProvider(String("BmcConfProv_IPMI")));
  EXPECT_NE(dynamic_cast<CIMMethodProvider*>(ipmi.get()), nullptr);
  EXPECT_EQ(PegasusCreateProvider(String("BmcConfProv")), nullptr);
  EXPECT_EQ(PegasusCreateProvider(String("BmcConfProv_IPMI ")), nullptr);
}

TEST(IpmiConfiguration, ThePlatformTypeDecidesPlatformAndTrapAddresses) {
  const struct {
    const char* text;
    const char* platform;
    bool trapAddresses;
  } cases[] = {{"ipmi15", "2", true},  {"IPMI10", "1", false},  {"PNPBIOS", "5", false},
               {"IPMI2.0", "5", true}, {"IPMI1.4", "5", false}, {"IPM", "5", false},
               {"", "5", false}};
  for (const auto& c : cases) {
    ConfRoot root(c.text);
    root.Write("ipmi.conf", kIpmiConf);
    Ipmi p;
    const CIMInstance i = p.Only("HM_IPMIConfiguration");
    EXPECT_EQ(ValueOf(i, "Platform"), c.platform) << c.text;
    EXPECT_EQ(ValueOf(i, "Platform_Other"), c.text);
    EXPECT_EQ(i.findProperty(CIMName("EventTrapAddress")) != PEG_NOT_FOUND, c.trapAddresses)
        << c.text;
  }
  int major = -1, minor = -1;
  GetIPMIVersion(5, "IPMI2.0", &major, &minor);
  EXPECT_EQ(major * 10 + minor, 20);
  GetIPMIVersion(5, "IPM", &major, &minor);
  EXPECT_EQ(major * 10 + minor, 0);
  GetIPMIVersion(2, "", &major, &minor);
  EXPECT_EQ(major * 10 + minor, 15);
}

TEST(IpmiConfiguration, PublishesTheFilesAsInstances) {
  ConfRoot root("IPMI15");
  root.Write("ipmi.conf", kIpmiConf);
  root.Write("bmcchannel.conf", kChannelConf);
  {
    // Before initialize the platform is unknown: nothing is published.
    std::unique_ptr<CIMProvider> raw(PegasusCreateProvider(String("BmcConfProv_IPMI")));
    SimpleInstanceResponseHandler handler;
    dynamic_cast<CIMInstanceProvider&>(*raw).enumerateInstances(
        OperationContext(), CIMObjectPath("HM_IPMIConfiguration"), false, false, CIMPropertyList(),
        handler);
    EXPECT_EQ(handler.getObjects().size(), 0u);
  }
  Ipmi p;
  EXPECT_EQ(
      Describe(p.Only("HM_IPMIConfiguration")),
      (Lines{"Name:string=The Single Instance", "Platform:uint16=2",
             // the second target is empty: the list ends there
             "EventTrapAddress:string=10.1.1.1 ", "ScheduledPowerOn_Enabled:boolean=FALSE",
             "BMC_Password:string=", "ASR_Enabled:boolean=FALSE", "ASR_WatchdogTimeOut:uint16=300",
             "ASR_Action:uint16=1", "ShutdownTempHigh:boolean=TRUE", "BMC_UserName:string=admin",
             "Platform_Other:string=IPMI15", "RMCPSupporting:string=RMCP+"}));
  EXPECT_TRUE(p.Completed());

  // Channel 2 is absent, 7 has no port; the fifth present channel (6) finds no slot.
  std::vector<CIMInstance> channels = p.Instances("HM_BMCChannelConfiguration");
  ASSERT_EQ(channels.size(), 4u);
  EXPECT_EQ(
      Describe(channels[0]),
      (Lines{"BMC_Enabled:boolean=TRUE", "BMC_Channel:uint16=1", "BMC_IpAddressSourceCap:uint16=2",
             "BMC_IpAddressSource:uint16=1", "BMC_Ip:string=192.168.0.120",
             "BMC_Mac:string=00a0cc1b2c3d", "BMC_SubnetMask:string=255.255.255.0",
             "BMC_GatewayIp:string=192.168.0.1", "BMC_GatewayMac:string=00a0cc000001"}));
  Lines numbers;
  for (const CIMInstance& c : channels) numbers.push_back(ValueOf(c, "BMC_Channel"));
  EXPECT_EQ(numbers, (Lines{"1", "3", "4", "5"}));

  Lines names;
  for (const CIMObjectPath& path : p.Names("HM_BMCChannelConfiguration"))
    names.push_back(Text(path.toString()));
  EXPECT_EQ(names.front(), "root/cimv2:HM_BMCChannelConfiguration.BMC_Channel=1");
  EXPECT_EQ(Text(p.Names("hm_ipmiconfiguration").at(0).toString()),
            "root/cimv2:HM_IPMIConfiguration.Name=\"The Single Instance\"");
  EXPECT_TRUE(p.Names("HM_SMBIOSConfiguration").empty());

  EXPECT_EQ(p.GetInstance(IpmiPath()).size(), 1u);
  EXPECT_EQ(ValueOf(p.GetInstance(ChannelPath(4)).at(0), "BMC_Ip"), "192.168.0.124");
  for (unsigned missing : {2u, 6u, 7u}) EXPECT_TRUE(p.GetInstance(ChannelPath(missing)).empty());
  EXPECT_TRUE(p.Completed());
}

TEST(IpmiConfiguration, MissingFilesAndVanishedChannelsPublishNoMore) {
  ConfRoot root("IPMI15");
  Ipmi p;
  const CIMInstance i = p.Only("HM_IPMIConfiguration");
  EXPECT_EQ(ValueOf(i, "ShutdownTempHigh"), "FALSE");
  EXPECT_EQ(ValueOf(i, "BMC_UserName"), "");
  EXPECT_TRUE(p.Instances("HM_BMCChannelConfiguration").empty());

  root.Write("bmcchannel.conf", kChannelConf);
  EXPECT_EQ(p.Instances("HM_BMCChannelConfiguration").size(), 4u);
  root.Write("bmcchannel.conf", Replace(kChannelConf, "IsChannel=1 \nSupportRmcp+=true",
                                        "IsChannel=0 \nSupportRmcp+=true"));
  EXPECT_EQ(p.Instances("HM_BMCChannelConfiguration").size(), 4u);  // 6 moves up
  root.Write("bmcchannel.conf", "[Channel_3]\nIsChannel=1 \nIP=10.0.0.3\n");
  std::vector<CIMInstance> left = p.Instances("HM_BMCChannelConfiguration");
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(ValueOf(left[0], "BMC_Channel"), "3");
  EXPECT_TRUE(p.GetInstance(ChannelPath(4)).empty());
}

TEST(IpmiConfiguration, AModificationStartsFromTheFilesAsTheyAreNow) {
  ConfRoot root("IPMI15");
  root.Write("ipmi.conf", kIpmiConf);
  {
    // A client that never read (a fresh provider): only its property changes.
    Ipmi fresh;
    EXPECT_EQ(fresh.Modify(IpmiPath(), "ASR_Enabled", CIMValue(Boolean(true))), CIM_ERR_SUCCESS);
  }
  EXPECT_EQ(root.Read("ipmi.conf"), Replace(kIpmiConf, "AsrEnabled=0 ", "AsrEnabled=1 "));

  // Another writer changes the file after this provider's last read.
  Ipmi p;
  p.Only("HM_IPMIConfiguration");
  root.Write("ipmi.conf", Replace(kIpmiConf, "UserName=admin", "UserName=operator"));
  EXPECT_EQ(p.Modify(IpmiPath(), "ShutdownTempHigh", CIMValue(Boolean(false))), CIM_ERR_SUCCESS);
  EXPECT_EQ(root.Read("ipmi.conf"),
            Replace(Replace(kIpmiConf, "UserName=admin", "UserName=operator"),
                    "ShutdownifTempHigh=1 ", "ShutdownifTempHigh=0 "));

  const std::vector<SetupCall> calls = root.WaitForCalls(2);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args, kGlobalCall);
  EXPECT_EQ(calls[1].args, (Args{"-g", "-n", "operator", "-p", "-"}));
  // An empty password: bmcsetup leaves the BMC's password alone.
  EXPECT_EQ(calls[1].input, "\\n");
}

TEST(IpmiConfiguration, UserAndPasswordReachBmcSetupAsTheyAre) {
  ConfRoot root("IPMI15");
  root.Write("ipmi.conf", kIpmiConf);
  Ipmi p;
  CIMInstance change = Change(IpmiPath(), "BMC_UserName", CIMValue(String("x;id`id` $(id)")));
  change.addProperty(CIMProperty(CIMName("BMC_Password"), CIMValue(String("pa ss;'w\""))));
  EXPECT_EQ(p.Modify(change), CIM_ERR_SUCCESS);

  const std::vector<SetupCall> calls = root.WaitForCalls(1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, (Args{"-g", "-n", "x;id`id` $(id)", "-p", "-"}));
  EXPECT_EQ(calls[0].input, "pa ss;'w\"\\n");
  EXPECT_NE(root.Read("ipmi.conf").find("\nUserName=x;id`id` $(id)\n"), std::string::npos);
  EXPECT_EQ(root.Read("ipmi.conf").find("pa ss"), std::string::npos);
  EXPECT_EQ(ValueOf(p.Only("HM_IPMIConfiguration"), "BMC_Password"), "");
}

TEST(IpmiConfiguration, RefusedValuesLeaveTheSettingsAsTheyWere) {
  ConfRoot root("IPMI15");
  root.Write("ipmi.conf", kIpmiConf);
  root.Write("bmcchannel.conf", kChannelConf);
  Ipmi p;
  const struct {
    const char* property;
    CIMValue value;
  } ipmi[] = {
      {"BMC_UserName", CIMValue(String("seventeen-chars-x"))},
      {"BMC_UserName", CIMValue(String("ad\nmin"))},
      {"BMC_UserName", CIMValue(String("-p"))},
      {"BMC_UserName", CIMValue(String(""))},
      {"BMC_Password", CIMValue(String("pass\x01word"))},
      {"BMC_Password", CIMValue(String("p\xc3\xa4ssword"))},
      {"RmtAdminSupport", CIMValue(String("NONE\nUserName=root"))},
      {"EventTrapAddress", Strings({"10.1.1.9", "1.2.3.4;reboot"})},
      {"EventTrapAddress", Strings({"300.1.1.1"})},
      {"EventTrapAddress", Strings({"10.1.1.1.5"})},
      {"ASR_Action", CIMValue(Uint16(4))},
      {"ASR_WatchdogTimeOut", CIMValue(Uint16(6554))},
      {"ShutdownTempHigh", CIMValue(String("false"))},
      {"ASR_Enabled", CIMValue(Uint16(1))},
  };
  for (const auto& c : ipmi) {
    EXPECT_EQ(p.Modify(IpmiPath(), c.property, c.value), CIM_ERR_SUCCESS) << c.property;
    EXPECT_EQ(root.Read("ipmi.conf"), kIpmiConf) << c.property;
  }
  const struct {
    const char* property;
    CIMValue value;
  } channel[] = {
      {"BMC_Ip", CIMValue(String("192.168.0.300"))},
      {"BMC_Ip", CIMValue(String("10.0.0.1;reboot"))},
      {"BMC_SubnetMask", CIMValue(String("255.255.255"))},
      {"BMC_GatewayIp", CIMValue(String(" 10.0.0.1"))},
      {"BMC_Mac", CIMValue(String("00a0cc1b2c3"))},
      {"BMC_GatewayMac", CIMValue(String("00:a0:cc:00:00:zz"))},
      {"BMC_IpAddressSource", CIMValue(Uint16(5))},
  };
  for (const auto& c : channel) {
    EXPECT_EQ(p.Modify(ChannelPath(1), c.property, c.value), CIM_ERR_SUCCESS) << c.property;
    EXPECT_EQ(root.Read("bmcchannel.conf"), kChannelConf) << c.property;
  }
  // Each still wrote the (unchanged) file and started bmcsetup once.
  const size_t total = std::size(ipmi) + std::size(channel);
  const std::vector<SetupCall> calls = root.WaitForCalls(total);
  ASSERT_EQ(calls.size(), total);
  size_t global = 0;
  for (const SetupCall& call : calls) {
    if (call.args == kGlobalCall && call.input == "\\n") ++global;
  }
  EXPECT_EQ(global, std::size(ipmi));
}

TEST(IpmiConfiguration, TrapAddressesEndWhereTheArrayEndsAndChangedOnesLoseTheirMac) {
  ConfRoot root("IPMI2.0");
  root.Write("ipmi.conf", kIpmiConf);
  Ipmi p;
  EXPECT_EQ(p.Modify(IpmiPath(), "EventTrapAddress", Strings({"10.1.1.1"})), CIM_ERR_SUCCESS);
  const std::string one = root.Read("ipmi.conf");
  EXPECT_NE(one.find("[Target_1]\nIP=10.1.1.1\nMAC=00a0cc000101\n"), std::string::npos) << one;
  EXPECT_NE(one.find("[Target_3]\nIP=\nMAC=\n"), std::string::npos) << one;

  EXPECT_EQ(p.Modify(IpmiPath(), "EventTrapAddress", Strings({"10.1.1.7", "10.1.1.8"})),
            CIM_ERR_SUCCESS);
  const std::string two = root.Read("ipmi.conf");
  EXPECT_NE(two.find("[Target_1]\nIP=10.1.1.7\nMAC=\n"), std::string::npos) << two;
  EXPECT_NE(two.find("[Target_2]\nIP=10.1.1.8\nMAC=\n"), std::string::npos) << two;
  EXPECT_EQ(ValueOf(p.Only("HM_IPMIConfiguration"), "EventTrapAddress"), "10.1.1.7 10.1.1.8 ");
  root.WaitForCalls(2);
}

TEST(IpmiConfiguration, AChannelChangeKeepsTheRestOfTheFileAndNormalisesMacs) {
  ConfRoot root("IPMI15");
  root.Write("bmcchannel.conf", kChannelConf);
  Ipmi p;
  CIMInstance change(CIMName("HM_BMCChannelConfiguration"));
  const std::pair<const char*, CIMValue> values[] = {
      {"BMC_Channel", CIMValue(Uint16(1))},
      {"BMC_IpAddressSource", CIMValue(Uint16(1))},
      {"BMC_Ip", CIMValue(String("10.0.0.5"))},
      {"BMC_SubnetMask", CIMValue(String("255.255.0.0"))},
      {"BMC_GatewayIp", CIMValue(String("10.0.0.1"))},
      {"BMC_GatewayMac", CIMValue(String("00-A0-CC-00-00-FE"))},
      {"BMC_Mac", CIMValue(String("00:A0:CC:1B:2C:3D"))},
      {"BMC_IpAddressSourceCap", CIMValue(Uint16(9))},  // not writable
  };
  for (const auto& [name, value] : values) change.addProperty(CIMProperty(CIMName(name), value));
  change.setPath(ChannelPath(1));
  EXPECT_EQ(p.Modify(change), CIM_ERR_SUCCESS);

  // Alert destinations and RMCP+ support stay as the BMC reported them.
  std::string expected = Replace(kChannelConf,
                                 "IP=192.168.0.120\nMAC=00a0cc1b2c3d\nNetmask=255.255.255.0\n"
                                 "GatewayIP=192.168.0.1\nGatewayMAC=00a0cc000001\n",
                                 "IP=10.0.0.5\nMAC=00a0cc1b2c3d\nNetmask=255.255.0.0\n"
                                 "GatewayIP=10.0.0.1\nGatewayMAC=00a0cc0000fe\n");
  EXPECT_EQ(root.Read("bmcchannel.conf"), expected);
  EXPECT_EQ(ValueOf(p.GetInstance(ChannelPath(1)).at(0), "BMC_GatewayMac"), "00a0cc0000fe");

  // No slot with that channel, or no key at all: nothing changes, nothing starts.
  EXPECT_EQ(p.Modify(ChannelPath(9), "BMC_Ip", CIMValue(String("10.0.0.9"))), CIM_ERR_SUCCESS);
  CIMInstance keyless(CIMName("HM_BMCChannelConfiguration"));
  keyless.addProperty(CIMProperty(CIMName("BMC_Ip"), CIMValue(String("10.0.0.9"))));
  keyless.setPath(CIMObjectPath("HM_BMCChannelConfiguration"));
  EXPECT_EQ(p.Modify(keyless), CIM_ERR_SUCCESS);
  EXPECT_EQ(root.Read("bmcchannel.conf"), expected);

  EXPECT_EQ(p.Modify(ChannelPath(3), "BMC_Enabled", CIMValue(Boolean(false))), CIM_ERR_SUCCESS);
  const std::vector<SetupCall> calls = root.WaitForCalls(2);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args, (Args{"-c", "1"}));
  EXPECT_EQ(calls[0].input, "");
  EXPECT_EQ(calls[1].args, (Args{"-c", "3"}));
}

TEST(IpmiConfiguration, AFailedWriteFailsTheOperationAndReleasesBothLocks) {
  ConfRoot root("IPMI15");
  root.Write("bmcchannel.conf", kChannelConf);
  std::filesystem::create_directory(root.Conf("ipmi.conf"));  // cannot be read or replaced
  Ipmi p;
  EXPECT_EQ(p.Modify(IpmiPath(), "ASR_Enabled", CIMValue(Boolean(true))), CIM_ERR_FAILED);

  // Neither lock is left held: the next operation runs, another writer gets the files.
  auto next = std::async(std::launch::async, [&] { return p.Instances("HM_IPMIConfiguration"); });
  ASSERT_EQ(next.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(next.get().size(), 1u);
  EXPECT_TRUE(mgmt::bmc::ConfigLock::Acquire(std::chrono::milliseconds(0)).has_value());

  // The file written but bmcsetup missing: the client hears of it.
  root.RemoveBmcSetup();
  EXPECT_EQ(p.Modify(ChannelPath(1), "BMC_Ip", CIMValue(String("10.0.0.5"))), CIM_ERR_FAILED);
  EXPECT_NE(root.Read("bmcchannel.conf").find("IP=10.0.0.5\n"), std::string::npos);
  EXPECT_TRUE(root.Calls().empty());
}

TEST(IpmiConfiguration, OperationsFromSeveralThreadsNeverOverlap) {
  ConfRoot root("IPMI15");
  root.Write("ipmi.conf", kIpmiConf);
  root.Write("bmcchannel.conf", kChannelConf);
  Ipmi p;
  constexpr int kRounds = 15;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  threads.emplace_back([&] {
    for (int i = 1; i <= kRounds; ++i) {
      if (p.Modify(IpmiPath(), "ASR_WatchdogTimeOut", CIMValue(Uint16(100 + i))) != CIM_ERR_SUCCESS)
        ++wrong;
    }
  });
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        if (p.Instances("HM_IPMIConfiguration").size() != 1) ++wrong;
        if (p.Instances("HM_BMCChannelConfiguration").size() != 4) ++wrong;
        if (p.GetInstance(ChannelPath(5)).size() != 1) ++wrong;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(root.Read("ipmi.conf"), Replace(kIpmiConf, "AsrTimer=300 ", "AsrTimer=115 "));
  EXPECT_EQ(root.WaitForCalls(kRounds).size(), static_cast<size_t>(kRounds));
}

TEST(IpmiConfiguration, TestTrapIsTrueAndCreateAndDeleteAreRefused) {
  ConfRoot root("IPMI15");
  Ipmi p;
  auto& methods = dynamic_cast<CIMMethodProvider&>(*p.Get());
  SimpleMethodResultResponseHandler handler;
  methods.invokeMethod(p.Context(), IpmiPath(), CIMName("TestTrap"), Array<CIMParamValue>(),
                       handler);
  EXPECT_EQ(Text(handler.getReturnValue().toString()), "TRUE");
  EXPECT_TRUE(handler.isComplete());

  SimpleObjectPathResponseHandler paths;
  SimpleResponseHandlerImpl plain;
  auto code = [](auto op) {
    try {
      op();
    } catch (const CIMException& e) {
      return e.getCode();
    }
    return CIM_ERR_SUCCESS;
  };
  const CIMInstance instance(CIMName("HM_IPMIConfiguration"));
  EXPECT_EQ(code([&] { p.Get()->createInstance(p.Context(), IpmiPath(), instance, paths); }),
            CIM_ERR_NOT_SUPPORTED);
  EXPECT_EQ(code([&] { p.Get()->deleteInstance(p.Context(), IpmiPath(), plain); }),
            CIM_ERR_NOT_SUPPORTED);
}

}  // namespace
