// The four providers in-process, on the fixture roots: instance contents in
// property order and type, names and paths, key checks, refusals.
#include "PerfCountersMain.h"
#include "perf_test_util.h"
#include "support/provider_driver.h"
#include "support/temp_dir.h"

#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/SimpleResponseHandler.h>
#include <Pegasus/Provider/ProviderException.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace Pegasus;
using mgmt::test::Describe;
using mgmt::test::ScopedRoot;
using mgmt::test::Text;
using mgmt::test::ValueOf;
using perftest::FixtureRoot;
using Lines = std::vector<std::string>;

// A provider the module's factory made, driven as cimserver would.
struct Provider : mgmt::test::ProviderDriver {
  explicit Provider(const char* name) : ProviderDriver(PegasusCreateProvider(String(name))) {}
};

constexpr const char* kMemory = "SM_PerfCounters_Memory";
constexpr const char* kProcessor = "SM_PerfCounters_Processor";
constexpr const char* kDisk = "SM_PerfCounters_LogicalDisk";
constexpr const char* kNet = "SM_PerfCounters_NetworkInterface";

CIMObjectPath KeyPath(const char* cls, const char* key, const char* value) {
  Array<CIMKeyBinding> keys;
  keys.append(CIMKeyBinding(CIMName(key), String(value), CIMKeyBinding::STRING));
  return CIMObjectPath(String(), CIMNamespaceName("root/cimv2"), CIMName(cls), keys);
}

std::vector<std::string> KeyValues(const std::vector<CIMObjectPath>& paths) {
  std::vector<std::string> out;
  for (const auto& p : paths) {
    EXPECT_EQ(p.getKeyBindings().size(), 1u);
    out.push_back(Text(p.getKeyBindings()[0].getValue()));
  }
  return out;
}

// --- module entry --------------------------------------------------------------

TEST(PerfModule, CreatesTheFourProvidersByNameIgnoringCase) {
  for (const char* name : {"PerfMemoryProvider", "perfprocessorprovider", "PERFLOGICALDISKPROVIDER",
                           "PerfNetworkInterfaceProvider"}) {
    Provider p(name);
    EXPECT_NE(p.Get(), nullptr) << name;
  }
  EXPECT_EQ(PegasusCreateProvider(String("PerfDiskProvider")), nullptr);
  EXPECT_EQ(PegasusCreateProvider(String("")), nullptr);
}

TEST(PerfModule, EveryProviderRefusesTheThreeWrites) {
  ScopedRoot root(FixtureRoot("linux24"));
  for (const char* name : {"PerfMemoryProvider", "PerfProcessorProvider", "PerfLogicalDiskProvider",
                           "PerfNetworkInterfaceProvider"}) {
    Provider p(name);
    ASSERT_NE(p.Get(), nullptr);
    const CIMObjectPath path(String("X_Class"));
    const CIMInstance instance{CIMName("X_Class")};
    SimpleResponseHandlerImpl plain;
    SimpleObjectPathResponseHandler paths;
    const std::string prefix = std::string(name) + " does not support ";
    try {
      p.Get()->modifyInstance(p.Context(), path, instance, false, CIMPropertyList(), plain);
      ADD_FAILURE() << name << " modified";
    } catch (const CIMNotSupportedException& e) {
      EXPECT_EQ(Text(e.getMessage()), prefix + "modifyInstance");
      EXPECT_EQ(e.getCode(), CIM_ERR_NOT_SUPPORTED);
    }
    try {
      p.Get()->createInstance(p.Context(), path, instance, paths);
      ADD_FAILURE() << name << " created";
    } catch (const CIMNotSupportedException& e) {
      EXPECT_EQ(Text(e.getMessage()), prefix + "createInstance");
    }
    try {
      p.Get()->deleteInstance(p.Context(), path, plain);
      ADD_FAILURE() << name << " deleted";
    } catch (const CIMNotSupportedException& e) {
      EXPECT_EQ(Text(e.getMessage()), prefix + "deleteInstance");
    }
    EXPECT_FALSE(plain.isProcessing());
  }
}

// --- memory ----------------------------------------------------------------------

