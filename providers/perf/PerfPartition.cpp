#include "PerfPartition.h"

#include "proctext.h"
#include "xfile.h"

#include <array>
#include <cstring>
#include <optional>
#include <string_view>

namespace {

constexpr std::size_t kStatCount = 11;  // the counters after the name, "running" included

// "%*d" of sscanf: an optionally signed decimal integer.
bool IsInteger(std::string_view token) {
  if (!token.empty() && (token.front() == '-' || token.front() == '+')) token.remove_prefix(1);
  return perf::WholeDecimal(token).has_value();
}

// The name in a line that starts with `numbers` integers and then a name of at most
// 63 characters; nothing for any other line.
std::optional<std::string_view> DeviceName(std::string_view line, std::size_t numbers) {
  const auto tokens = perf::SpaceTokens(line);
  if (tokens.size() <= numbers) return std::nullopt;
  for (std::size_t i = 0; i < numbers; ++i) {
    if (!IsInteger(tokens[i])) return std::nullopt;
  }
  const std::string_view name = tokens[numbers];
  if (name.size() >= sizeof(partition_stats::name)) return std::nullopt;
  return name;
}

// The text after the name token of a device line.
std::string_view AfterName(std::string_view line, std::string_view name) {
  const std::size_t end = static_cast<std::size_t>(name.data() - line.data()) + name.size();
  return line.substr(end);
}

// Stores the name and, when all eleven counters are present, the counters; the
// order after the name is the same in both files.
int StoreStats(std::string_view name, std::span<const std::uint64_t> values,
               partition_stats& stats) {
  std::memcpy(stats.name, name.data(), name.size());
  stats.name[name.size()] = '\0';
  if (values.size() < kStatCount) return 0;
  stats.reads = values[0];
  stats.readsMerged = values[1];
  stats.sectorsRead = values[2];
  stats.msReading = values[3];
  stats.writes = values[4];
  stats.writesMerged = values[5];
  stats.sectorsWritten = values[6];
  stats.msWriting = values[7];
  // values[8], the I/Os in progress, is not a counter and is skipped.
  stats.msIo = values[9];
  stats.msWeightedIo = values[10];
  return 1;
}

int StatsFromDiskstats(const std::string& name, partition_stats& stats) {
  perf::LineFile file("/proc/diskstats");
  std::string line;
  while (file.next(line)) {
    const auto device = DeviceName(line, 2);
    if (!device || *device != name) continue;
    std::array<std::uint64_t, kStatCount> values{};
    const std::size_t got = perf::ScanDecimals(AfterName(line, *device), values);
    return StoreStats(*device, std::span(values).first(got), stats);
  }
  return 0;
}

}  // namespace

int PerfPartition::getPartitionNames() {
  perf::LineFile file("/proc/partitions");
  if (!file.isOpen()) return 0;  // an unreadable file is an empty list, not an error
  std::string line;
  file.next(line);  // the column headings
  while (file.next(line)) {
    if (const auto name = DeviceName(line, 3)) names_.emplace_back(*name);
  }
  return file.close();
}

int PerfPartition::getPartitionStats(const std::string& name, partition_stats& stats) {
  // The device's line as filegrep would find it: the first piece that contains
  // the name, here also required to name exactly this device.
  bool cut = false;
  const auto piece = perf::FindPiece(
      "/proc/partitions",
      [&](std::string_view p) {
        if (p.find(name) == std::string_view::npos) return false;
        const auto device = DeviceName(p, 3);
        return device && *device == name;
      },
      &cut);
  if (!piece) return 0;
  const std::string_view line = *piece;
  const auto device = DeviceName(line, 3);
  const std::string_view rest = AfterName(line, *device);
  if (perf::SpaceTokens(rest).empty()) {
    StoreStats(*device, {}, stats);
    return StatsFromDiskstats(name, stats);
  }
  // A line longer than the piece is cut, possibly inside a number: keep only the
  // name rather than publish a counter read from half its digits.
  if (cut) return StoreStats(*device, {}, stats);
  std::array<std::uint64_t, kStatCount> values{};
  const std::size_t got = perf::ScanDecimals(rest, values);
  return StoreStats(*device, std::span(values).first(got), stats);
}
