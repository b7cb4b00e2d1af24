// The SMBIOS configuration provider in-process: present only on PnP-BIOS
// platforms, addressed by its key or without one, smbios.conf written
// atomically, and nothing written where the platform has no such setting.
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/SimpleResponseHandler.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bmcconf_fixture.h"
#include "bmcconfprovmain.h"
#include "support/provider_driver.h"

namespace {

using namespace Pegasus;
using bmcconftest::ConfRoot;
using mgmt::test::Describe;
using mgmt::test::ProviderDriver;
using mgmt::test::Text;
using mgmt::test::ValueOf;
using Lines = std::vector<std::string>;

CIMObjectPath SmbiosPath(const char* name) {
  Array<CIMKeyBinding> keys;
  if (name != nullptr)
    keys.append(CIMKeyBinding(CIMName("Name"), String(name), CIMKeyBinding::STRING));
  return CIMObjectPath(String(), CIMNamespaceName("root/cimv2"), CIMName("HM_SMBIOSConfiguration"),
                       keys);
}

class Smbios : public ProviderDriver {
 public:
  Smbios() : ProviderDriver(PegasusCreateProvider(String("BmcConfProv_SMBIOS"))) {}

  CIMStatusCode SetShutdown(const CIMObjectPath& path, const CIMValue& value) {
    CIMInstance instance(CIMName("HM_SMBIOSConfiguration"));
    instance.addProperty(CIMProperty(CIMName("ShutdownTempHigh"), value));
    instance.setPath(path);
    SimpleResponseHandlerImpl handler;
    try {
      Get()->modifyInstance(Context(), path, instance, false, CIMPropertyList(), handler);
    } catch (const CIMException& e) {
      return e.getCode();
    }
    return handler.isComplete() ? CIM_ERR_SUCCESS : CIM_ERR_FAILED;
  }
};

const char* const kKey = "The Single Instance";

TEST(SmbiosConfiguration, AnIpmiPlatformHasNoInstanceAndNothingToChange) {
  ConfRoot root("IPMI15");
  Smbios p;
  EXPECT_TRUE(p.Instances("HM_SMBIOSConfiguration").empty());
  EXPECT_TRUE(p.Names("HM_SMBIOSConfiguration").empty());
  EXPECT_TRUE(p.GetInstance(SmbiosPath(nullptr)).empty());
  EXPECT_EQ(p.SetShutdown(SmbiosPath(kKey), CIMValue(Boolean(true))), CIM_ERR_NOT_FOUND);
  EXPECT_FALSE(std::filesystem::exists(root.Conf("smbios.conf")));
}

TEST(SmbiosConfiguration, OnPnpBiosTheOneInstanceIsNamedAndFoundWithOrWithoutItsKey) {
  ConfRoot root("PNPBIOS");
  Smbios p;
  // No smbios.conf: the setting reads as off, whatever the default was.
  EXPECT_EQ(Describe(p.Instances("HM_SMBIOSConfiguration").at(0)),
            (Lines{"Name:string=The Single Instance", "Platform:uint16=0",
                   "ScheduledPowerOn_Enabled:boolean=FALSE", "ShutdownTempHigh:boolean=FALSE"}));
  EXPECT_EQ(Text(p.Names("HM_SMBIOSConfiguration").at(0).toString()),
            "root/cimv2:HM_SMBIOSConfiguration.Name=\"The Single Instance\"");
  EXPECT_EQ(p.GetInstance(SmbiosPath(kKey)).size(), 1u);
  EXPECT_EQ(p.GetInstance(SmbiosPath(nullptr)).size(), 1u);
  EXPECT_TRUE(p.GetInstance(SmbiosPath("Another Instance")).empty());
  EXPECT_TRUE(p.Completed());
}

TEST(SmbiosConfiguration, AChangeIsSavedAndPublished) {
  ConfRoot root("pnpbios");
  root.Write("smbios.conf", "1\n");
  Smbios p;
  EXPECT_EQ(ValueOf(p.GetInstance(SmbiosPath(kKey)).at(0), "ShutdownTempHigh"), "TRUE");
  EXPECT_EQ(p.SetShutdown(SmbiosPath(kKey), CIMValue(Boolean(false))), CIM_ERR_SUCCESS);
  EXPECT_EQ(root.Read("smbios.conf"), "0");
  EXPECT_EQ(p.SetShutdown(SmbiosPath(nullptr), CIMValue(Boolean(true))), CIM_ERR_SUCCESS);
  EXPECT_EQ(root.Read("smbios.conf"), "1");
  EXPECT_EQ(ValueOf(p.Instances("HM_SMBIOSConfiguration").at(0), "ShutdownTempHigh"), "TRUE");

  EXPECT_EQ(p.SetShutdown(SmbiosPath("Another Instance"), CIMValue(Boolean(false))),
            CIM_ERR_NOT_FOUND);
  // A value of another type is ignored; the setting is written as it stands.
  EXPECT_EQ(p.SetShutdown(SmbiosPath(kKey), CIMValue(String("false"))), CIM_ERR_SUCCESS);
  EXPECT_EQ(root.Read("smbios.conf"), "1");
}

TEST(SmbiosConfiguration, AFileThatCannotBeWrittenFailsTheChangeAndKeepsTheOldValue) {
  ConfRoot root("PNPBIOS");
  Smbios p;
  std::filesystem::create_directory(root.Conf("smbios.conf"));  // rename cannot replace it
  EXPECT_EQ(p.SetShutdown(SmbiosPath(kKey), CIMValue(Boolean(true))), CIM_ERR_FAILED);
  EXPECT_EQ(ValueOf(p.GetInstance(SmbiosPath(kKey)).at(0), "ShutdownTempHigh"), "FALSE");
  // Nothing half-written beside it.
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(root.Conf("")))
    ++entries;
  EXPECT_EQ(entries, 1u);
}

TEST(SmbiosConfiguration, OperationsFromSeveralThreadsSeeOneWholeInstance) {
  // The object manager calls a provider from several threads at once: a reader
  // never sees the instance list while a change rebuilds it.
  ConfRoot root("PNPBIOS");
  Smbios p;
  constexpr int kRounds = 40;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  threads.emplace_back([&] {
    for (int i = 0; i < kRounds; ++i) {
      if (p.SetShutdown(SmbiosPath(kKey), CIMValue(Boolean(i % 2 == 0))) != CIM_ERR_SUCCESS)
        ++wrong;
    }
  });
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        const auto all = p.Instances("HM_SMBIOSConfiguration");
        if (all.size() != 1 || ValueOf(all[0], "Name") != kKey) ++wrong;
        if (p.GetInstance(SmbiosPath(nullptr)).size() != 1) ++wrong;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(root.Read("smbios.conf"), "0");  // the last change: round 39, off
  EXPECT_EQ(ValueOf(p.GetInstance(SmbiosPath(kKey)).at(0), "ShutdownTempHigh"), "FALSE");
}

}  // namespace