TEST(PerfMemoryProvider, OneUnkeyedInstanceOnThe24Layout) {
  ScopedRoot root(FixtureRoot("linux24"));
  Provider p("PerfMemoryProvider");
  const Lines want = {"Frequency_Jiffies:uint64=100",       "Frequency_Ticks:uint64=1000",
                      "Timestamp_Jiffies:uint64=360050",    "Timestamp_Ticks:uint64=3600500",
                      "AvailableBytes:uint64=10596352",     "AvailableKBytes:uint64=10348",
                      "AvailableMBytes:uint64=10",          "KernelBufferBytes:uint64=110583808",
                      "KernelCachedBytes:uint64=793440256", "PagesInputPersec:uint32=5741",
                      "PagesOutputPersec:uint32=1808",      "PagesPersec:uint32=7549"};
  const auto all = p.Instances(kMemory);
  EXPECT_TRUE(p.Completed());
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(Describe(all[0]), want);
  EXPECT_EQ(Text(all[0].getPath().toString()), kMemory);

  const auto names = p.Names(kMemory);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(Text(names[0].toString()), kMemory);
  EXPECT_EQ(names[0].getKeyBindings().size(), 0u);

  // Any path, keyed or not, names the one instance.
  for (const CIMObjectPath& path :
       {CIMObjectPath(String(kMemory)), KeyPath(kMemory, "DeviceID", "x")}) {
    const auto got = p.GetInstance(path);
    EXPECT_TRUE(p.Completed());
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(Describe(got[0]), want);
  }
}

TEST(PerfMemoryProvider, CurrentLayoutCountersNarrowedToTheirTypes) {
  ScopedRoot root(FixtureRoot("current"));
  Provider p("PerfMemoryProvider");
  const auto all = p.Instances(kMemory);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(ValueOf(all[0], "Timestamp_Jiffies"), "24846");
  EXPECT_EQ(ValueOf(all[0], "AvailableBytes"), std::to_string(24455252ull * 1024));
  EXPECT_EQ(ValueOf(all[0], "AvailableMBytes"), std::to_string(24455252ull >> 10));
  EXPECT_EQ(ValueOf(all[0], "KernelCachedBytes"), std::to_string(70008ull * 1024));
  EXPECT_EQ(ValueOf(all[0], "PagesInputPersec"), "1151309");
  EXPECT_EQ(ValueOf(all[0], "PagesOutputPersec"), "705032705");  // 5000000001 mod 2^32
  EXPECT_EQ(ValueOf(all[0], "PagesPersec"), "706184014");
}

// --- processors ------------------------------------------------------------------

TEST(PerfProcessorProvider, NamesKeepTheListedFormAndInstancesTheirOwnCounters) {
  ScopedRoot root(FixtureRoot("linux24"));
  Provider p("PerfProcessorProvider");
  const auto names = p.Names(kProcessor);
  EXPECT_TRUE(p.Completed());
  EXPECT_EQ(KeyValues(names), (Lines{"cpu", "cpu0", "cpu1", "cpu2", "cpu3", "cpu4", "cpu5", "cpu6",
                                     "cpu7", "cpu8", "cpu9", "cpu10", "cpu11"}));
  EXPECT_EQ(Text(names[0].toString()), "SM_PerfCounters_Processor.Name=\"cpu\"");

  const auto total = p.GetInstance(KeyPath(kProcessor, "Name", "cpu"));
  ASSERT_EQ(total.size(), 1u);
  EXPECT_EQ(Describe(total[0]),
            (Lines{"Name:string=CPU_Total", "PercentUserTime:uint64=12252",
                   "PercentPrivilegedTime:uint64=2466", "PercentProcessorTime:uint64=3600066",
                   "Frequency_Jiffies:uint64=100", "Frequency_Ticks:uint64=1000",
                   "Timestamp_Jiffies:uint64=3614784", "Timestamp_Ticks:uint64=36147840",
                   "InterruptsPersec:uint32=8475628"}));
  EXPECT_EQ(Text(total[0].getPath().toString()), "SM_PerfCounters_Processor.Name=\"cpu\"");

  const auto ten = p.GetInstance(KeyPath(kProcessor, "name", "cpu10"));  // key names ignore case
  ASSERT_EQ(ten.size(), 1u);
  EXPECT_EQ(ValueOf(ten[0], "Name"), "CPU10");
  EXPECT_EQ(ValueOf(ten[0], "PercentUserTime"), "1030");
  EXPECT_EQ(ValueOf(ten[0], "Timestamp_Ticks"), "3012500");
  EXPECT_EQ(ValueOf(ten[0], "InterruptsPersec"), "64490");

  const auto all = p.Instances(kProcessor);
  EXPECT_TRUE(p.Completed());
  ASSERT_EQ(all.size(), 13u);
  EXPECT_EQ(ValueOf(all[2], "Name"), "CPU1");
  EXPECT_EQ(ValueOf(all[2], "InterruptsPersec"), "64049");
}

