// End to end: cimserver loads libPerfCounters.so and wbemcli asks it over CIM-XML,
// on both fixture roots and on this machine's own /proc.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "perf_test_util.h"
#include "proc_oracle.h"
#include "support/cim_server.h"
#include "support/wbemcli.h"

namespace {

using mgmt::test::CimServer;
using mgmt::test::NonEmptyLines;
using mgmt::test::ParseWbemcliInstances;
using mgmt::test::RunResult;
using mgmt::test::WbemInstance;
using perftest::Counters;
using perftest::FixtureRoot;

constexpr const char* kClasses[] = {"SM_PerfCounters_Memory", "SM_PerfCounters_Processor",
                                    "SM_PerfCounters_LogicalDisk",
                                    "SM_PerfCounters_NetworkInterface"};

// A cimserver with only the performance classes, registrations and module, over
// a root whose /proc is a link to `procDir` (the real /proc or a fixture's).
std::unique_ptr<CimServer> PerfCimServer(const std::string& procDir) {
  mgmt::test::CimServerOptions options;
  options.classes = {mgmt::test::SourcePath("mof/classes/SM_PerfCounters.mof")};
  options.registrations = {mgmt::test::SourcePath("mof/registrations/PerfCounters.reg")};
  options.modules = {PERF_MODULE_PATH};
  options.links = {{"proc", procDir}};
  return std::make_unique<CimServer>(options);
}

class Wbemcli {
 public:
  explicit Wbemcli(const CimServer& server) : server_(server) {}
  RunResult operator()(const std::vector<std::string>& args) const {
    return mgmt::test::Wbemcli(args);
  }
  std::string target(const std::string& rest) const { return server_.Target(rest); }

