// The samplers on two fixture roots: the Linux 2.4 /proc layout (expected values
// worked out from the layout's description) and a current-kernel layout, where
// the counters live in other files and lines.
#include "PerfMemory.h"
#include "PerfNet.h"
#include "PerfPartition.h"
#include "PerfProcessor.h"
#include "perf_test_util.h"
#include "xfile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using mgmt::test::ScopedRoot;
using mgmt::test::TempRoot;
using perftest::FixtureRoot;
using Names = std::vector<std::string>;

struct Times {
  std::uint64_t user = 0, privileged = 0, idle = 0;
};

Times TimesOf(const std::string& name) {
  Times t;
  PerfProcessor().getProcessorTime(name, t.user, t.privileged, t.idle);
  return t;
}

std::uint64_t InterruptsOf(const std::string& name) {
  std::uint64_t count = 0;
  PerfProcessor().getInterrupts(name, count);
  return count;
}

partition_stats DiskStats(const std::string& name, int& result) {
  partition_stats s{};
  result = PerfPartition().getPartitionStats(name, s);
  return s;
}

net_stats NetStats(const std::string& name, int& result) {
  net_stats s{};
  result = PerfNet().getInterfaceStats(name, s);
  return s;
}

// --- Linux 2.4 layout -----------------------------------------------------------

class Layout24 : public ::testing::Test {
 protected:
  ScopedRoot root_{FixtureRoot("linux24")};
};

TEST_F(Layout24, MemoryFromTheMemSummaryAndPagesFromStat) {
  std::uint64_t free = 1, shared = 1, buffers = 1, cached = 1;
  EXPECT_EQ(PerfMemory().getAvailableBytes(free, shared, buffers, cached), 1);
  EXPECT_EQ(free, 10596352u);
  EXPECT_EQ(shared, 4096000u);
  EXPECT_EQ(buffers, 110583808u);
  EXPECT_EQ(cached, 793440256u);
  std::uint64_t in = 9, out = 9;
  EXPECT_EQ(PerfMemory().getPagesNumber(in, out), 1);
  EXPECT_EQ(in, 5741u);
  EXPECT_EQ(out, 1808u);
}

TEST_F(Layout24, TwelveProcessorsAreNamedWholeWithTheirOwnTimesAndColumns) {
  PerfProcessor p;
  EXPECT_EQ(p.getProcessorNames(), 0);
  EXPECT_EQ(p.names(), (Names{"cpu", "cpu0", "cpu1", "cpu2", "cpu3", "cpu4", "cpu5", "cpu6", "cpu7",
                              "cpu8", "cpu9", "cpu10", "cpu11"}));
  const Times all = TimesOf("cpu");
  EXPECT_EQ(all.user, 12066u + 186u);
  EXPECT_EQ(all.privileged, 2466u);
  EXPECT_EQ(all.idle, 3600066u);
  const Times one = TimesOf("cpu1");
  EXPECT_EQ(one.user, 1012u);
  EXPECT_EQ(one.idle, 300001u);
  const Times ten = TimesOf("cpu10");
  EXPECT_EQ(ten.user, 1030u);
  EXPECT_EQ(ten.privileged, 210u);
  EXPECT_EQ(ten.idle, 300010u);

  EXPECT_EQ(InterruptsOf("cpu"), 8475628u);
  EXPECT_EQ(InterruptsOf("cpu0"), 64000u);
  EXPECT_EQ(InterruptsOf("cpu1"), 64049u);
  EXPECT_EQ(InterruptsOf("cpu10"), 64490u);
  EXPECT_EQ(InterruptsOf("cpu11"), 64539u);
}

TEST_F(Layout24, UnknownProcessorLeavesOutputsAlone) {
  Times t{5, 6, 7};
  PerfProcessor().getProcessorTime("cpu99", t.user, t.privileged, t.idle);
  EXPECT_EQ(t.user, 5u);
  EXPECT_EQ(t.idle, 7u);
  std::uint64_t count = 4;
  PerfProcessor().getInterrupts("cpu12", count);  // no such column
  EXPECT_EQ(count, 4u);
  PerfProcessor().getInterrupts("cpux", count);
  EXPECT_EQ(count, 4u);
}

