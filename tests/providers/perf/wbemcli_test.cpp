// End to end: cimserver loads libPerfCounters.so and wbemcli asks it over CIM-XML,
// on both fixture roots and on this machine's own /proc.
#include "perf_test_util.h"
#include "proc_oracle.h"
#include "process_util.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using perftest::Counters;
using perftest::FixtureRoot;
using perftest::PerfCimServer;
using perftest::RunResult;

constexpr const char* kClasses[] = {"SM_PerfCounters_Memory", "SM_PerfCounters_Processor",
                                    "SM_PerfCounters_LogicalDisk",
                                    "SM_PerfCounters_NetworkInterface"};

struct Instance {
  std::string path;
  std::map<std::string, std::string> props;
};

// `wbemcli -nl ei` prints each instance's path on one line and each property on a
// line of its own starting with '-'.
std::vector<Instance> ParseInstances(const std::string& out) {
  std::vector<Instance> all;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    if (line[0] != '-') {
      all.push_back({line, {}});
      continue;
    }
    if (all.empty()) continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    all.back().props[line.substr(1, eq - 1)] = line.substr(eq + 1);
  }
  return all;
}

std::vector<std::string> Lines(const std::string& out) {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string l; std::getline(in, l);) {
    if (!l.empty()) lines.push_back(l);
  }
  return lines;
}

class Wbemcli {
 public:
  explicit Wbemcli(const PerfCimServer& server) : server_(server) {}
  RunResult operator()(const std::vector<std::string>& args) const {
    std::vector<std::string> argv = {"wbemcli"};
    argv.insert(argv.end(), args.begin(), args.end());
    return perftest::Run(argv, server_.scratch());
  }
  std::string target(const std::string& rest) const { return server_.url() + ":" + rest; }

 private:
  const PerfCimServer& server_;
};

// --- fixture roots ---------------------------------------------------------------

TEST(PerfWbemcli, Layout24AnswersEveryOperation) {
  PerfCimServer server(FixtureRoot("linux24") + "/proc");
  const Wbemcli cli(server);
  const std::map<std::string, std::size_t> counts = {{"SM_PerfCounters_Memory", 1},
                                                     {"SM_PerfCounters_Processor", 13},
                                                     {"SM_PerfCounters_LogicalDisk", 5},
                                                     {"SM_PerfCounters_NetworkInterface", 2}};
  for (const char* cls : kClasses) {
    const RunResult ei = cli({"-nl", "ei", cli.target(cls)});
    EXPECT_EQ(ei.status, 0) << cls << ": " << ei.err;
    EXPECT_EQ(ParseInstances(ei.out).size(), counts.at(cls)) << ei.out;
    const RunResult ein = cli({"ein", cli.target(cls)});
    EXPECT_EQ(ein.status, 0) << cls << ": " << ein.err;
    EXPECT_EQ(Lines(ein.out).size(), counts.at(cls)) << ein.out;
  }

  const RunResult mem = cli({"-nl", "ei", cli.target("SM_PerfCounters_Memory")});
  const auto memory = ParseInstances(mem.out);
  ASSERT_EQ(memory.size(), 1u);
  EXPECT_EQ(memory[0].props.at("AvailableBytes"), "10596352");
  EXPECT_EQ(memory[0].props.at("PagesPersec"), "7549");
  EXPECT_EQ(memory[0].props.at("Timestamp_Ticks"), "3600500");

  const RunResult cpu = cli({"gi", cli.target("SM_PerfCounters_Processor.Name=\"cpu\"")});
  EXPECT_EQ(cpu.status, 0) << cpu.err;
  EXPECT_EQ(cpu.out, server.url().substr(7) +
                         ":SM_PerfCounters_Processor.Name=\"cpu\" Name=\"CPU_Total\","
                         "PercentUserTime=12252,PercentPrivilegedTime=2466,"
                         "PercentProcessorTime=3600066,Frequency_Jiffies=100,"
                         "Frequency_Ticks=1000,Timestamp_Jiffies=3614784,"
                         "Timestamp_Ticks=36147840,InterruptsPersec=8475628\n");

  const RunResult lo =
      cli({"-nl", "gi", cli.target("SM_PerfCounters_NetworkInterface.Name=\"lo\"")});
  const auto loInstance = ParseInstances(lo.out);
  ASSERT_EQ(loInstance.size(), 1u);
  EXPECT_EQ(loInstance[0].props.at("Name"), "\"    lo\"");

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
  PerfCimServer server(FixtureRoot("current") + "/proc");
  const Wbemcli cli(server);
  const RunResult net =
      cli({"-nl", "gi", cli.target("SM_PerfCounters_NetworkInterface.Name=\"eth0\"")});
  EXPECT_EQ(net.status, 0) << net.err;
  const auto eth0 = ParseInstances(net.out);
  ASSERT_EQ(eth0.size(), 1u);
  EXPECT_EQ(eth0[0].props.at("BytesRecvPersec"), "705032704");
  const RunResult disks = cli({"ein", cli.target("SM_PerfCounters_LogicalDisk")});
  EXPECT_EQ(Lines(disks.out).size(), 5u) << disks.out;
  const RunResult mem = cli({"-nl", "ei", cli.target("SM_PerfCounters_Memory")});
  const auto memory = ParseInstances(mem.out);
  ASSERT_EQ(memory.size(), 1u);
  EXPECT_EQ(memory[0].props.at("AvailableBytes"), std::to_string(24455252ull * 1024));
  EXPECT_EQ(memory[0].props.at("PagesInputPersec"), "1151309");
}

// --- this machine's /proc ------------------------------------------------------

// The key of an instance path such as host:port/root/cimv2:Class.Name="cpu0".
std::string KeyOf(const Instance& instance) {
  const auto eq = instance.path.find(".Name=\"");
  if (eq == std::string::npos) return "memory";
  const auto start = eq + 7;
  return instance.path.substr(start, instance.path.rfind('"') - start);
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
  PerfCimServer server("/proc");
  const Wbemcli cli(server);
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
    const auto instances = ParseInstances(ei.out);
    ASSERT_FALSE(instances.empty()) << cls;
    for (const Instance& instance : instances) {
      const std::string key = KeyOf(instance);
      for (const auto& [prop, text] : instance.props) {
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