 private:
  const CimServer& server_;
};

// --- fixture roots ---------------------------------------------------------------

TEST(PerfWbemcli, Layout24AnswersEveryOperation) {
  const auto server = PerfCimServer(FixtureRoot("linux24") + "/proc");
  const Wbemcli cli(*server);
  const std::map<std::string, std::size_t> counts = {{"SM_PerfCounters_Memory", 1},
                                                     {"SM_PerfCounters_Processor", 13},
                                                     {"SM_PerfCounters_LogicalDisk", 5},
                                                     {"SM_PerfCounters_NetworkInterface", 2}};
  for (const char* cls : kClasses) {
    const RunResult ei = cli({"-nl", "ei", cli.target(cls)});
    EXPECT_EQ(ei.status, 0) << cls << ": " << ei.err;
    EXPECT_EQ(ParseWbemcliInstances(ei.out).size(), counts.at(cls)) << ei.out;
    const RunResult ein = cli({"ein", cli.target(cls)});
    EXPECT_EQ(ein.status, 0) << cls << ": " << ein.err;
    EXPECT_EQ(NonEmptyLines(ein.out).size(), counts.at(cls)) << ein.out;
  }

  const RunResult mem = cli({"-nl", "ei", cli.target("SM_PerfCounters_Memory")});
  const auto memory = ParseWbemcliInstances(mem.out);
  ASSERT_EQ(memory.size(), 1u);
  EXPECT_EQ(memory[0].properties.at("AvailableBytes"), "10596352");
  EXPECT_EQ(memory[0].properties.at("PagesPersec"), "7549");
  EXPECT_EQ(memory[0].properties.at("Timestamp_Ticks"), "3600500");

  const RunResult cpu = cli({"gi", cli.target("SM_PerfCounters_Processor.Name=\"cpu\"")});
  EXPECT_EQ(cpu.status, 0) << cpu.err;
  EXPECT_EQ(cpu.out, server->HostPort() + "/root/cimv2" +
                         ":SM_PerfCounters_Processor.Name=\"cpu\" Name=\"CPU_Total\","
                         "PercentUserTime=12252,PercentPrivilegedTime=2466,"
                         "PercentProcessorTime=3600066,Frequency_Jiffies=100,"
                         "Frequency_Ticks=1000,Timestamp_Jiffies=3614784,"
                         "Timestamp_Ticks=36147840,InterruptsPersec=8475628\n");

  const RunResult lo =
      cli({"-nl", "gi", cli.target("SM_PerfCounters_NetworkInterface.Name=\"lo\"")});
  const auto loInstance = ParseWbemcliInstances(lo.out);
  ASSERT_EQ(loInstance.size(), 1u);
  EXPECT_EQ(loInstance[0].properties.at("Name"), "\"    lo\"");

  const RunResult unknown = cli({"gi", cli.target("SM_PerfCounters_Processor.Name=\"CPU0\"")});
  EXPECT_NE(unknown.status, 0);
  EXPECT_NE(unknown.err.find("CIM_ERR_NOT_FOUND: CPU0: No such processor"), std::string::npos)
      << unknown.err;
  const RunResult disk = cli({"gi", cli.target("SM_PerfCounters_LogicalDisk.Name=\"hdq\"")});
  EXPECT_NE(disk.err.find("CIM_ERR_NOT_FOUND: hdq: No such logical disk"), std::string::npos)
      << disk.err;
  const RunResult wrongKey = cli({"gi", cli.target("SM_PerfCounters_Processor.DeviceID=\"cpu0\"")});
  EXPECT_NE(wrongKey.status, 0);
  EXPECT_NE(wrongKey.err.find("CIM_ERR_INVALID_PARAMETER: DeviceID: Unrecognized key"),
            std::string::npos)
      << wrongKey.err;
}

TEST(PerfWbemcli, CurrentLayoutServesTheMovedCounters) {
  const auto server = PerfCimServer(FixtureRoot("current") + "/proc");
  const Wbemcli cli(*server);
  const RunResult net =
      cli({"-nl", "gi", cli.target("SM_PerfCounters_NetworkInterface.Name=\"eth0\"")});
  EXPECT_EQ(net.status, 0) << net.err;
  const auto eth0 = ParseWbemcliInstances(net.out);
  ASSERT_EQ(eth0.size(), 1u);
  EXPECT_EQ(eth0[0].properties.at("BytesRecvPersec"), "705032704");
  const RunResult disks = cli({"ein", cli.target("SM_PerfCounters_LogicalDisk")});
  EXPECT_EQ(NonEmptyLines(disks.out).size(), 5u) << disks.out;
  const RunResult mem = cli({"-nl", "ei", cli.target("SM_PerfCounters_Memory")});
  const auto memory = ParseWbemcliInstances(mem.out);
  ASSERT_EQ(memory.size(), 1u);
  EXPECT_EQ(memory[0].properties.at("AvailableBytes"), std::to_string(24455252ull * 1024));
  EXPECT_EQ(memory[0].properties.at("PagesInputPersec"), "1151309");
}

// --- this machine's /proc ------------------------------------------------------

// The key of an instance path such as host:port/root/cimv2:Class.Name="cpu0".
std::string KeyOf(const WbemInstance& instance) {
  const std::string name = mgmt::test::KeyValue(instance.path, "Name");
  return name.empty() ? "memory" : name;
}

// A published value lies between the two snapshots; uint32 properties were
// narrowed modulo 2^32, so they are compared as distances from `before` in that
// arithmetic.
void ExpectBetween(const std::string& what, const std::string& text, std::uint64_t before,
                   std::uint64_t after, bool narrow) {
  const std::uint64_t value = std::stoull(text);
  if (narrow) {
    const std::uint32_t base = static_cast<std::uint32_t>(before);
    const std::uint64_t distance = static_cast<std::uint32_t>(value - base);
    EXPECT_LE(distance, after - before)
        << what << "=" << value << " not in [" << before << ", " << after << "] modulo 2^32";
  } else {
    EXPECT_GE(value, before) << what;
    EXPECT_LE(value, after) << what;
  }
}

TEST(PerfWbemcli, RealProcCountersLieBetweenTheReadingsAroundTheRequest) {
  const auto server = PerfCimServer("/proc");
  const Wbemcli cli(*server);
  const std::map<std::string, bool> uint32Props = {
      {"PagesInputPersec", true},     {"PagesOutputPersec", true},  {"PagesPersec", true},
      {"InterruptsPersec", true},     {"DiskReadsPersec", true},    {"DiskWritesPersec", true},
      {"AvgDisksecPerRead", true},    {"AvgDisksecPerWrite", true}, {"BytesRecvPersec", true},
      {"BytesSentPersec", true},      {"PacketsRecvPersec", true},  {"PacketsSentPersec", true},
      {"PacketsRecvErrors", true},    {"PacketsRecvDropped", true}, {"PacketsSentErrors", true},
      {"PacketsSentCollisions", true}};
  std::size_t checked = 0;
  for (const char* cls : kClasses) {
    const Counters before = perftest::Snapshot();
    const RunResult ei = cli({"-nl", "ei", cli.target(cls)});
    const Counters after = perftest::Snapshot();
    ASSERT_EQ(ei.status, 0) << cls << ": " << ei.err;
    const auto instances = ParseWbemcliInstances(ei.out);
    ASSERT_FALSE(instances.empty()) << cls;
    for (const WbemInstance& instance : instances) {
      const std::string key = KeyOf(instance);
      for (const auto& [prop, text] : instance.properties) {
        std::string counter = key + "/" + prop;
        if (prop == "Timestamp_Jiffies" && key.rfind("cpu", 0) != 0) counter = "clock/jiffies";
        if (prop == "Timestamp_Ticks" && key.rfind("cpu", 0) != 0) counter = "clock/ticks";
        const auto b = before.find(counter);
        const auto a = after.find(counter);
        if (b == before.end() || a == after.end()) continue;
        ExpectBetween(std::string(cls) + " " + counter, text, b->second, a->second,
                      uint32Props.count(prop) != 0);
        ++checked;
      }
    }
  }
  // Clocks, paging, every processor's times and interrupts, disks and interfaces.
  EXPECT_GT(checked, 30u);
}

}  // namespace