TEST_F(Layout24, PartitionsWithStatisticsInTheirLines) {
  PerfPartition p;
  EXPECT_EQ(p.getPartitionNames(), 0);
  EXPECT_EQ(p.names(), (Names{"hda", "hda1", "hda2", "sda", "md0"}));

  int result = 0;
  const partition_stats hda = DiskStats("hda", result);
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(hda.name, "hda");
  EXPECT_EQ(hda.reads, 446216u);
  EXPECT_EQ(hda.readsMerged, 784926u);
  EXPECT_EQ(hda.sectorsRead, 9550688u);
  EXPECT_EQ(hda.msReading, 4382310u);
  EXPECT_EQ(hda.writes, 424847u);
  EXPECT_EQ(hda.writesMerged, 312726u);
  EXPECT_EQ(hda.sectorsWritten, 5922052u);
  EXPECT_EQ(hda.msWriting, 19310380u);
  EXPECT_EQ(hda.msIo, 3376340u);
  EXPECT_EQ(hda.msWeightedIo, 23705160u);

  const partition_stats hda1 = DiskStats("hda1", result);
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(hda1.name, "hda1");
  EXPECT_EQ(hda1.reads, 35486u);
  EXPECT_EQ(hda1.msWeightedIo, 33310u);
}

TEST_F(Layout24, CutOrBareLinesGiveZeroAndKeepTheName) {
  int result = 1;
  // The sda line is 137 characters: only its first 127 are read.
  const partition_stats sda = DiskStats("sda", result);
  EXPECT_EQ(result, 0);
  EXPECT_STREQ(sda.name, "sda");
  EXPECT_EQ(sda.reads, 0u);
  EXPECT_EQ(sda.msIo, 0u);
  EXPECT_EQ(sda.msWeightedIo, 0u);
  // md0 has no statistics and this root has no /proc/diskstats.
  const partition_stats md0 = DiskStats("md0", result);
  EXPECT_EQ(result, 0);
  EXPECT_STREQ(md0.name, "md0");
  EXPECT_EQ(md0.reads, 0u);
  const partition_stats none = DiskStats("hdz", result);
  EXPECT_EQ(result, 0);
  EXPECT_STREQ(none.name, "");
}

TEST_F(Layout24, InterfacesKeepTheirRightAlignedNameField) {
  PerfNet n;
  n.getInterfaceNames();
  EXPECT_EQ(n.names(), (Names{"lo", "eth0"}));

  int result = 0;
  const net_stats lo = NetStats("lo", result);
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(lo.name, "    lo");
  EXPECT_EQ(lo.bytesReceived, 172376u);
  EXPECT_EQ(lo.packetsSent, 2174u);

  const net_stats eth0 = NetStats("eth0", result);
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(eth0.name, "  eth0");
  const std::uint64_t got[] = {
      eth0.bytesReceived, eth0.packetsReceived, eth0.receiveErrors,      eth0.receiveDrops,
      eth0.receiveFifo,   eth0.receiveFrame,    eth0.compressedReceived, eth0.multicastReceived,
      eth0.bytesSent,     eth0.packetsSent,     eth0.sendErrors,         eth0.sendDrops,
      eth0.sendFifo,      eth0.collisions,      eth0.sendCarrier,        eth0.compressedSent};
  const std::uint64_t want[] = {92317470, 181533, 1, 2, 3, 4,  5,  6,
                                27125694, 121371, 7, 8, 9, 10, 11, 12};
  for (std::size_t i = 0; i < std::size(want); ++i) EXPECT_EQ(got[i], want[i]) << "field " << i;

  const net_stats absent = NetStats("eth9", result);
  EXPECT_EQ(result, 0);
  EXPECT_STREQ(absent.name, "");
}

// --- current kernel layout -------------------------------------------------------

class LayoutCurrent : public ::testing::Test {
 protected:
  ScopedRoot root_{FixtureRoot("current")};
};

TEST_F(LayoutCurrent, MemoryAndPagesFromTheirCurrentHomes) {
  std::uint64_t free = 1, shared = 1, buffers = 1, cached = 1;
  PerfMemory().getAvailableBytes(free, shared, buffers, cached);
  EXPECT_EQ(free, 24455252ull * 1024);
  EXPECT_EQ(shared, 1234ull * 1024);
  EXPECT_EQ(buffers, 4172ull * 1024);
  EXPECT_EQ(cached, 70008ull * 1024);  // not SwapCached
  std::uint64_t in = 9, out = 9;
  PerfMemory().getPagesNumber(in, out);
  EXPECT_EQ(in, 1151309u);
  EXPECT_EQ(out, 5000000001u);
}