TEST(PerfProcessorProvider, InterruptTotalNarrowedOnCurrentKernels) {
  ScopedRoot root(FixtureRoot("current"));
  Provider p("PerfProcessorProvider");
  const auto total = p.GetInstance(KeyPath(kProcessor, "Name", "cpu"));
  ASSERT_EQ(total.size(), 1u);
  EXPECT_EQ(ValueOf(total[0], "InterruptsPersec"), "705032704");
  const auto three = p.GetInstance(KeyPath(kProcessor, "Name", "cpu3"));
  ASSERT_EQ(three.size(), 1u);
  EXPECT_EQ(ValueOf(three[0], "InterruptsPersec"), "3333");
}

// --- request checks of the keyed classes -----------------------------------------

struct KeyedCase {
  const char* provider;
  const char* cls;
  const char* listed;
  const char* notFound;
};

class KeyedRequests : public ::testing::TestWithParam<KeyedCase> {
 protected:
  ScopedRoot root_{FixtureRoot("linux24")};

  // Runs getInstance, expecting exception E with `message`, thrown before processing().
  template <typename E>
  void ExpectThrow(const CIMObjectPath& path, const std::string& message, CIMStatusCode code) {
    Provider p(GetParam().provider);
    bool processing = true;
    try {
      p.GetInstance(path, &processing);
      ADD_FAILURE() << "no exception for " << Text(path.toString());
    } catch (const E& e) {
      EXPECT_EQ(Text(e.getMessage()), message);
      EXPECT_EQ(e.getCode(), code);
    }
    EXPECT_FALSE(processing);
  }
};

TEST_P(KeyedRequests, KeyCountKeyNameAndUnknownValues) {
  const KeyedCase& c = GetParam();
  ExpectThrow<CIMInvalidParameterException>(CIMObjectPath(String(c.cls)), "Wrong number of keys",
                                            CIM_ERR_INVALID_PARAMETER);
  Array<CIMKeyBinding> two;
  two.append(CIMKeyBinding(CIMName("Name"), String(c.listed), CIMKeyBinding::STRING));
  two.append(CIMKeyBinding(CIMName("Other"), String("x"), CIMKeyBinding::STRING));
  ExpectThrow<CIMInvalidParameterException>(
      CIMObjectPath(String(), CIMNamespaceName(), CIMName(c.cls), two), "Wrong number of keys",
      CIM_ERR_INVALID_PARAMETER);
  ExpectThrow<CIMInvalidParameterException>(KeyPath(c.cls, "DeviceID", c.listed),
                                            "DeviceID: Unrecognized key",
                                            CIM_ERR_INVALID_PARAMETER);
  ExpectThrow<CIMObjectNotFoundException>(KeyPath(c.cls, "Name", "nosuch0"),
                                          std::string("nosuch0") + c.notFound, CIM_ERR_NOT_FOUND);
  // Values are compared exactly: the upper-cased form is not a listed name.
  std::string upper = c.listed;
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  ExpectThrow<CIMObjectNotFoundException>(KeyPath(c.cls, "Name", upper.c_str()), upper + c.notFound,
                                          CIM_ERR_NOT_FOUND);

  Provider p(c.provider);
  const auto got = p.GetInstance(KeyPath(c.cls, "Name", c.listed));
  EXPECT_TRUE(p.Completed());
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(Text(got[0].getPath().getKeyBindings()[0].getValue()), c.listed);
}

