// An independent reader of the current kernel's /proc counters, used to bracket the
// values the provider publishes: every counter the server returns must lie between
// a snapshot taken just before the request and one taken just after.
#ifndef MGMT_TESTS_PERF_PROC_ORACLE_H
#define MGMT_TESTS_PERF_PROC_ORACLE_H

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace perftest {

/// Counters by "<instance key>/<property>", as the provider should publish them
/// (before narrowing to 32 bits).
using Counters = std::map<std::string, std::uint64_t>;

inline std::vector<std::string> FileLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

inline std::vector<std::string> Fields(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string f; in >> f;) out.push_back(f);
  return out;
}

inline std::uint64_t U(const std::string& s) { return std::stoull(s); }

/// Uptime in 1/100 and 1/1000 s, from its two-decimal text.
inline void UptimeClocks(std::uint64_t& jiffies, std::uint64_t& ticks) {
  const std::string text = Fields(FileLines("/proc/uptime").at(0)).at(0);
  const auto dot = text.find('.');
  const std::uint64_t whole = U(text.substr(0, dot));
  std::string frac = dot == std::string::npos ? "" : text.substr(dot + 1);
  frac.resize(3, '0');
  jiffies = whole * 100 + U(frac.substr(0, 2));
  ticks = whole * 1000 + U(frac);
}

inline Counters Snapshot() {
  Counters c;
  std::uint64_t jiffies = 0, ticks = 0;
  UptimeClocks(jiffies, ticks);
  c["clock/jiffies"] = jiffies;
  c["clock/ticks"] = ticks;

  for (const auto& line : FileLines("/proc/vmstat")) {
    const auto f = Fields(line);
    if (f.size() == 2 && f[0] == "pgpgin") c["memory/PagesInputPersec"] = U(f[1]);
    if (f.size() == 2 && f[0] == "pgpgout") c["memory/PagesOutputPersec"] = U(f[1]);
  }
  c["memory/PagesPersec"] = c["memory/PagesInputPersec"] + c["memory/PagesOutputPersec"];

  for (const auto& line : FileLines("/proc/stat")) {
    const auto f = Fields(line);
    if (f.size() > 4 && f[0].rfind("cpu", 0) == 0) {
      const std::string k = f[0] + "/";
      c[k + "PercentUserTime"] = U(f[1]) + U(f[2]);
      c[k + "PercentPrivilegedTime"] = U(f[3]);
      c[k + "PercentProcessorTime"] = U(f[4]);
      c[k + "Timestamp_Jiffies"] = U(f[1]) + U(f[2]) + U(f[3]) + U(f[4]);
    }
    if (f.size() > 1 && f[0] == "intr") c["cpu/InterruptsPersec"] = U(f[1]);
  }
  const auto irq = FileLines("/proc/interrupts");
  if (!irq.empty()) {
    const auto heads = Fields(irq[0]);
    for (std::size_t col = 0; col < heads.size(); ++col) {
      std::uint64_t sum = 0;
      for (std::size_t i = 1; i < irq.size(); ++i) {
        const auto f = Fields(irq[i]);
        if (f.empty() || f[0].back() != ':') continue;
        const std::string label = f[0].substr(0, f[0].size() - 1);
        if (label.find_first_not_of("0123456789") != std::string::npos) continue;
        if (col + 1 < f.size()) sum += U(f[col + 1]);
      }
      std::string name = heads[col];
      for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      c[name + "/InterruptsPersec"] = sum;
    }
  }

  for (const auto& line : FileLines("/proc/diskstats")) {
    const auto f = Fields(line);
    if (f.size() < 14) continue;
    const std::string k = f[2] + "/";
    c[k + "DiskReadsPersec"] = U(f[3]);
    c[k + "AvgDisksecPerRead"] = U(f[6]);
    c[k + "DiskWritesPersec"] = U(f[7]);
    c[k + "AvgDisksecPerWrite"] = U(f[10]);
    c[k + "DiskReadBytesPersec"] = U(f[5]) * 512;
    c[k + "DiskWriteBytesPersec"] = U(f[9]) * 512;
    c[k + "PercentDiskTime"] = U(f[12]);
    c[k + "AvgDiskQueueLength"] = U(f[13]);
  }

  for (const auto& line : FileLines("/proc/net/dev")) {
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    const auto name = Fields(line.substr(0, colon));
    const auto f = Fields(line.substr(colon + 1));
    if (name.size() != 1 || f.size() < 16) continue;
    const std::string k = name[0] + "/";
    c[k + "BytesRecvPersec"] = U(f[0]);
    c[k + "PacketsRecvPersec"] = U(f[1]);
    c[k + "PacketsRecvErrors"] = U(f[2]);
    c[k + "PacketsRecvDropped"] = U(f[3]);
    c[k + "BytesSentPersec"] = U(f[8]);
    c[k + "PacketsSentPersec"] = U(f[9]);
    c[k + "PacketsSentErrors"] = U(f[10]);
    c[k + "PacketsSentCollisions"] = U(f[13]);
  }
  return c;
}

}  // namespace perftest

#endif