TEST_F(LayoutCurrent, ProcessorColumnsFollowTheHeadings) {
  PerfProcessor p;
  p.getProcessorNames();
  EXPECT_EQ(p.names(), (Names{"cpu", "cpu0", "cpu1", "cpu3"}));
  const Times all = TimesOf("cpu");
  EXPECT_EQ(all.user, 2869u);
  EXPECT_EQ(all.privileged, 2539u);
  EXPECT_EQ(all.idle, 43388u);
  EXPECT_EQ(InterruptsOf("cpu"), 5000000000u);
  EXPECT_EQ(InterruptsOf("cpu0"), 4000000008u);
  EXPECT_EQ(InterruptsOf("cpu1"), 3u);
  EXPECT_EQ(InterruptsOf("cpu3"), 3333u);  // the third column: cpu2 is offline
  EXPECT_EQ(InterruptsOf("cpu2"), 0u);
}

TEST_F(LayoutCurrent, DiskCountersComeFromDiskstatsForTheListedDevices) {
  PerfPartition p;
  p.getPartitionNames();
  EXPECT_EQ(p.names(), (Names{"vda", "vda1", "nvme0n1", "nvme0n1p1", "sdb"}));

  int result = 0;
  const partition_stats vda = DiskStats("vda", result);  // 20 fields
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(vda.name, "vda");
  EXPECT_EQ(vda.reads, 30045u);
  EXPECT_EQ(vda.sectorsRead, 8589934592u);
  EXPECT_EQ(vda.msWriting, 3428u);
  EXPECT_EQ(vda.msIo, 7128u);
  EXPECT_EQ(vda.msWeightedIo, 15618u);

  const partition_stats nvme = DiskStats("nvme0n1", result);  // 18 fields
  EXPECT_EQ(result, 1);
  EXPECT_EQ(nvme.writes, 200u);
  EXPECT_EQ(nvme.msIo, 90u);
  EXPECT_EQ(nvme.msWeightedIo, 95u);

  const partition_stats part = DiskStats("nvme0n1p1", result);  // 14 fields
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(part.name, "nvme0n1p1");
  EXPECT_EQ(part.sectorsWritten, 160u);
  EXPECT_EQ(part.msWeightedIo, 9u);

  const partition_stats sdb = DiskStats("sdb", result);  // too few fields
  EXPECT_EQ(result, 0);
  EXPECT_STREQ(sdb.name, "sdb");
  EXPECT_EQ(sdb.reads, 0u);
}

TEST_F(LayoutCurrent, InterfaceNamesOfAnyLengthAndWideCounters) {
  PerfNet n;
  n.getInterfaceNames();
  EXPECT_EQ(n.names(), (Names{"lo", "veth0", "eth0", "enp0s31f6", "veth1234abcdef"}));

  int result = 0;
  const net_stats eth0 = NetStats("eth0", result);  // not veth0's line
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(eth0.name, "  eth0");
  EXPECT_EQ(eth0.bytesReceived, 5000000000u);
  EXPECT_EQ(eth0.packetsReceived, 881u);
  EXPECT_EQ(eth0.bytesSent, 4294967295u);

  const net_stats longName = NetStats("enp0s31f6", result);
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(longName.name, "enp0s31f6");
  EXPECT_EQ(longName.packetsReceived, 200u);
  EXPECT_EQ(longName.bytesSent, 300u);
  EXPECT_EQ(longName.packetsSent, 400u);
}

// --- single-file cases -----------------------------------------------------------

TEST(MemoryEdges, NoSummaryAndNoKeysLeavesTheCallersValues) {
  TempRoot root;
  root.Write("/proc/meminfo", "MemTotal:  100 kB\n");
  std::uint64_t free = 11, shared = 12, buffers = 13, cached = 14;
  PerfMemory().getAvailableBytes(free, shared, buffers, cached);
  EXPECT_EQ(free, 11u);
  EXPECT_EQ(shared, 12u);
  EXPECT_EQ(buffers, 13u);
  EXPECT_EQ(cached, 14u);
  // A summary line with too few words is taken as it is: nothing written.
  root.Write("/proc/meminfo", "Mem:  1 2 3 4\nMemFree: 5 kB\n");
  PerfMemory().getAvailableBytes(free, shared, buffers, cached);
  EXPECT_EQ(free, 11u);
}