INSTANTIATE_TEST_SUITE_P(
    Perf, KeyedRequests,
    ::testing::Values(KeyedCase{"PerfProcessorProvider", kProcessor, "cpu0", ": No such processor"},
                      KeyedCase{"PerfLogicalDiskProvider", kDisk, "hda1", ": No such logical disk"},
                      KeyedCase{"PerfNetworkInterfaceProvider", kNet, "eth0",
                                ": No such network interface"}));

// --- logical disks ---------------------------------------------------------------

TEST(PerfLogicalDiskProvider, AllPropertiesOfA24Partition) {
  ScopedRoot root(FixtureRoot("linux24"));
  Provider p("PerfLogicalDiskProvider");
  EXPECT_EQ(KeyValues(p.Names(kDisk)), (Lines{"hda", "hda1", "hda2", "sda", "md0"}));
  const auto hda = p.GetInstance(KeyPath(kDisk, "Name", "hda"));
  ASSERT_EQ(hda.size(), 1u);
  EXPECT_EQ(Describe(hda[0]), (Lines{"Frequency_Jiffies:uint64=100",
                                     "Frequency_Ticks:uint64=1000",
                                     "Timestamp_Jiffies:uint64=360050",
                                     "Timestamp_Ticks:uint64=3600500",
                                     "Name:string=hda",
                                     "AvgDiskQueueLength:uint64=23705160",
                                     "PercentDiskTime:uint64=3376340",
                                     "PercentDiskTime_Base:uint64=3600500",
                                     "PercentIdleTime:uint64=224160",
                                     "PercentIdleTime_Base:uint64=3600500",
                                     "AvgDisksecPerTransfer:uint32=23692690",
                                     "AvgDisksecPerTransfer_Base:uint32=871063",
                                     "AvgDisksecPerRead:uint32=4382310",
                                     "AvgDisksecPerRead_Base:uint32=446216",
                                     "AvgDisksecPerWrite:uint32=19310380",
                                     "AvgDisksecPerWrite_Base:uint32=424847",
                                     "AvgDiskBytesPerTransfer:uint64=7922042880",
                                     "AvgDiskBytesPerTransfer_Base:uint32=871063",
                                     "AvgDiskBytesPerRead:uint64=4889952256",
                                     "AvgDiskBytesPerRead_Base:uint32=446216",
                                     "AvgDiskBytesPerWrite:uint64=3032090624",
                                     "AvgDiskBytesPerWrite_Base:uint32=424847",
                                     "DiskTransfersPersec:uint32=871063",
                                     "DiskReadsPersec:uint32=446216",
                                     "DiskWritesPersec:uint32=424847",
                                     "DiskBytesPersec:uint64=7922042880",
                                     "DiskReadBytesPersec:uint64=4889952256",
                                     "DiskWriteBytesPersec:uint64=3032090624"}));
}

TEST(PerfLogicalDiskProvider, UnparsableLinesStillYieldAnInstanceOfZeros) {
  ScopedRoot root(FixtureRoot("linux24"));
  Provider p("PerfLogicalDiskProvider");
  const auto all = p.Instances(kDisk);
  EXPECT_TRUE(p.Completed());
  ASSERT_EQ(all.size(), 5u);
  for (const std::size_t i : {3u, 4u}) {  // sda (cut at 127 characters), md0 (no statistics)
    const auto lines = Describe(all[i]);
    ASSERT_EQ(lines.size(), 28u);
    EXPECT_EQ(ValueOf(all[i], "Name"), i == 3 ? "sda" : "md0");
    EXPECT_EQ(ValueOf(all[i], "PercentIdleTime"), "3600500");
    for (std::size_t k = 5; k < lines.size(); ++k) {
      const bool ticks = lines[k].find("_Base:uint64") != std::string::npos ||
                         lines[k].rfind("PercentIdleTime:", 0) == 0;
      EXPECT_EQ(lines[k].substr(lines[k].find('=') + 1), ticks ? "3600500" : "0") << lines[k];
    }
  }
}

TEST(PerfLogicalDiskProvider, CurrentKernelWideSectorCounts) {
  ScopedRoot root(FixtureRoot("current"));
  Provider p("PerfLogicalDiskProvider");
  EXPECT_EQ(KeyValues(p.Names(kDisk)), (Lines{"vda", "vda1", "nvme0n1", "nvme0n1p1", "sdb"}));
  const auto vda = p.GetInstance(KeyPath(kDisk, "Name", "vda"));
  ASSERT_EQ(vda.size(), 1u);
  EXPECT_EQ(ValueOf(vda[0], "Timestamp_Ticks"), "248460");
  EXPECT_EQ(ValueOf(vda[0], "DiskReadBytesPersec"), "4398046511104");
  EXPECT_EQ(ValueOf(vda[0], "DiskBytesPersec"), "4398431318016");
  EXPECT_EQ(ValueOf(vda[0], "DiskTransfersPersec"), "42025");
  EXPECT_EQ(ValueOf(vda[0], "PercentIdleTime"), std::to_string(248460 - 7128));
}

// --- network interfaces ----------------------------------------------------------

TEST(PerfNetworkInterfaceProvider, AllPropertiesWithTheRightAlignedName) {
  ScopedRoot root(FixtureRoot("linux24"));
  Provider p("PerfNetworkInterfaceProvider");
  EXPECT_EQ(KeyValues(p.Names(kNet)), (Lines{"lo", "eth0"}));
  const auto eth0 = p.GetInstance(KeyPath(kNet, "Name", "eth0"));
  ASSERT_EQ(eth0.size(), 1u);
  EXPECT_EQ(Describe(eth0[0]), (Lines{"Frequency_Jiffies:uint64=100",
                                      "Frequency_Ticks:uint64=1000",
                                      "Timestamp_Jiffies:uint64=360050",
                                      "Timestamp_Ticks:uint64=3600500",
                                      "Name:string=  eth0",
                                      "BytesTotalPersec:uint32=119443164",
                                      "BytesRecvPersec:uint32=92317470",
                                      "BytesSentPersec:uint32=27125694",
                                      "PacketsPersec:uint32=302904",
                                      "PacketsRecvPersec:uint32=181533",
                                      "PacketsSentPersec:uint32=121371",
                                      "PacketsRecvCompressedPersec:uint32=5",
                                      "PacketsSentCompressedPersec:uint32=12",
                                      "PacketsRecvMulticastPersec:uint32=6",
                                      "PacketsRecvErrors:uint32=1",
                                      "PacketsRecvDropped:uint32=2",
                                      "PacketsRecvOverruns:uint32=3",
                                      "PacketsRecvFrameErrors:uint32=4",
                                      "PacketsSentErrors:uint32=7",
                                      "PacketsSentDropped:uint32=8",
                                      "PacketsSentOverruns:uint32=9",
                                      "PacketsSentCollisions:uint32=10",
                                      "PacketsSentCarrierErrors:uint32=11"}));
  const auto lo = p.GetInstance(KeyPath(kNet, "Name", "lo"));
  ASSERT_EQ(lo.size(), 1u);
  EXPECT_EQ(ValueOf(lo[0], "Name"), "    lo");
  EXPECT_EQ(Text(lo[0].getPath().getKeyBindings()[0].getValue()), "lo");
}

TEST(PerfNetworkInterfaceProvider, CurrentKernelLongNamesAndWideCounters) {
  ScopedRoot root(FixtureRoot("current"));
  Provider p("PerfNetworkInterfaceProvider");
  const auto all = p.Instances(kNet);
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(ValueOf(all[2], "Name"), "  eth0");
  EXPECT_EQ(ValueOf(all[2], "BytesRecvPersec"), "705032704");
  EXPECT_EQ(ValueOf(all[2], "BytesSentPersec"), "4294967295");
  EXPECT_EQ(ValueOf(all[2], "BytesTotalPersec"), "705032703");
  EXPECT_EQ(ValueOf(all[3], "Name"), "enp0s31f6");
  EXPECT_EQ(ValueOf(all[3], "PacketsPersec"), "600");
  EXPECT_EQ(Text(all[4].getPath().getKeyBindings()[0].getValue()), "veth1234abcdef");
}

}  // namespace