TEST(MemoryEdges, PagesAreZeroWithoutAnySource) {
  TempRoot root;
  std::uint64_t in = 9, out = 9;
  PerfMemory().getPagesNumber(in, out);
  EXPECT_EQ(in, 0u);
  EXPECT_EQ(out, 0u);
  root.Write("/proc/stat", "page 17\n");
  PerfMemory().getPagesNumber(in, out);
  EXPECT_EQ(in, 17u);
  EXPECT_EQ(out, 0u);
}

TEST(SamplerEdges, MissingFilesGiveEmptyListsAndZeroResults) {
  TempRoot root;
  PerfProcessor p;
  EXPECT_EQ(p.getProcessorNames(), 0);
  EXPECT_TRUE(p.names().empty());
  PerfPartition d;
  EXPECT_EQ(d.getPartitionNames(), 0);
  EXPECT_TRUE(d.names().empty());
  PerfNet n;
  n.getInterfaceNames();
  EXPECT_TRUE(n.names().empty());
  std::uint64_t count = 3;
  PerfProcessor().getInterrupts("cpu", count);
  EXPECT_EQ(count, 3u);
}

// filegrep reads 127 characters at a time: a line of exactly that length is whole,
// one character more and its last counter is split across two pieces.
TEST(SamplerEdges, PartitionLineOfExactly127CharactersIsNotCut) {
  TempRoot root;
  const std::string fields = "1 2 3 4 5 6 7 8 0 10 11";
  const auto lineOf = [&](std::size_t length) {
    std::string line = "   8     0  100 sdb";
    line.append(length - line.size() - fields.size(), ' ');
    return line + fields;
  };
  for (const char* end : {"\n", ""}) {
    root.Write("/proc/partitions", "major minor  #blocks  name\n" + lineOf(127) + end);
    int result = 0;
    const partition_stats whole = DiskStats("sdb", result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(whole.reads, 1u);
    EXPECT_EQ(whole.msWeightedIo, 11u);
  }
  root.Write("/proc/partitions", "major minor  #blocks  name\n" + lineOf(128) + "\n");
  int result = 1;
  const partition_stats cut = DiskStats("sdb", result);
  EXPECT_EQ(result, 0);
  EXPECT_STREQ(cut.name, "sdb");
  EXPECT_EQ(cut.msWeightedIo, 0u);
}

TEST(SamplerEdges, InterruptColumnsWithoutAHeading) {
  TempRoot root;
  root.Write("/proc/interrupts", "  0:  5  6\n  1:  7  x\nNMI:  100 100\n");
  EXPECT_EQ(InterruptsOf("cpu0"), 12u);
  EXPECT_EQ(InterruptsOf("cpu1"), 6u);  // a column that does not parse adds 0
}

// /proc text is untrusted: files of random bytes (with blanks, colons, digits and
// newlines in plenty) must never make a sampler read out of bounds or crash.
TEST(SamplerEdges, GarbageFilesAreReadSafely) {
  TempRoot root;
  std::uint32_t seed = 12345;
  const auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 16;
  };
  const char alphabet[] = " ::0123456789cpuMem:pageintrCPU\t\n\n\x01\xff-+.";
  const char* files[] = {"/proc/meminfo",   "/proc/stat",       "/proc/vmstat",
                         "/proc/uptime",    "/proc/interrupts", "/proc/partitions",
                         "/proc/diskstats", "/proc/net/dev"};
  for (int round = 0; round < 60; ++round) {
    for (const char* file : files) {
      std::string text(next() % 600, ' ');
      for (char& c : text) c = alphabet[next() % (sizeof alphabet - 1)];
      root.Write(file, text);
    }
    std::uint64_t a = 0, b = 0, c = 0, d = 0;
    PerfMemory().getAvailableBytes(a, b, c, d);
    PerfMemory().getPagesNumber(a, b);
    getTimestamp(a, b);
    PerfProcessor processor;
    processor.getProcessorNames();
    for (const auto& name : processor.names()) {
      processor.getProcessorTime(name, a, b, c);
      processor.getInterrupts(name, d);
    }
    PerfPartition partitions;
    partitions.getPartitionNames();
    for (const auto& name : partitions.names()) {
      partition_stats s{};
      partitions.getPartitionStats(name, s);
      EXPECT_LT(std::strlen(s.name), sizeof s.name);
    }
    PerfNet net;
    net.getInterfaceNames();
    for (const auto& name : net.names()) {
      net_stats s{};
      net.getInterfaceStats(name, s);
      EXPECT_LT(std::strlen(s.name), sizeof s.name);
    }
  }
}

}  // namespace
